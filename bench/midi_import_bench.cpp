// Imports a large Standard MIDI File (16 tracks, about 500 000 events filling 256 patterns of 64
// rows) and, in the same run, times two peers on the same file: python3-mido parsing it and midicsv
// converting it to CSV. Targets: faster than midicsv (a plain C parser that does no quantising) and
// at least 20 times faster than mido.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "exchange/midi_import.h"
#include "song/song.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepetitions = 5;
constexpr double kMidoFactor = 20.0;
constexpr int kDivision = 480;
constexpr int kRows = 256 * 64;  // the default import: 64-row patterns, four rows per quarter

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

void Number(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t groups[5];
  int n = 0;
  do groups[n++] = uint8_t(v & 0x7F), v >>= 7;
  while (v);
  while (n > 1) out.push_back(uint8_t(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

void U32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// Track t plays on channel t: a note on seven rows of eight, a chord of two every eighth row, the releases
// as note-ons of velocity 0 under running status, as most files have them. Returns the event count.
size_t WriteFile(const std::string& path) {
  const uint32_t rowTicks = kDivision / 4;
  std::vector<uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 16, uint8_t(kDivision >> 8), uint8_t(kDivision & 0xFF)};
  size_t events = 0;
  for (int t = 0; t < 16; ++t) {
    std::vector<uint8_t> track;
    uint32_t last = 0;
    auto event = [&](uint32_t tick, std::initializer_list<int> bytes) {
      Number(track, tick - last);
      last = tick;
      for (int b : bytes) track.push_back(uint8_t(b));
      ++events;
    };
    event(0, {0xB0 | t, 7, 100});
    event(0, {0xC0 | t, t * 5});
    for (int row = 0; row < kRows; ++row) {
      if (row % 8 == 7) continue;  // a rest
      const uint32_t start = row * rowTicks + uint32_t(row * 7 % 11);  // a little off the grid
      const int note = 36 + (row * 5 + t * 3) % 48;
      event(start, {0x90 | t, note, 96});
      if (row % 8 == 0) event(start, {note + 4, 80});
      event(start + rowTicks - 20, {note, 0});
      if (row % 8 == 0) event(start + rowTicks - 20, {note + 4, 0});
    }
    event(last, {0xFF, 0x2F, 0});
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    U32(file, uint32_t(track.size()));
    file.insert(file.end(), track.begin(), track.end());
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return events;
}

// Runs a program to its end; milliseconds, or -1 when it could not run or failed.
double TimeProgram(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const double ms = MillisecondsSince(start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

const char* Verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

}  // namespace

int main() {
  const auto dir = std::filesystem::temp_directory_path() / ("varnel-import-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "large.mid").string();
  const size_t events = WriteFile(path);

  std::vector<double> ours, csv;
  varnel::TVNSong song;
  for (int i = 0; i < kRepetitions; ++i) {
    const auto start = Clock::now();
    const bool ok = varnel::ImportMidi(song, path, {});
    ours.push_back(MillisecondsSince(start));
    if (!ok || song.PatternsCount() != 256) {
      std::printf("import failed (%d patterns); nothing to compare\n", song.PatternsCount());
      std::filesystem::remove_all(dir);
      return 0;
    }
  }
  for (int i = 0; i < kRepetitions; ++i) csv.push_back(TimeProgram({"midicsv", path, "/dev/null"}));
  // mido takes seconds; fewer runs do.
  std::vector<double> mido;
  for (int i = 0; i < 2; ++i)
    mido.push_back(TimeProgram({"/usr/bin/python3", "-c", "import mido,sys; mido.MidiFile(sys.argv[1])", path}));

  const double oursMs = Median(ours), csvMs = *std::min_element(csv.begin(), csv.end()),
               midoMs = *std::min_element(mido.begin(), mido.end());
  std::printf("file: %zu events in 16 tracks, %.1f MiB; imported as %d patterns, %d tracks\n", events,
              double(std::filesystem::file_size(path)) / (1 << 20), song.PatternsCount(), song.TracksCount());
  std::printf("varnel import: median %8.1f ms over %d runs\n", oursMs, kRepetitions);
  if (csvMs < 0) {
    std::printf("midicsv:       could not run (Debian package midicsv)  FAIL\n");
  } else {
    std::printf("midicsv:       best   %8.1f ms  ratio %5.2f (target: varnel faster)  %s\n", csvMs, csvMs / oursMs,
                Verdict(oursMs < csvMs));
  }
  if (midoMs < 0) {
    std::printf("python3-mido:  could not run (Debian package python3-mido)  FAIL\n");
  } else {
    std::printf("python3-mido:  best   %8.1f ms  ratio %5.1f (target >= %.0f)  %s\n", midoMs, midoMs / oursMs,
                kMidoFactor, Verdict(midoMs >= kMidoFactor * oursMs));
  }
  std::filesystem::remove_all(dir);
  return 0;
}
