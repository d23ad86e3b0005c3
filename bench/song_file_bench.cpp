// Saves and loads the largest song the file format allows, with every cell in use
// (256 patterns x 256 tracks x 256 rows), and compares each direction with copying the same file
// with cp in the same run. Each phase runs in a child process so that its peak resident memory
// (ru_maxrss from wait4) is its own. Targets: each direction within 2x of cp, peak below 150 MiB.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "song/song.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepetitions = 5;
constexpr double kMaxRatio = 2.0;
constexpr double kMaxPeakMiB = 150.0;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// 16 channels of 16 note tracks, 256 patterns of 256 rows, an order of 256 positions; no empty cell.
void BuildLargestSong(varnel::TVNSong& song) {
  song.Reset(16, 256, true);
  for (int c = 0; c < 16; ++c) {
    int first = 0, end = 0;
    song.ChannelTracks(c, first, end);
    for (int k = 0; k < 15; ++k) song.AddTrack(first, varnel::ttNote, -1, -1);
  }
  while (song.PatternsCount() < 256) song.InsertPattern(song.PatternsCount(), 256);
  for (int p = 0; p < 256; ++p)
    for (int t = 0; t < song.TracksCount(); ++t)
      for (int r = 0; r < 256; ++r) song.StoreCell(p, t, r, (p + t * 3 + r) % 128);
  for (int pos = 0; pos < 256; ++pos)
    for (int c = 0; c < 16; ++c) song.SetOrder(c, pos, (pos + c) % 256);
}

// Forgets the peak so far, so that the child's ru_maxrss covers only what follows.
bool ResetPeakMemory() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return bool(clear);
}

struct ChildResult {
  std::vector<double> times;
  double peakMiB = 0;
  bool ok = false;
};

// Runs work in a child; work writes its timings (milliseconds) to the pipe and returns its exit code.
template <class Work>
ChildResult InChild(Work work) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::vector<double> times;
    int code = work(times);
    if (write(fds[1], times.data(), times.size() * sizeof(double)) < 0) code = 3;
    _exit(code);
  }
  close(fds[1]);
  ChildResult result;
  double t;
  while (read(fds[0], &t, sizeof t) == ssize_t(sizeof t)) result.times.push_back(t);
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  result.peakMiB = double(usage.ru_maxrss) / 1024.0;
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

double TimeCopy(const std::string& from, const std::string& to) {
  const char* argv[] = {"cp", from.c_str(), to.c_str(), nullptr};
  auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return MillisecondsSince(start);
}

const char* Verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

}  // namespace

int main() {
  auto dir = std::filesystem::temp_directory_path() / ("varnel-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string song = (dir / "largest.vnl").string(), copy = (dir / "copy.vnl").string();

  ChildResult save = InChild([&](std::vector<double>& times) {
    varnel::TVNSong s;
    BuildLargestSong(s);
    if (s.PatternsCount() != 256 || s.TracksCount() != 256) return 2;
    if (!ResetPeakMemory()) std::fprintf(stderr, "note: could not reset the peak; it includes building the song\n");
    for (int i = 0; i < kRepetitions; ++i) {
      auto start = Clock::now();
      if (!s.SaveToFile(song)) return 1;
      times.push_back(MillisecondsSince(start));
    }
    return 0;
  });
  if (!save.ok) {
    std::printf("save failed; nothing to measure\n");
    return 0;
  }
  const auto fileSize = std::filesystem::file_size(song);

  std::vector<double> copyTimes;
  for (int i = 0; i < kRepetitions; ++i) copyTimes.push_back(TimeCopy(song, copy));

  ChildResult load;
  for (int i = 0; i < kRepetitions; ++i) {
    ChildResult one = InChild([&](std::vector<double>& times) {
      varnel::TVNSong s;
      auto start = Clock::now();
      if (!s.LoadFromFile(song)) return 1;
      times.push_back(MillisecondsSince(start));
      return s.PatternsCount() == 256 && s.TracksCount() == 256 && s.CellData(255, 255, 255) == (255 + 765 + 255) % 128
                 ? 0 : 2;
    });
    load.ok = one.ok;
    if (!one.ok) break;
    load.times.insert(load.times.end(), one.times.begin(), one.times.end());
    load.peakMiB = std::max(load.peakMiB, one.peakMiB);
  }

  const double cpMs = Median(copyTimes), saveMs = Median(save.times), loadMs = Median(load.times);
  std::printf("song: 256 patterns x 256 tracks x 256 rows, every cell in use; file %.1f MiB\n",
              double(fileSize) / (1 << 20));
  std::printf("cp:   median %8.1f ms over %d runs\n", cpMs, kRepetitions);
  std::printf("save: median %8.1f ms  ratio to cp %5.2f (target <= %.1f)  %s\n", saveMs, saveMs / cpMs, kMaxRatio,
              Verdict(saveMs <= kMaxRatio * cpMs));
  if (load.ok)
    std::printf("load: median %8.1f ms  ratio to cp %5.2f (target <= %.1f)  %s\n", loadMs, loadMs / cpMs, kMaxRatio,
                Verdict(loadMs <= kMaxRatio * cpMs));
  else
    std::printf("load: FAIL (the file did not load back as the song that was saved)\n");
  std::printf("peak memory, save: %6.1f MiB (target < %.0f)  %s\n", save.peakMiB, kMaxPeakMiB,
              Verdict(save.peakMiB < kMaxPeakMiB));
  std::printf("peak memory, load: %6.1f MiB (target < %.0f)  %s\n", load.peakMiB, kMaxPeakMiB,
              Verdict(load.ok && load.peakMiB < kMaxPeakMiB));
  std::filesystem::remove_all(dir);
  return 0;
}
