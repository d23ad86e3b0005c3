#include "editing/pattern_shape.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <string>

#include "song/song.h"

namespace varnel {

namespace {

bool IsNoteTrack(const TVNSong& song, int track) {
  return track >= 0 && track < song.TracksCount() && song.TrackType(track) == ttNote;
}

bool IsNote(int value) { return value >= 0 && value < 128; }

// Rows the grid shows; in song view the shortest of the patterns at the shown position.
int ShownRows(const TVNSong& song) { return song.GetLastRow() + 1; }

// The cell as a length walk sees it: a note-off met is removed first.
int TakeWithoutNoteOff(TVNSong& song, int track, int row) {
  const int value = song.GetCellData(track, row);
  if (value != CellNoteOff) return value;
  song.SetCellData(track, row, CellEmpty);
  return CellEmpty;
}

// The patterns a whole-pattern command works on: the current one, or in song view every pattern
// named at the shown order position (the length is per pattern, so each moves whole).
std::vector<int> ShownPatterns(const TVNSong& song) {
  if (song.FollowSongView == 0) {
    const int current = song.CurrentPattern;
    if (current < song.PatternsCount()) return {current};
    return {};
  }
  std::vector<int> patterns;
  for (int c = 0; c < song.ChannelsCount(); ++c) {
    const int p = song.GetOrder(c, song.PlayingOrder);
    if (p < MaxPatterns && p < song.PatternsCount() && std::find(patterns.begin(), patterns.end(), p) == patterns.end())
      patterns.push_back(p);
  }
  return patterns;
}

int RowsOf(const TVNSong& song, int pattern) { return song.LastRow(pattern) + 1; }

void StretchPattern(TVNSong& song, int pattern, int factor) {
  const int rows = RowsOf(song, pattern);
  for (int t = 0; t < song.TracksCount(); ++t) {
    const int empty = EmptyValue(song.TrackType(t));
    // Downwards: row n lands on row factor x n >= n, above every row still to be read.
    for (int n = rows - 1; n >= 0; --n) {
      const int32_t value = song.CellData(pattern, t, n);
      song.StoreCell(pattern, t, factor * n, value);
      for (int j = 1; j < factor; ++j) song.StoreCell(pattern, t, factor * n + j, empty);
    }
  }
  song.StoreLastRow(pattern, uint8_t(factor * rows - 1));
}

void SqueezePattern(TVNSong& song, int pattern, int divisor) {
  // Offsets from row divisor x i, in the order the first non-empty value is looked for; a divisor
  // of k looks at the first k of them.
  static constexpr std::array<int, 4> offsets = {0, 1, -1, 2};
  const int kept = RowsOf(song, pattern) / divisor;
  std::array<int32_t, RowsPerPattern> old{};
  for (int t = 0; t < song.TracksCount(); ++t) {
    const int empty = EmptyValue(song.TrackType(t));
    for (int r = 0; r < RowsPerPattern; ++r) old[size_t(r)] = song.CellData(pattern, t, r);
    for (int i = 0; i < kept; ++i) {
      int32_t value = empty;
      for (int k = 0; k < divisor; ++k) {
        const int r = divisor * i + offsets[size_t(k)];
        if (r >= 0 && old[size_t(r)] != empty) {
          value = old[size_t(r)];
          break;
        }
      }
      song.StoreCell(pattern, t, i, value);
    }
    for (int r = kept; r < RowsPerPattern; ++r) song.StoreCell(pattern, t, r, empty);
  }
  song.StoreLastRow(pattern, uint8_t(kept - 1));
}

}  // namespace

void QuantizeForward(TVNSong& song, int firstTrack, int lastTrack) {
  const int rows = ShownRows(song);
  for (int t = std::max(firstTrack, 0); t <= lastTrack && t < song.TracksCount(); ++t) {
    if (!IsNoteTrack(song, t)) continue;
    for (int c = 0; c < rows / 2; ++c) {
      const int source = c == 0 ? rows - 1 : 2 * c - 1;
      const int value = song.GetCellData(t, source);
      if (value == CellEmpty || song.GetCellData(t, 2 * c) != CellEmpty) continue;
      song.SetCellData(t, 2 * c, value);
      song.SetCellData(t, source, CellEmpty);
    }
  }
}

void SetNotesLength1(TVNSong& song, int track, int length) {
  if (!IsNoteTrack(song, track)) return;
  const int rows = ShownRows(song);
  int lastNote = -1;
  for (int r = 0; r < rows; ++r) {
    const int value = TakeWithoutNoteOff(song, track, r);
    if (IsNote(value))
      lastNote = r;
    else if (value == CellEmpty && lastNote >= 0 && r - lastNote == length)
      song.SetCellData(track, r, CellNoteOff);
  }
}

void SetNotesLength2(TVNSong& song, int track, int length) {
  if (!IsNoteTrack(song, track)) return;
  const int rows = ShownRows(song);
  int nextNote = rows;
  for (int r = rows - 1; r >= 0; --r) {
    const int value = TakeWithoutNoteOff(song, track, r);
    if (IsNote(value))
      nextNote = r;
    else if (value == CellEmpty && nextNote - r == length)
      song.SetCellData(track, r, CellNoteOff);
  }
}

std::vector<int> NoteTracksOfChannel(const TVNSong& song, int channel) {
  std::vector<int> tracks;
  for (int t = 0; t < song.TracksCount(); ++t)
    if (song.TrackChannel(t) == channel && song.TrackType(t) == ttNote) tracks.push_back(t);
  return tracks;
}

bool ExpandPattern(TVNSong& song, int factor) {
  if (factor != 2 && factor != 3) return false;
  const std::vector<int> patterns = ShownPatterns(song);
  if (patterns.empty()) return false;
  int rows = 0;
  for (int p : patterns) rows = std::max(rows, RowsOf(song, p));
  if ((factor == 2 && 2 * rows - 1 > 255) || (factor == 3 && 3 * rows - 1 > 256)) {
    song.Report().Message("Cannot expand pattern, rows > " + std::to_string(factor == 2 ? 128 : 85));
    return false;
  }
  if (!song.Report().Question("Are you sure to expand pattern?")) return false;
  std::lock_guard lock(song.ShapeLock());
  for (int p : patterns) StretchPattern(song, p, factor);
  song.Modified = true;
  return true;
}

bool ShrinkPattern(TVNSong& song, int divisor) {
  if (divisor < 2 || divisor > 4) return false;
  const std::vector<int> patterns = ShownPatterns(song);
  if (patterns.empty()) return false;
  int rows = RowsPerPattern;
  for (int p : patterns) rows = std::min(rows, RowsOf(song, p));
  if (rows / divisor < 2) {
    song.Report().Message("Cannot shrink pattern, rows < 1");
    return false;
  }
  if (!song.Report().Question("Are you sure to shrink pattern? Cannot undo")) return false;
  std::lock_guard lock(song.ShapeLock());
  for (int p : patterns) SqueezePattern(song, p, divisor);
  song.Modified = true;
  return true;
}

}  // namespace varnel
