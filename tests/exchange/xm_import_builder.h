// Builds extended modules byte by byte for the import tests: a header, its order table and
// patterns of packed or unpacked slots. Instruments are left out; the import never reads them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "song/song.h"

namespace varnel::test {

using SlotBytes = std::vector<uint8_t>;

// Packed slots: a flag byte, then the fields it names.
inline SlotBytes Note(int note, int instrument) { return {0x83, uint8_t(note), uint8_t(instrument)}; }
inline SlotBytes NoteOnly(int note) { return {0x81, uint8_t(note)}; }
inline SlotBytes InstrumentOnly(int instrument) { return {0x82, uint8_t(instrument)}; }
inline SlotBytes EmptySlot() { return {0x80}; }
// A packed slot with volume and both effect bytes, which the import skips.
inline SlotBytes NoteWithEffects(int note, int instrument) {
  return {0x9F, uint8_t(note), uint8_t(instrument), 0x40, 0x0C, 0x20};
}
// An unpacked slot: note, instrument, volume, effect type, effect parameter.
inline SlotBytes Unpacked(int note, int instrument, int volume = 0, int effect = 0, int param = 0) {
  return {uint8_t(note), uint8_t(instrument), uint8_t(volume), uint8_t(effect), uint8_t(param)};
}

struct XMPattern {
  int rows = 64;
  std::vector<uint8_t> data;
  uint32_t headerLength = 9;  // extra header bytes (zeros, up to 1024 in all) follow the nine read ones
  int packedSize = -1;        // -1: the real size of data
};

// Pattern data of rows x channels slots: the given slots by slot index, empty slots elsewhere.
inline XMPattern PatternOf(int rows, int channels, const std::map<int, SlotBytes>& slots) {
  XMPattern pattern;
  pattern.rows = rows;
  for (int slot = 0; slot < rows * channels; ++slot) {
    const auto found = slots.find(slot);
    const SlotBytes bytes = found == slots.end() ? EmptySlot() : found->second;
    pattern.data.insert(pattern.data.end(), bytes.begin(), bytes.end());
  }
  return pattern;
}

struct XMModule {
  // Longer headers are lies: their extra bytes are not written.
  static constexpr uint32_t kMaxWritten = 1024;
  std::string id = "Extended Module: ";
  std::string name = "tune";
  uint32_t headerSize = 276;
  int songLength = -1;  // -1: the size of order
  int channels = 4;
  int patternCount = -1;  // -1: the size of patterns
  int instruments = 2;
  int tempo = 6;
  int bpm = 125;
  std::vector<int> order{0};
  std::vector<XMPattern> patterns;

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> out;
    auto u8 = [&](unsigned v) { out.push_back(uint8_t(v)); };
    auto u16 = [&](unsigned v) { u8(v & 0xFF), u8(v >> 8 & 0xFF); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    auto text = [&](const std::string& s, size_t size) {
      for (size_t i = 0; i < size; ++i) u8(i < s.size() ? uint8_t(s[i]) : 0);
    };
    text(id, 17);
    text(name, 20);
    u8(0x1A);
    text("builder", 20);
    u16(0x0104);
    u32(headerSize);
    u16(songLength >= 0 ? unsigned(songLength) : unsigned(order.size()));
    u16(0);  // restart position
    u16(unsigned(channels));
    u16(patternCount >= 0 ? unsigned(patternCount) : unsigned(patterns.size()));
    u16(unsigned(instruments));
    u16(1);  // linear frequency table
    u16(unsigned(tempo));
    u16(unsigned(bpm));
    for (int p = 0; p < 256; ++p) u8(p < int(order.size()) ? unsigned(order[p]) : 0);
    for (uint32_t extra = 276; extra < headerSize && headerSize <= kMaxWritten; ++extra) u8(0);
    for (const XMPattern& pattern : patterns) {
      u32(pattern.headerLength);
      u8(0);
      u16(unsigned(pattern.rows));
      u16(pattern.packedSize >= 0 ? unsigned(pattern.packedSize) : unsigned(pattern.data.size()));
      for (uint32_t extra = 9; extra < pattern.headerLength && pattern.headerLength <= kMaxWritten; ++extra) u8(0);
      out.insert(out.end(), pattern.data.begin(), pattern.data.end());
    }
    return out;
  }
};

// The invariants of the song model every later operation relies on, plus order entries that name
// existing patterns; empty when all hold.
inline std::string SongFault(const TVNSong& s) {
  if (s.PatternsCount() < 1) return "PatternsCount < 1";
  if (s.TracksCount() < 1 || s.TracksCount() > MaxTracks) return "TracksCount " + std::to_string(s.TracksCount());
  if (s.ChannelsCount() < 1) return "ChannelsCount < 1";
  if (s.OrderLength() < 1) return "OrderLength < 1";
  if (s.CurrentPattern >= s.PatternsCount()) return "CurrentPattern outside the song";
  for (int t = 0; t < s.TracksCount(); ++t) {
    const int channel = s.TrackChannel(t);
    if (channel >= s.ChannelsCount()) return "track " + std::to_string(t) + " names a missing channel";
    if (t > 0 && channel < s.TrackChannel(t - 1)) return "tracks not grouped by ascending channel";
    if (s.TrackType(t) == ttVelocity && (t == 0 || s.TrackType(t - 1) != ttNote || s.TrackChannel(t - 1) != channel))
      return "velocity track " + std::to_string(t) + " not right of a note track of its channel";
  }
  for (int c = 0; c < s.ChannelsCount(); ++c) {
    if (s.GetMidiChannel(c) > 47) return "MIDI channel above 47 on channel " + std::to_string(c);
    for (int pos = 0; pos < s.OrderLength(); ++pos) {
      const int e = s.Order(c, pos);
      if (e > OrderNoteOff || (e < OrderEmpty && e >= s.PatternsCount()))
        return "order entry " + std::to_string(e) + " of channel " + std::to_string(c);
    }
  }
  for (int p = 0; p < s.PatternsCount(); ++p)
    for (int t = 0; t < s.TracksCount(); ++t)
      for (int r = 0; r < RowsPerPattern; ++r) {
        const int v = s.CellData(p, t, r);
        if (v < 0 || v > 255) return "cell value " + std::to_string(v);
      }
  return "";
}

}  // namespace varnel::test
