#include "document/song_state.h"

#include <algorithm>
#include <cstring>

namespace varnel {

namespace {

size_t StringBytes(const std::string& s) { return s.capacity() > 15 ? s.capacity() : 0; }

size_t TagBytes(const TVNSongTag& t) {
  return StringBytes(t.Title) + StringBytes(t.Artist) + StringBytes(t.Album) + StringBytes(t.Year) +
         StringBytes(t.Genre) + StringBytes(t.Spare) + StringBytes(t.Comments);
}

bool SameTag(const TVNSongTag& a, const TVNSongTag& b) {
  return a.Title == b.Title && a.Artist == b.Artist && a.Album == b.Album && a.Year == b.Year && a.Genre == b.Genre &&
         a.Spare == b.Spare && a.Comments == b.Comments && a.ShowOnLoad == b.ShowOnLoad;
}

template <class T>
size_t VectorBytes(const std::vector<T>& v) {
  return v.capacity() * sizeof(T);
}

// The first index where two equally long byte runs differ, or -1.
template <class T>
int FirstDifference(const T& a, const T& b) {
  if (a.size() != b.size()) return 0;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return int(i);
  return -1;
}

uint64_t HashCells(const int32_t* cells) {
  uint64_t h = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < RowsPerPattern; i += 2) {
    h ^= uint64_t(uint32_t(cells[i])) | uint64_t(uint32_t(cells[i + 1])) << 32;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  }
  return h;
}

bool BlockHolds(const CellBlock& block, const int32_t* cells) {
  if (block.wide) return std::memcmp(block.bytes.data(), cells, RowsPerPattern * sizeof(int32_t)) == 0;
  for (int r = 0; r < RowsPerPattern; ++r)
    if (cells[r] != block.bytes[size_t(r)]) return false;
  return true;
}

bool AllEqual(const int32_t* cells, int32_t value) {
  int32_t differs = 0;
  for (int r = 0; r < RowsPerPattern; ++r) differs |= cells[r] ^ value;
  return differs == 0;
}

}  // namespace

size_t SongValues::Bytes() const {
  return sizeof(SongValues) + VectorBytes(patternParams) + VectorBytes(trackParams) + VectorBytes(channelParams) +
         TagBytes(tag);
}

bool SameValues(const SongValues& a, const SongValues& b) {
  return a.bpm == b.bpm && a.spd == b.spd && a.keyTone == b.keyTone && a.keyType == b.keyType && a.loops == b.loops &&
         a.patternParams == b.patternParams && a.trackParams == b.trackParams && a.channelParams == b.channelParams &&
         a.midiParams == b.midiParams && a.bankSelect == b.bankSelect && SameTag(a.tag, b.tag);
}

ValuesDifference DifferenceOf(const SongValues& a, const SongValues& b) {
  std::vector<ValuesDifference> found;
  if (a.bpm != b.bpm) found.push_back({"BPM", "BPM"});
  if (a.spd != b.spd) found.push_back({"Spd.", "Spd."});
  if (a.keyTone != b.keyTone || a.keyType != b.keyType) found.push_back({"key", ""});
  if (a.loops != b.loops) found.push_back({"loop", ""});
  if (const int i = FirstDifference(a.patternParams, b.patternParams); i >= 0)
    found.push_back({"pattern length", "length " + std::to_string(i / TVNSong::PATTERN_PARAMS)});
  if (FirstDifference(a.trackParams, b.trackParams) >= 0) found.push_back({"track properties", ""});
  if (const int i = FirstDifference(a.channelParams, b.channelParams); i >= 0)
    found.push_back({"channel properties", "channel " + std::to_string(i)});
  const int midi = FirstDifference(a.midiParams, b.midiParams);
  const int bank = FirstDifference(a.bankSelect, b.bankSelect);
  if (midi >= 0 || bank >= 0) {
    const int m = midi >= 0 ? midi / TVNSong::MIDICHANNEL_PARAMS : bank / 2;
    found.push_back({"MIDI channel properties", "midi " + std::to_string(m)});
  }
  if (!SameTag(a.tag, b.tag)) found.push_back({"song info", ""});
  if (found.empty()) return {};
  if (found.size() > 1) found.front().mergeKey.clear();
  return found.front();
}

