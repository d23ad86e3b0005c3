// Exact copies of a song's content, for the edit history and for safe opening.
//
// SongValues: the small values that any edit may change besides cells and order entries (tempo,
// key, loops, pattern lengths, track parameters, channel and MIDI-channel settings, song
// information). Every step compares them, so a change made anywhere is never missed.
// SongImage: everything, for the steps that reshape the song. Its cells are shared blocks of one
// track of one pattern (256 cells), interned in a BlockPool: images of nearly the same song share
// nearly all their memory, and a block with nothing in it costs nothing.
//
// Threads: UI thread. Restores and take-overs hold the song's shape lock while they swap arrays,
// so the row clock never sees a half-restored song.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "song/song.h"

namespace varnel {

struct SongValues {
  uint8_t bpm = 0, spd = 0;
  int32_t keyTone = 0, keyType = 0;
  std::array<int32_t, 4> loops{};  // pattern start, pattern end, order start, order end
  std::vector<uint8_t> patternParams;
  std::vector<int32_t> trackParams;
  std::vector<uint8_t> channelParams;
  std::array<uint8_t, MidiChannelCount * TVNSong::MIDICHANNEL_PARAMS> midiParams{};
  std::array<uint8_t, MidiChannelCount * 2> bankSelect{};
  TVNSongTag tag;

  size_t Bytes() const;
};

// What differs between two value sets, for the name of a step and whether it may merge.
struct ValuesDifference {
  std::string name;      // "BPM", "Spd.", "key", "loop", "pattern length", ... empty: no difference
  std::string mergeKey;  // equal keys may merge into one step; empty: never merges
};
ValuesDifference DifferenceOf(const SongValues& before, const SongValues& after);
bool SameValues(const SongValues& a, const SongValues& b);

// 256 cells of one track of one pattern, immutable once made.
struct CellBlock {
  uint64_t hash = 0;
  bool wide = false;           // some cell lies outside 0..255: the cells are kept whole
  std::vector<uint8_t> bytes;  // 256 bytes, or 256 int32 when wide
  std::shared_ptr<size_t> poolBytes;
  ~CellBlock();
  int32_t Cell(int row) const;
};
using BlockRef = std::shared_ptr<const CellBlock>;

class BlockPool {
 public:
  BlockPool();
  // The block holding these 256 cells: an existing one when some image already has it.
  BlockRef Intern(const int32_t* cells);
  size_t Bytes() const { return *bytes_; }

 private:
  std::unordered_multimap<uint64_t, std::weak_ptr<const CellBlock>> blocks_;
  std::shared_ptr<size_t> bytes_;
  size_t pruneAt_ = 4096;
};

struct SongImage {
  int patterns = 0, channels = 0, tracks = 0, orderLength = 0;
  std::vector<uint8_t> trackType, trackChannel;
  std::vector<uint8_t> channelOn, soloExempt;
  std::vector<uint16_t> order;
  SongValues values;
  uint16_t currentPattern = 0;
  bool keyKnown = true;
  std::vector<BlockRef> cells;  // pattern by pattern, track by track; null: the track type's empty value

  size_t Bytes() const;  // without the shared blocks, which the pool counts
};

struct SongState {
  static SongValues Values(const TVNSong& song);
  // Writes back values taken from this song's shape; false (and nothing written) for another shape.
  static bool RestoreValues(TVNSong& song, const SongValues& values);

  static SongImage Capture(const TVNSong& song, BlockPool& pool);
  static void Restore(TVNSong& song, const SongImage& image);
  static bool Matches(const TVNSong& song, const SongImage& image);

  // Order lists: length changes without the tail rules of SetOrder, and entries past the end.
  static void ResizeOrder(TVNSong& song, int length);
  static int OrderEntry(const TVNSong& song, int channel, int position);

  // Safe opening: the content of `from` (a song decoded and checked aside) becomes `into`'s, under
  // `into`'s shape lock; `into` keeps its reporter, options and play position. `from` is left with
  // `into`'s old content.
  static void TakeContent(TVNSong& into, TVNSong& from);
};

}  // namespace varnel
