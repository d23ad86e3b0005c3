// What every song an importer or the file reader hands over must hold, checked without sanitizer or
// coverage instrumentation: each cell is read once, so a check costs about what building the song
// cost, and the fuzzer's time goes to the code under test. Each returns a fault, or nullptr.
#pragma once

#include <cstddef>
#include <cstdint>

#include "song/song.h"

#define VARNEL_UNINSTRUMENTED __attribute__((no_sanitize("address", "undefined", "coverage"), flatten))

namespace varnel::fuzz {

// Counts in range, tracks grouped by ascending channel, velocity tracks right of a note track of
// their channel, MIDI channels up to 47, order entries naming patterns that exist.
VARNEL_UNINSTRUMENTED inline const char* ShapeFault(const TVNSong& s) {
  if (s.PatternsCount() < 1 || s.PatternsCount() > MaxPatterns) return "pattern count";
  if (s.TracksCount() < 1 || s.TracksCount() > MaxTracks) return "track count";
  if (s.ChannelsCount() < 1 || s.ChannelsCount() > MaxChannels) return "channel count";
  if (s.OrderLength() < 1) return "order length";
  if (s.CurrentPattern >= s.PatternsCount()) return "current pattern outside the song";
  for (int t = 0; t < s.TracksCount(); ++t) {
    const int channel = s.TrackChannel(t), type = s.TrackType(t);
    if (channel >= s.ChannelsCount()) return "track names a missing channel";
    if (t > 0 && channel < s.TrackChannel(t - 1)) return "tracks not grouped by ascending channel";
    if (type > ttTempo || type == 2 || type == 3) return "track type";
    if (type == ttVelocity && (t == 0 || s.TrackType(t - 1) != ttNote || s.TrackChannel(t - 1) != channel))
      return "velocity track not right of a note track of its channel";
  }
  for (int c = 0; c < s.ChannelsCount(); ++c) {
    if (s.ChannelParams(c, TVNSong::ParamMidiChannel) >= MidiChannelCount) return "MIDI channel above 47";
    for (int pos = 0; pos < s.OrderLength(); ++pos) {
      const int e = s.Order(c, pos);
      if (e > OrderNoteOff || (e < OrderEmpty && e >= s.PatternsCount())) return "order entry";
    }
  }
  return nullptr;
}

// Note tracks hold notes, empty cells and note-offs; other tracks values up to 255. With
// onlyVisible, the rows after a pattern's last row are empty. filled counts the cells that are not
// empty: no more than the input can have written.
VARNEL_UNINSTRUMENTED inline const char* CellFault(const TVNSong& s, bool onlyVisible, size_t& filled) {
  filled = 0;
  for (int p = 0; p < s.PatternsCount(); ++p) {
    const int lastRow = s.LastRow(p);
    for (int t = 0; t < s.TracksCount(); ++t) {
      const int type = s.TrackType(t);
      const int32_t empty = EmptyValue(type);
      for (int r = 0; r < RowsPerPattern; ++r) {
        const int32_t v = s.CellData(p, t, r);
        if (v == empty) continue;
        ++filled;
        if (type == ttNote ? v > CellNoteOff || v < 0 : v < 0 || v > 255) return "cell value";
        if (onlyVisible && r > lastRow) return "a cell after the pattern's last row";
      }
    }
  }
  return nullptr;
}

// Rows one pass of song mode plays with every channel on: each position as many as its shortest
// named pattern, 256 when it names none.
VARNEL_UNINSTRUMENTED inline int64_t RowsPerPass(const TVNSong& s) {
  int64_t rows = 0;
  for (int pos = 0; pos < s.OrderLength(); ++pos) rows += s.MinLastRowAt(pos) + 1;
  return rows;
}

}  // namespace varnel::fuzz