// ---- Blocks ----

CellBlock::~CellBlock() {
  if (poolBytes) *poolBytes -= bytes.capacity() + sizeof(CellBlock);
}

int32_t CellBlock::Cell(int row) const {
  if (!wide) return bytes[size_t(row)];
  int32_t v;
  std::memcpy(&v, bytes.data() + size_t(row) * sizeof(int32_t), sizeof v);
  return v;
}

BlockPool::BlockPool() : bytes_(std::make_shared<size_t>(0)) {}

BlockRef BlockPool::Intern(const int32_t* cells) {
  const uint64_t hash = HashCells(cells);
  bool wide = false;
  for (int r = 0; r < RowsPerPattern; ++r) wide = wide || uint32_t(cells[r]) > 255;
  const auto [first, last] = blocks_.equal_range(hash);
  for (auto it = first; it != last; ++it)
    if (BlockRef block = it->second.lock(); block && block->wide == wide && BlockHolds(*block, cells)) return block;

  auto block = std::make_shared<CellBlock>();
  block->hash = hash;
  block->wide = wide;
  if (wide) {
    block->bytes.resize(RowsPerPattern * sizeof(int32_t));
    std::memcpy(block->bytes.data(), cells, block->bytes.size());
  } else {
    block->bytes.assign(cells, cells + RowsPerPattern);
  }
  *bytes_ += block->bytes.capacity() + sizeof(CellBlock);
  block->poolBytes = bytes_;
  if (blocks_.size() >= pruneAt_) {
    std::erase_if(blocks_, [](const auto& entry) { return entry.second.expired(); });
    pruneAt_ = std::max<size_t>(4096, blocks_.size() * 2);
  }
  blocks_.emplace(hash, block);
  return block;
}

size_t SongImage::Bytes() const {
  return sizeof(SongImage) + VectorBytes(trackType) + VectorBytes(trackChannel) + VectorBytes(channelOn) +
         VectorBytes(soloExempt) + VectorBytes(order) + values.Bytes() - sizeof(SongValues) + VectorBytes(cells);
}

// ---- Values ----

SongValues SongState::Values(const TVNSong& s) {
  SongValues v;
  v.bpm = s.BPM;
  v.spd = s.SPD;
  v.keyTone = s.KeyTone;
  v.keyType = s.KeyType;
  v.loops = {s.PatternLoopStart, s.PatternLoopEnd, s.OrderLoopStart, s.OrderLoopEnd};
  v.patternParams = s.patternParams_;
  v.trackParams = s.trackParam_;
  v.channelParams = s.channelParams_;
  v.midiParams = s.midiChannelParams_;
  v.bankSelect = s.bankSelect_;
  v.tag = s.Tag;
  return v;
}

bool SongState::RestoreValues(TVNSong& s, const SongValues& v) {
  if (v.patternParams.size() != s.patternParams_.size() || v.trackParams.size() != s.trackParam_.size() ||
      v.channelParams.size() != s.channelParams_.size())
    return false;
  s.BPM = v.bpm;
  s.SPD = v.spd;
  s.KeyTone = v.keyTone;
  s.KeyType = v.keyType;
  s.PatternLoopStart = v.loops[0];
  s.PatternLoopEnd = v.loops[1];
  s.OrderLoopStart = v.loops[2];
  s.OrderLoopEnd = v.loops[3];
  // The row clock reads these while it plays: each value crosses whole.
  for (size_t i = 0; i < v.patternParams.size(); ++i) StoreRelaxed(s.patternParams_[i], v.patternParams[i]);
  for (size_t i = 0; i < v.trackParams.size(); ++i) StoreRelaxed(s.trackParam_[i], v.trackParams[i]);
  for (size_t i = 0; i < v.channelParams.size(); ++i) StoreRelaxed(s.channelParams_[i], v.channelParams[i]);
  for (size_t i = 0; i < v.midiParams.size(); ++i) StoreRelaxed(s.midiChannelParams_[i], v.midiParams[i]);
  for (size_t i = 0; i < v.bankSelect.size(); ++i) StoreRelaxed(s.bankSelect_[i], v.bankSelect[i]);
  s.Tag = v.tag;
  return true;
}

