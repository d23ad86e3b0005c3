// The edit history on the largest song (256 patterns x 256 tracks x 256 rows, every cell in use):
// memory of 10 000 single-cell steps, the time of one cell step's undo, and the undo of a pack
// that rewrites half the song. Targets: under 64 MiB, under 50 us, under 200 ms. The time taken
// by the pack itself is printed beside its undo as the peer. Exits 0; prints PASS or FAIL.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "document/song_document.h"
#include "song/song.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kCellSteps = 10000;
constexpr double kMaxHistoryMiB = 64.0;
constexpr double kMaxCellUndoMicros = 50.0;
constexpr double kMaxPackUndoMillis = 200.0;

double MicrosSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

// A note for every cell, scattered so that no two tracks of patterns 0..127 hold the same 256 notes.
int Note(int pattern, int track, int row) {
  uint32_t x = uint32_t(pattern) * 2654435761u ^ uint32_t(track) * 40503u ^ uint32_t(row) * 2246822519u;
  x ^= x >> 15;
  x *= 2246822519u;
  x ^= x >> 13;
  return int(x % 128);
}

// 16 channels of 16 note tracks, 256 patterns of 256 rows, every cell a note. Patterns 128..255
// repeat patterns 0..127, so a pack finds half the song twice and removes it.
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
      for (int r = 0; r < 256; ++r) song.StoreCell(p, t, r, Note(p % 128, t, r));
  for (int pos = 0; pos < 256; ++pos)
    for (int c = 0; c < 16; ++c) song.SetOrder(c, pos, (pos + c) % 256);
}

const char* Verdict(bool ok) { return ok ? "PASS" : "FAIL"; }

}  // namespace

int main() {
  using namespace varnel;
  SongDocument document;
  TVNSong& song = document.Song();
  BuildLargestSong(song);
  document.ResetHistory();
  std::printf("history_bench: %d patterns x %d tracks x 256 rows, %zu MiB of cells\n", song.PatternsCount(),
              song.TracksCount(), size_t(song.PatternsCount()) * song.TracksCount() * 256 * 4 >> 20);

  // ---- 10 000 single-cell steps, as notes are typed: each step may reach the cursor's whole track ----
  const double residentBefore = ResidentMiB();
  std::vector<double> stepMicros;
  stepMicros.reserve(kCellSteps);
  for (size_t i = 0; i < kCellSteps; ++i) {
    const int track = int(i * 37 % 256), row = int(i * 11 % 256);
    const auto start = Clock::now();
    {
      EditStep step(document, "note", StepScope::Cells(track, track, 0, 255));
      song.SetCellData(track, row, song.GetCellData(track, row) == 60 ? 61 : 60);
    }
    stepMicros.push_back(MicrosSince(start));
  }
  const double historyMiB = double(document.History().Bytes()) / (1 << 20);
  const double residentGrowth = ResidentMiB() - residentBefore;
  const bool memoryOk = document.History().Steps() == kCellSteps && historyMiB < kMaxHistoryMiB &&
                        residentGrowth < kMaxHistoryMiB;
  std::printf("  %zu cell steps kept: history %.2f MiB (resident growth %.2f MiB), one step %.2f us median  %s (< %.0f MiB)\n",
              document.History().Steps(), historyMiB, residentGrowth, Median(stepMicros), Verdict(memoryOk),
              kMaxHistoryMiB);

  // ---- Undo of single cell steps ----
  std::vector<double> undoMicros;
  for (int i = 0; i < 1000; ++i) {
    const auto start = Clock::now();
    if (!document.Undo()) break;
    undoMicros.push_back(MicrosSince(start));
  }
  const double undoMedian = Median(undoMicros);
  const double undoWorst = undoMicros.empty() ? 0 : *std::max_element(undoMicros.begin(), undoMicros.end());
  const bool undoOk = undoMicros.size() == 1000 && undoMedian < kMaxCellUndoMicros;
  std::printf("  undo of a cell step: %.2f us median, %.2f us at most over %zu undos  %s (< %.0f us)\n", undoMedian,
              undoWorst, undoMicros.size(), Verdict(undoOk), kMaxCellUndoMicros);

  // ---- Pack: the whole song kept; its undo puts half the song back ----
  document.ResetHistory();
  const auto packStart = Clock::now();
  {
    EditStep step(document, "pack", StepScope::Shape());
    song.Pack(0);
  }
  const double packMillis = MicrosSince(packStart) / 1000;
  const int packedPatterns = song.PatternsCount();
  const auto undoStart = Clock::now();
  const bool undone = document.Undo() != nullptr && song.PatternsCount() == 256;
  const double packUndoMillis = MicrosSince(undoStart) / 1000;
  const auto redoStart = Clock::now();
  const bool redone = document.Redo() != nullptr && song.PatternsCount() == packedPatterns;
  const double packRedoMillis = MicrosSince(redoStart) / 1000;
  const bool packOk = undone && redone && packedPatterns < 256 && packUndoMillis < kMaxPackUndoMillis;
  std::printf("  pack (with keeping the song) %.1f ms, 256 -> %d patterns; undo %.1f ms, redo %.1f ms, history %.1f MiB  %s (undo < %.0f ms)\n",
              packMillis, packedPatterns, packUndoMillis, packRedoMillis,
              double(document.History().Bytes()) / (1 << 20), Verdict(packOk), kMaxPackUndoMillis);

  std::printf("history_bench: %s\n", Verdict(memoryOk && undoOk && packOk));
  return 0;
}
