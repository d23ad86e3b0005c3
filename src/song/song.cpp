#include "song/song.h"

#include <algorithm>
#include <cstring>

namespace varnel {

const char* const NoteNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

TVNSong::TVNSong(Reporter* reporter) {
  SetReporter(reporter);
  Reset(16, defaultPatternLength_, true);
}

void TVNSong::SetReporter(Reporter* reporter) { reporter_ = reporter ? reporter : &nullReporter_; }

void TVNSong::SetDefaultPatternLength(int rows) { defaultPatternLength_ = std::clamp(rows, 32, RowsPerPattern); }

void TVNSong::Reset(int channels, int rows, bool resetMidi) {
  std::scoped_lock lock(shapeLock_);
  channels = std::clamp(channels, 1, MaxChannels);
  rows = std::clamp(rows, 1, RowsPerPattern);

  FileName.clear();
  channelsCount_ = uint8_t(channels);
  tracksCount_ = uint16_t(channels);
  patternsCount_ = 1;
  orderLength_ = 1;
  CurrentPattern = 0;

  Octave = 4;
  EditEnabled = true;
  SoundEnabled = true;
  BPM = 120;
  SPD = 4;
  GridAdd = 0;
  Modified = false;
  SongMode = false;
  FollowSongView = 0;
  PatternLoopStart = -1;
  PatternLoopEnd = -1;
  OrderLoopStart = -1;
  OrderLoopEnd = -1;
  LoadedDeviceName.clear();
  DeviceName.clear();
  InDeviceName.clear();
  Metronome = false;
  KeyTone = 0;
  KeyType = 0;
  KeyKnown = true;

  cells_.assign(size_t(channels) * RowsPerPattern, CellEmpty);
  trackType_.assign(channels, ttNote);
  trackChannel_.resize(channels);
  for (int t = 0; t < channels; ++t) trackChannel_[t] = uint8_t(t);
  trackParam_.assign(channels, -1);
  patternParams_.assign(PATTERN_PARAMS, 0);
  patternParams_[0] = uint8_t(rows - 1);
  channelParams_.resize(size_t(channels) * CHANNEL_PARAMS);
  for (int c = 0; c < channels; ++c) ResetChannelRecord(c);
  order_.assign(channels, 0);
  channelOn_.assign(channels, 1);
  channelSoloExempt_.assign(channels, 0);
  // The row clock's meters keep their length in step with the channels, their values are its own.
  channelActivity_.resize(channels, 0);

  if (resetMidi) {
    for (int m = 0; m < MidiChannelCount; ++m) {
      midiChannelParams_[m * MIDICHANNEL_PARAMS] = 0;
      for (int i = 1; i < MIDICHANNEL_PARAMS; ++i) midiChannelParams_[m * MIDICHANNEL_PARAMS + i] = 255;
      bankSelect_[m * 2] = 128;
      bankSelect_[m * 2 + 1] = 128;
    }
  }
  ClearSounding();
  Tag = TVNSongTag{};
}

void TVNSong::ResetChannelRecord(int channel) {
  uint8_t* record = &channelParams_[size_t(channel) * CHANNEL_PARAMS];
  record[ParamMidiChannel] = uint8_t(std::min(channel, MidiChannelCount - 1));
  record[ParamVelocity] = 100;
  record[ParamReleaseMode] = 0;
  record[ParamTranspose] = 0;
}

void TVNSong::FitChannelsToTracks() {
  std::scoped_lock lock(shapeLock_);
  int needed = channelsCount_;
  for (int t = 0; t < tracksCount_; ++t) needed = std::max(needed, trackChannel_[t] + 1);
  needed = std::min(needed, MaxChannels);
  const int old = channelsCount_;
  if (needed <= old) return;
  const size_t length = orderLength_;
  channelParams_.resize(size_t(needed) * CHANNEL_PARAMS);
  for (int c = old; c < needed; ++c) ResetChannelRecord(c);
  channelOn_.resize(needed, 1);
  channelSoloExempt_.resize(needed, 0);
  channelActivity_.resize(needed, 0);
  order_.resize(size_t(needed) * length, 0);
  channelsCount_ = uint8_t(needed);
}

void TVNSong::ClearSounding() {
  for (int t = 0; t < 256; ++t) {
    StoreSoundingNote(t, 0);
    StoreSoundingChannel(t, 0);
  }
}

// ---- Shape helpers: the caller holds the shape lock ----

void TVNSong::ResizeOrder(int newLength) {
  const int oldLength = orderLength_;
  if (newLength == oldLength) return;
  std::vector<uint16_t> next(size_t(channelsCount_) * newLength, uint16_t(OrderEmpty));
  const int keep = std::min(oldLength, newLength);
  for (int c = 0; c < channelsCount_; ++c)
    std::copy_n(order_.begin() + ptrdiff_t(c) * oldLength, keep, next.begin() + ptrdiff_t(c) * newLength);
  order_.swap(next);
  orderLength_ = uint16_t(newLength);
}

// Tracks come and go inside every pattern's block of cells. The blocks move in place, from the last
// pattern down (inserting) or the first up (removing), as long as the storage has room; an import
// that adds one track per chord note then costs no new allocation per track.
void TVNSong::InsertTrackAt(int index, uint8_t type, uint8_t channel, int32_t param) {
  const size_t oldCount = tracksCount_, row = RowsPerPattern, patterns = size_t(patternsCount_);
  const size_t oldBlock = oldCount * row, newBlock = oldBlock + row, newSize = patterns * newBlock;
  const size_t head = size_t(index) * row, tail = oldBlock - head;
  if (cells_.capacity() < newSize) {
    CellVector next;
    next.reserve(std::min(newSize + newSize / 4, patterns * MaxTracks * row));
    next.resize(newSize);
    for (size_t p = 0; p < patterns; ++p) {
      std::memcpy(next.data() + p * newBlock, cells_.data() + p * oldBlock, head * sizeof(int32_t));
      std::memcpy(next.data() + p * newBlock + head + row, cells_.data() + p * oldBlock + head, tail * sizeof(int32_t));
    }
    cells_.swap(next);
  } else {
    cells_.resize(newSize);
    int32_t* cells = cells_.data();
    for (size_t p = patterns; p-- > 0;) {
      std::memmove(cells + p * newBlock + head + row, cells + p * oldBlock + head, tail * sizeof(int32_t));
      std::memmove(cells + p * newBlock, cells + p * oldBlock, head * sizeof(int32_t));
    }
  }
  for (size_t p = 0; p < patterns; ++p) std::fill_n(cells_.data() + p * newBlock + head, row, EmptyValue(type));
  trackType_.insert(trackType_.begin() + index, type);
  trackChannel_.insert(trackChannel_.begin() + index, channel);
  trackParam_.insert(trackParam_.begin() + index, param);
  tracksCount_ = uint16_t(oldCount + 1);
}

void TVNSong::RemoveTrackAt(int index) {
  const size_t oldCount = tracksCount_, row = RowsPerPattern, patterns = size_t(patternsCount_);
  const size_t oldBlock = oldCount * row, newBlock = oldBlock - row;
  const size_t head = size_t(index) * row, tail = newBlock - head;
  int32_t* cells = cells_.data();
  for (size_t p = 0; p < patterns; ++p) {
    std::memmove(cells + p * newBlock, cells + p * oldBlock, head * sizeof(int32_t));
    std::memmove(cells + p * newBlock + head, cells + p * oldBlock + head + row, tail * sizeof(int32_t));
  }
  cells_.resize(patterns * newBlock);
  trackType_.erase(trackType_.begin() + index);
  trackChannel_.erase(trackChannel_.begin() + index);
  trackParam_.erase(trackParam_.begin() + index);
  tracksCount_ = uint16_t(oldCount - 1);
}

void TVNSong::InsertChannelAt(int channel, int copyFrom) {
  const size_t length = orderLength_;
  std::vector<uint8_t> params(channelParams_.begin() + ptrdiff_t(copyFrom * CHANNEL_PARAMS),
                              channelParams_.begin() + ptrdiff_t((copyFrom + 1) * CHANNEL_PARAMS));
  std::vector<uint16_t> order(order_.begin() + ptrdiff_t(copyFrom * length),
                              order_.begin() + ptrdiff_t((copyFrom + 1) * length));
  channelParams_.insert(channelParams_.begin() + ptrdiff_t(channel * CHANNEL_PARAMS), params.begin(), params.end());
  order_.insert(order_.begin() + ptrdiff_t(channel * length), order.begin(), order.end());
  channelOn_.insert(channelOn_.begin() + channel, 1);
  channelSoloExempt_.insert(channelSoloExempt_.begin() + channel, 0);
  channelActivity_.insert(channelActivity_.begin() + channel, 0);
  channelsCount_ = uint8_t(channelsCount_ + 1);
}

void TVNSong::RemoveChannelAt(int channel) {
  const size_t length = orderLength_;
  channelParams_.erase(channelParams_.begin() + ptrdiff_t(channel * CHANNEL_PARAMS),
                       channelParams_.begin() + ptrdiff_t((channel + 1) * CHANNEL_PARAMS));
  order_.erase(order_.begin() + ptrdiff_t(channel * length), order_.begin() + ptrdiff_t((channel + 1) * length));
  channelOn_.erase(channelOn_.begin() + channel);
  channelSoloExempt_.erase(channelSoloExempt_.begin() + channel);
  channelActivity_.erase(channelActivity_.begin() + channel);
  channelsCount_ = uint8_t(channelsCount_ - 1);
  for (auto& c : trackChannel_)
    if (c > channel) --c;
}

void TVNSong::ClearTrackRows(int pattern, int track) {
  const int32_t empty = EmptyValue(TrackType(track));
  for (int r = 0; r <= LastRow(pattern); ++r) StoreCell(pattern, track, r, empty);
}

bool TVNSong::ShortenOrderTail() {
  int length = orderLength_;
  auto allEmpty = [&](int position) {
    for (int c = 0; c < channelsCount_; ++c)
      if (Order(c, position) != OrderEmpty) return false;
    return true;
  };
  while (length > 1 && allEmpty(length - 1)) --length;
  if (length == orderLength_) return false;
  ResizeOrder(length);
  return true;
}

void TVNSong::RedirectOrder(int channel, int from, int to) {
  for (int pos = 0; pos < orderLength_; ++pos)
    if (Order(channel, pos) == from) StoreOrder(channel, pos, uint16_t(to));
}

}  // namespace varnel
