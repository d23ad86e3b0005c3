// Packing: merges what is the same and removes what is empty, step by step (0 runs them all).
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "song/song.h"

namespace varnel {

namespace {
bool Runs(int step, int which) { return step == 0 || step == which; }
}  // namespace

// Packing keeps time: a position plays as many rows as its shortest named pattern has (256 when it
// names none), and every step leaves that number as it was.
void TVNSong::Pack(int step) {
  if (step < 0 || step > 5) return;
  std::scoped_lock lock(shapeLock_);
  Modified = true;
  reporter_->Status("Analyzing song ...", 0);
  std::vector<uint16_t> orderBefore;
  if (Runs(step, 2)) orderBefore.assign(order_.begin(), order_.end());
  for (int i = 0; i < channelsCount_; ++i) {
    reporter_->Status("Analyzing song ... Channel " + std::to_string(i), 0);
    if (Runs(step, 1)) PackSameChannels(i);
    if (Runs(step, 2)) PackEmptyChannelsInOrder(i);
  }
  if (Runs(step, 2)) KeepPositionLengths(orderBefore);
  if (Runs(step, 3)) PackMoveToSmallestPatterns();
  if (Runs(step, 4)) PackEmptyPatterns();
  if (Runs(step, 5)) PackEmptyChannels();
  reporter_->Status("Done. ", 0);
}

// Step 1: a channel's part of a pattern that repeats an earlier pattern plays that one instead.
void TVNSong::PackSameChannels(int channel) {
  int first, end;
  ChannelTracks(channel, first, end);
  if (first >= end) return;
  for (int j = 1; j < patternsCount_; ++j) {
    for (int k = 0; k < j; ++k) {
      if (LastRow(j) != LastRow(k)) continue;
      bool same = true;
      for (int t = first; t < end && same; ++t)
        for (int r = 0; r <= LastRow(j) && same; ++r) same = (CellData(j, t, r) & 0xFF) == (CellData(k, t, r) & 0xFF);
      if (!same) continue;
      RedirectOrder(channel, j, k);
      for (int t = first; t < end; ++t) ClearTrackRows(j, t);
      break;  // j is now empty for this channel and no longer named: later k change nothing
    }
  }
}

// Step 2: a channel's empty part of a pattern becomes an empty (or note-off) order entry.
void TVNSong::PackEmptyChannelsInOrder(int channel) {
  int first, end;
  ChannelTracks(channel, first, end);
  if (first >= end) return;
  for (int j = 0; j < patternsCount_; ++j) {
    bool empty = true;
    bool noteOff = false;
    for (int t = first; t < end && empty; ++t) {
      const int32_t emptyValue = EmptyValue(TrackType(t));
      for (int r = 0; r <= LastRow(j) && empty; ++r) {
        const int32_t v = CellData(j, t, r);
        if (v == emptyValue) continue;
        if (r == 0 && v == CellNoteOff) {
          noteOff = true;
        } else {
          empty = false;
        }
      }
    }
    if (empty) RedirectOrder(channel, j, noteOff ? OrderNoteOff : OrderEmpty);
  }
}

// After step 2: where a position lost the pattern that set its length (every channel's part of it
// was empty), the first channel with an empty entry there plays the lowest pattern of that length
// in which its tracks are empty; failing that, a channel whose note-off entry came from such a
// pattern plays that pattern again (its note-off in row 0 is what the entry played).
void TVNSong::KeepPositionLengths(const std::vector<uint16_t>& orderBefore) {
  const int length = orderLength_;
  std::vector<std::vector<int8_t>> silent(channelsCount_);  // per channel and pattern: -1 unknown
  auto silentIn = [&](int channel, int pattern) {
    auto& known = silent[size_t(channel)];
    if (known.empty()) known.assign(size_t(patternsCount_), -1);
    if (known[size_t(pattern)] < 0) {
      int first, end;
      ChannelTracks(channel, first, end);
      bool empty = true;
      for (int t = first; t < end && empty; ++t) empty = IsTrackEmpty(pattern, t);
      known[size_t(pattern)] = int8_t(empty);
    }
    return known[size_t(pattern)] == 1;
  };
  for (int pos = 0; pos < length; ++pos) {
    int shortest = RowsPerPattern;
    for (int c = 0; c < channelsCount_; ++c) {
      const int e = orderBefore[size_t(c) * length + pos];
      if (e < patternsCount_) shortest = std::min<int>(shortest, LastRow(e));
    }
    if (shortest == RowsPerPattern || MinLastRowAt(pos) == shortest) continue;
    bool kept = false;
    for (int c = 0; c < channelsCount_ && !kept; ++c) {
      if (Order(c, pos) != OrderEmpty) continue;
      for (int g = 0; g < patternsCount_ && !kept; ++g) {
        if (LastRow(g) != shortest || !silentIn(c, g)) continue;
        StoreOrder(c, pos, uint16_t(g));
        kept = true;
      }
    }
    for (int c = 0; c < channelsCount_ && !kept; ++c) {
      const int e = orderBefore[size_t(c) * length + pos];
      if (e < patternsCount_ && LastRow(e) == shortest && Order(c, pos) == OrderNoteOff) {
        StoreOrder(c, pos, uint16_t(e));
        kept = true;
      }
    }
  }
}

// Whether the position would play more rows without channel's entry (excluded) or without every
// entry naming pattern (excludedPattern); -1 excludes nothing of that kind.
bool TVNSong::SetsPositionLength(int position, int excludedChannel, int excludedPattern) const {
  int with = RowsPerPattern, without = RowsPerPattern;
  for (int c = 0; c < channelsCount_; ++c) {
    const int e = Order(c, position);
    if (e >= patternsCount_) continue;
    with = std::min<int>(with, LastRow(e));
    if (c != excludedChannel && e != excludedPattern) without = std::min<int>(without, LastRow(e));
  }
  // 255 rows and none named both play 256 rows.
  return std::min(without, 255) != std::min(with, 255);
}

// Step 3: a channel moves into a lower-numbered pattern played at the same position when its tracks
// are free there.
void TVNSong::PackMoveToSmallestPatterns() {
  // One text for every channel and position: its storage is reused, not allocated each time.
  const std::string prefix = "Analyzing song ... Order ";
  std::string status;
  for (int i = 0; i < channelsCount_; ++i) {
    int first, end;
    ChannelTracks(i, first, end);
    for (int j = 0; j < orderLength_; ++j) {
      status.assign(prefix).append(std::to_string(i)).append(", ").append(std::to_string(j));
      reporter_->Status(status, 0);
      if (first >= end) continue;
      const int e = Order(i, j);
      if (e >= patternsCount_) continue;
      for (int k = 0; k < channelsCount_; ++k) {
        const int g = Order(k, j);
        if (g >= e || LastRow(g) != LastRow(e)) continue;
        // Where the channel already plays its (empty) part of g, moving into g would add music there.
        bool named = false;
        for (int pos = 0; pos < orderLength_ && !named; ++pos) named = Order(i, pos) == g;
        if (named) continue;
        bool free = true;
        for (int t = first; t < end && free; ++t) free = IsTrackEmpty(g, t);
        if (!free) continue;
        RedirectOrder(i, e, g);
        for (int t = first; t < end; ++t) {
          for (int r = 0; r < RowsPerPattern; ++r) StoreCell(g, t, r, CellData(e, t, r));
          ClearTrackRows(e, t);
        }
        break;
      }
    }
  }
}

// Step 4: patterns with nothing in them go, as long as one remains.
void TVNSong::PackEmptyPatterns() {
  int j = 0;
  while (j < patternsCount_) {
    reporter_->Status("Analyzing song ... Pattern " + std::to_string(j), 0);
    bool empty = true;
    for (int t = 0; t < tracksCount_ && empty; ++t) empty = IsTrackEmpty(j, t);
    // An empty pattern that sets the length of a position it is played at stays.
    for (int pos = 0; pos < orderLength_ && empty; ++pos) empty = !SetsPositionLength(pos, -1, j);
    if (empty && patternsCount_ >= 2) {
      reporter_->Status("Deleting empty pattern (" + std::to_string(j) + ")", 0);
      // Its entries go first, so that deleting it cannot shorten the order lists.
      for (int c = 0; c < channelsCount_; ++c) RedirectOrder(c, j, OrderEmpty);
      DeletePattern(j);
    } else {
      ++j;
    }
  }
  // The edited pattern may have gone; keep the selection inside the song.
  if (CurrentPattern >= patternsCount_) CurrentPattern = uint16_t(patternsCount_ - 1);
}

// Step 5: channels that play nothing go, as long as one remains; a channel that only ever plays one
// pitch is taken for a drum and moves to the percussion channel.
void TVNSong::PackEmptyChannels() {
  int j = 0;
  while (j < channelsCount_) {
    reporter_->Status("Analyzing song ... Channel " + std::to_string(j), 0);
    int first, end;
    ChannelTracks(j, first, end);
    int found[2];
    int distinct = 0;
    for (int p = 0; p < patternsCount_ && distinct < 2; ++p) {
      for (int t = first; t < end && distinct < 2; ++t) {
        const int32_t emptyValue = EmptyValue(TrackType(t));
        for (int r = 0; r <= LastRow(p) && distinct < 2; ++r) {
          const int32_t v = CellData(p, t, r);
          if (v == emptyValue || v < 0 || v >= 128) continue;
          if (distinct == 0 || found[0] != v) found[distinct++] = v;
        }
      }
    }
    if (distinct == 0 && channelsCount_ >= 2 && HandOverPositionLengths(j)) {
      reporter_->Status("Removing empty channel (" + std::to_string(j) + ")", 0);
      const int before = channelsCount_;
      if (first >= end) {
        RemoveChannelAt(j);  // no tracks to delete: drop the channel's own data
      } else {
        RemoveChannel(j);
      }
      if (channelsCount_ < before) continue;
    } else if (distinct <= 1) {
      StoreChannelParam(j, ParamMidiChannel, PercussionMidiChannel);
    }
    ++j;
  }
}

// Before an empty channel goes: the positions whose length its entries set get the same pattern on
// another channel whose entry there is empty and whose tracks are empty in that pattern. False, with
// nothing changed, when some position finds no such channel: then the channel stays.
bool TVNSong::HandOverPositionLengths(int channel) {
  std::vector<std::pair<int, int>> handOvers;  // position, channel taking the entry
  for (int pos = 0; pos < orderLength_; ++pos) {
    if (!SetsPositionLength(pos, channel, -1)) continue;
    const int pattern = Order(channel, pos);
    int taker = -1;
    for (int k = 0; k < channelsCount_ && taker < 0; ++k) {
      if (k == channel || Order(k, pos) != OrderEmpty) continue;
      int first, end;
      ChannelTracks(k, first, end);
      bool free = true;
      for (int t = first; t < end && free; ++t) free = IsTrackEmpty(pattern, t);
      if (free) taker = k;
    }
    if (taker < 0) return false;
    handOvers.emplace_back(pos, taker);
  }
  for (const auto& [pos, taker] : handOvers) StoreOrder(taker, pos, Order(channel, pos));
  return true;
}

}  // namespace varnel
