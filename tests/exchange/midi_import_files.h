// Builds Standard MIDI Files byte by byte for the import tests, and checks what every imported
// song must satisfy.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "song/song.h"

namespace varnel::test {

// One track chunk's events; every event starts with its delta time.
struct MidiTrack {
  std::vector<uint8_t> bytes;

  MidiTrack& Number(uint32_t v) {  // variable-length quantity
    uint8_t groups[5];
    int n = 0;
    do groups[n++] = uint8_t(v & 0x7F), v >>= 7;
    while (v);
    while (n > 1) bytes.push_back(uint8_t(groups[--n] | 0x80));
    bytes.push_back(groups[0]);
    return *this;
  }
  MidiTrack& Raw(std::initializer_list<int> values) {
    for (int v : values) bytes.push_back(uint8_t(v));
    return *this;
  }
  MidiTrack& Event(uint32_t delta, std::initializer_list<int> values) { return Number(delta).Raw(values); }
  MidiTrack& On(uint32_t delta, int channel, int note, int velocity = 100) {
    return Event(delta, {0x90 | channel, note, velocity});
  }
  MidiTrack& Off(uint32_t delta, int channel, int note) { return Event(delta, {0x80 | channel, note, 64}); }
  MidiTrack& Control(uint32_t delta, int channel, int controller, int value) {
    return Event(delta, {0xB0 | channel, controller, value});
  }
  MidiTrack& Meta(uint32_t delta, int type, const std::vector<uint8_t>& data) {
    Number(delta).Raw({0xFF, type}).Number(uint32_t(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
  }
  MidiTrack& Text(uint32_t delta, int type, const std::string& text) {
    return Meta(delta, type, std::vector<uint8_t>(text.begin(), text.end()));
  }
  MidiTrack& Tempo(uint32_t delta, uint32_t microseconds) {
    return Meta(delta, 0x51, {uint8_t(microseconds >> 16), uint8_t(microseconds >> 8), uint8_t(microseconds)});
  }
  MidiTrack& End(uint32_t delta = 0) { return Meta(delta, 0x2F, {}); }
};

inline void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}
inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v >> 16);
  PutU16(out, v & 0xFFFF);
}

inline void PutChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& data) {
  out.insert(out.end(), id, id + 4);
  PutU32(out, uint32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

// A whole file; declaredTracks -1 means the number of tracks given.
inline std::vector<uint8_t> MidiFile(int division, const std::vector<MidiTrack>& tracks, int format = 1,
                                     int declaredTracks = -1) {
  std::vector<uint8_t> out{'M', 'T', 'h', 'd'};
  PutU32(out, 6);
  PutU16(out, uint32_t(format));
  PutU16(out, uint32_t(declaredTracks < 0 ? int(tracks.size()) : declaredTracks));
  PutU16(out, uint32_t(division));
  for (const MidiTrack& track : tracks) PutChunk(out, "MTrk", track.bytes);
  return out;
}

// Checks what every imported song must hold, so that it can be edited, played and saved.
inline void ExpectSoundSong(TVNSong& song) {
  ASSERT_GE(song.PatternsCount(), 1);
  ASSERT_LE(song.PatternsCount(), MaxPatterns);
  ASSERT_GE(song.TracksCount(), 1);
  ASSERT_LE(song.TracksCount(), MaxTracks);
  ASSERT_EQ(song.ChannelsCount(), 16);
  ASSERT_GE(song.OrderLength(), 1);
  ASSERT_LT(song.CurrentPattern, song.PatternsCount());
  const int lastRow = song.LastRow(0);
  for (int p = 0; p < song.PatternsCount(); ++p) ASSERT_EQ(song.LastRow(p), lastRow);
  for (int t = 0; t < song.TracksCount(); ++t) {
    ASSERT_EQ(song.TrackType(t), ttNote);
    if (t > 0) {
      ASSERT_LE(song.TrackChannel(t - 1), song.TrackChannel(t));
    }
    for (int p = 0; p < song.PatternsCount(); ++p)
      for (int r = 0; r < RowsPerPattern; ++r) {
        const int cell = song.CellData(p, t, r);
        ASSERT_TRUE(cell <= 127 || cell == CellEmpty || cell == CellNoteOff) << cell;
        if (r > lastRow) {
          ASSERT_EQ(cell, CellEmpty);
        }
      }
  }
  for (int c = 0; c < 16; ++c)
    for (int p = 0; p < song.OrderLength(); ++p) ASSERT_EQ(song.Order(c, p), p);
  ASSERT_EQ(song.OrderLength(), song.PatternsCount());
  // It saves and loads back unchanged.
  const std::vector<uint8_t> saved = song.EncodeFile();
  TVNSong again;
  ASSERT_TRUE(again.LoadFromBytes(saved, "again.vnl"));
  ASSERT_EQ(again.EncodeFile(), saved);
}

}  // namespace varnel::test