// ---- Images ----

SongImage SongState::Capture(const TVNSong& s, BlockPool& pool) {
  SongImage im;
  im.patterns = s.patternsCount_;
  im.channels = s.channelsCount_;
  im.tracks = s.tracksCount_;
  im.orderLength = s.orderLength_;
  im.trackType = s.trackType_;
  im.trackChannel = s.trackChannel_;
  im.channelOn = s.channelOn_;
  im.soloExempt = s.channelSoloExempt_;
  im.order = s.order_;
  im.values = Values(s);
  im.currentPattern = s.CurrentPattern;
  im.keyKnown = s.KeyKnown;
  im.cells.resize(size_t(im.patterns) * size_t(im.tracks));
  for (int p = 0; p < im.patterns; ++p) {
    for (int t = 0; t < im.tracks; ++t) {
      const int32_t* cells = &s.cells_[s.CellIndex(p, t, 0)];
      if (AllEqual(cells, EmptyValue(im.trackType[size_t(t)]))) continue;
      im.cells[size_t(p) * size_t(im.tracks) + size_t(t)] = pool.Intern(cells);
    }
  }
  return im;
}

namespace {

void WriteCells(const SongImage& im, int32_t* cells) {
  for (int p = 0; p < im.patterns; ++p) {
    for (int t = 0; t < im.tracks; ++t) {
      int32_t* out = cells + (size_t(p) * size_t(im.tracks) + size_t(t)) * RowsPerPattern;
      const BlockRef& block = im.cells[size_t(p) * size_t(im.tracks) + size_t(t)];
      if (!block) {
        std::fill_n(out, RowsPerPattern, EmptyValue(im.trackType[size_t(t)]));
      } else if (block->wide) {
        std::memcpy(out, block->bytes.data(), RowsPerPattern * sizeof(int32_t));
      } else {
        std::copy_n(block->bytes.data(), RowsPerPattern, out);
      }
    }
  }
}

}  // namespace

void SongState::Restore(TVNSong& s, const SongImage& im) {
  const size_t size = size_t(im.patterns) * size_t(im.tracks) * RowsPerPattern;
  // The cells go back into the song's own memory when it is large enough (a pack that removed
  // patterns keeps it): memory already in use costs no page faults. Otherwise into new memory,
  // filled before the lock is taken.
  const bool inPlace = s.cells_.capacity() >= size;
  CellVector cells;
  if (!inPlace) {
    cells.resize(size);
    WriteCells(im, cells.data());
  }
  std::vector<uint8_t> trackType = im.trackType, trackChannel = im.trackChannel, channelOn = im.channelOn,
                       soloExempt = im.soloExempt, patternParams = im.values.patternParams,
                       channelParams = im.values.channelParams;
  std::vector<int32_t> trackParams = im.values.trackParams;
  std::vector<uint16_t> order = im.order;
  {
    std::scoped_lock lock(s.shapeLock_);
    if (inPlace) {
      s.cells_.resize(size);
      WriteCells(im, s.cells_.data());
    } else {
      s.cells_.swap(cells);
    }
    s.trackType_.swap(trackType);
    s.trackChannel_.swap(trackChannel);
    s.trackParam_.swap(trackParams);
    s.patternParams_.swap(patternParams);
    s.channelParams_.swap(channelParams);
    s.order_.swap(order);
    s.channelOn_.swap(channelOn);
    s.channelSoloExempt_.swap(soloExempt);
    s.channelActivity_.resize(size_t(im.channels), 0);
    s.patternsCount_ = int16_t(im.patterns);
    s.channelsCount_ = uint8_t(im.channels);
    s.tracksCount_ = uint16_t(im.tracks);
    s.orderLength_ = uint16_t(im.orderLength);
    RestoreValues(s, im.values);
    s.CurrentPattern = std::min<uint16_t>(im.currentPattern, uint16_t(im.patterns - 1));
    s.KeyKnown = im.keyKnown;
    s.ClearSounding();
  }
}

bool SongState::Matches(const TVNSong& s, const SongImage& im) {
  if (im.patterns != s.patternsCount_ || im.channels != s.channelsCount_ || im.tracks != s.tracksCount_ ||
      im.orderLength != s.orderLength_)
    return false;
  if (im.trackType != s.trackType_ || im.trackChannel != s.trackChannel_ || im.channelOn != s.channelOn_ ||
      im.soloExempt != s.channelSoloExempt_ || im.order != s.order_ || !SameValues(im.values, Values(s)))
    return false;
  for (int p = 0; p < im.patterns; ++p) {
    for (int t = 0; t < im.tracks; ++t) {
      const int32_t* cells = &s.cells_[s.CellIndex(p, t, 0)];
      const BlockRef& block = im.cells[size_t(p) * size_t(im.tracks) + size_t(t)];
      if (block ? !BlockHolds(*block, cells) : !AllEqual(cells, EmptyValue(im.trackType[size_t(t)]))) return false;
    }
  }
  return true;
}

// ---- Order lists ----

void SongState::ResizeOrder(TVNSong& s, int length) {
  std::scoped_lock lock(s.shapeLock_);
  s.ResizeOrder(std::clamp(length, 1, MaxOrderLength));
}

int SongState::OrderEntry(const TVNSong& s, int channel, int position) {
  if (channel < 0 || channel >= s.channelsCount_ || position < 0 || position >= s.orderLength_) return OrderEmpty;
  return s.Order(channel, position);
}

// ---- Taking over a song read aside ----

void SongState::TakeContent(TVNSong& into, TVNSong& from) {
  std::scoped_lock lock(into.shapeLock_, from.shapeLock_);
  into.cells_.swap(from.cells_);
  into.trackType_.swap(from.trackType_);
  into.trackChannel_.swap(from.trackChannel_);
  into.trackParam_.swap(from.trackParam_);
  into.patternParams_.swap(from.patternParams_);
  into.channelParams_.swap(from.channelParams_);
  into.order_.swap(from.order_);
  into.channelOn_.swap(from.channelOn_);
  into.channelSoloExempt_.swap(from.channelSoloExempt_);
  std::swap(into.midiChannelParams_, from.midiChannelParams_);
  std::swap(into.bankSelect_, from.bankSelect_);
  const int16_t patterns = into.patternsCount_;
  const uint8_t channels = into.channelsCount_;
  const uint16_t tracks = into.tracksCount_, length = into.orderLength_;
  into.patternsCount_ = from.patternsCount_.load();
  into.channelsCount_ = from.channelsCount_.load();
  into.tracksCount_ = from.tracksCount_.load();
  into.orderLength_ = from.orderLength_.load();
  from.patternsCount_ = patterns;
  from.channelsCount_ = channels;
  from.tracksCount_ = tracks;
  from.orderLength_ = length;
  // The meters belong to the row clock: they only follow the channel count.
  into.channelActivity_.assign(size_t(into.channelsCount_), 0);
  from.channelActivity_.assign(size_t(from.channelsCount_), 0);
  into.ClearSounding();

  into.CurrentPattern = from.CurrentPattern;
  into.BPM = from.BPM;
  into.SPD = from.SPD;
  into.GridAdd = from.GridAdd;
  into.SongMode = from.SongMode;
  into.Octave = from.Octave;
  into.KeyTone = from.KeyTone;
  into.KeyType = from.KeyType;
  into.KeyKnown = from.KeyKnown;
  into.Modified = false;
  into.SoundEnabled = from.SoundEnabled;
  into.EditEnabled = from.EditEnabled;
  into.Metronome = from.Metronome;
  into.FollowSongView = from.FollowSongView;
  into.PatternLoopStart = from.PatternLoopStart;
  into.PatternLoopEnd = from.PatternLoopEnd;
  into.OrderLoopStart = from.OrderLoopStart;
  into.OrderLoopEnd = from.OrderLoopEnd;
  std::swap(into.Tag, from.Tag);
  std::swap(into.FileName, from.FileName);
  std::swap(into.DeviceName, from.DeviceName);
  std::swap(into.LoadedDeviceName, from.LoadedDeviceName);
  std::swap(into.InDeviceName, from.InDeviceName);
}

}  // namespace varnel
