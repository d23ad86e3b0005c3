// Shape changes of the song: patterns, tracks and channels inserted and deleted, notes placed into
// free note cells. Every operation holds the shape lock while it resizes.
#include <algorithm>
#include <cstring>
#include <string>

#include "song/song.h"

namespace varnel {

bool TVNSong::InsertPattern(int position, int rows) {
  std::scoped_lock lock(shapeLock_);
  if (patternsCount_ >= MaxPatterns) {
    reporter_->Message("Maximum number of patterns reached (" + std::to_string(MaxPatterns) + ")");
    return false;
  }
  if (position < 0 || position > patternsCount_) {
    Trace("InsertPattern: position ", position, " outside the song");
    return false;
  }
  Modified = true;
  const int current = CurrentPattern;
  uint8_t record[PATTERN_PARAMS] = {0, 0};
  if (current < patternsCount_) std::copy_n(&patternParams_[size_t(current) * PATTERN_PARAMS], PATTERN_PARAMS, record);
  record[0] = uint8_t(std::clamp(rows, 1, RowsPerPattern) - 1);

  // The cells move in blocks: through the vector (whose allocator constructs each cell) they would
  // be copied one by one. Appending, as the importers do pattern after pattern, grows the storage
  // by doubling, up to what 256 patterns need.
  const int tracks = tracksCount_;
  const size_t size = size_t(tracks) * RowsPerPattern, at = size_t(position) * size, old = cells_.size();
  if (cells_.capacity() < old + size) {
    CellVector grown;
    grown.reserve(std::max(old + size, std::min(2 * old, size_t(MaxPatterns) * size)));
    grown.resize(old + size);
    std::memcpy(grown.data(), cells_.data(), at * sizeof(int32_t));
    std::memcpy(grown.data() + at + size, cells_.data() + at, (old - at) * sizeof(int32_t));
    cells_.swap(grown);
  } else {
    cells_.resize(old + size);
    std::memmove(cells_.data() + at + size, cells_.data() + at, (old - at) * sizeof(int32_t));
  }
  for (int t = 0; t < tracks; ++t)
    std::fill_n(cells_.data() + at + size_t(t) * RowsPerPattern, RowsPerPattern, EmptyValue(trackType_[t]));
  patternParams_.insert(patternParams_.begin() + ptrdiff_t(position) * PATTERN_PARAMS, record,
                        record + PATTERN_PARAMS);
  const bool appending = position == patternsCount_;
  patternsCount_ = int16_t(patternsCount_ + 1);
  if (appending) return true;  // nothing moved: every entry still names the same pattern

  // 255 can only be an entry naming no pattern; raised, it would turn into OrderEmpty.
  for (auto& entry : order_)
    if (entry >= position && entry < 255) StoreRelaxed(entry, uint16_t(entry + 1));
  return true;
}

void TVNSong::DeletePattern(int pattern) {
  std::scoped_lock lock(shapeLock_);
  // A song keeps at least one pattern; the commands say so before they get here.
  if (pattern < 0 || pattern >= patternsCount_ || patternsCount_ < 2) return;
  Modified = true;
  const size_t size = size_t(tracksCount_) * RowsPerPattern;
  cells_.erase(cells_.begin() + ptrdiff_t(pattern * size), cells_.begin() + ptrdiff_t((pattern + 1) * size));
  patternParams_.erase(patternParams_.begin() + ptrdiff_t(pattern) * PATTERN_PARAMS,
                       patternParams_.begin() + ptrdiff_t(pattern + 1) * PATTERN_PARAMS);
  patternsCount_ = int16_t(patternsCount_ - 1);

  for (int c = 0; c < channelsCount_; ++c) {
    for (int pos = 0; pos < orderLength_; ++pos) {
      const int e = Order(c, pos);
      if (e > pattern && e < 256) {
        StoreOrder(c, pos, uint16_t(e - 1));
      } else if (e == pattern) {
        SetOrder(c, pos, OrderEmpty);
      }
    }
  }
}

bool TVNSong::AddTrack(int after, int type, int param, int channel) {
  std::scoped_lock lock(shapeLock_);
  if (tracksCount_ >= MaxTracks) {
    reporter_->Message("Maximum number of tracks reached (" + std::to_string(MaxTracks) + ")");
    return false;
  }
  if (type < 0 || type > ttTempo || type == 2 || type == 3) return false;
  const int count = tracksCount_;
  if (channel < 0) {
    if (after < 0 || after >= count) return false;
  } else {
    if (channel >= channelsCount_) return false;
    after = std::clamp(after, 0, count);
  }
  if (type == ttVelocity) {
    const bool noteAtAfter = after < count && TrackType(after) == ttNote;
    const bool velocityFollows = after + 1 < count && TrackType(after + 1) == ttVelocity;
    if (!noteAtAfter || velocityFollows) {
      const int shown = after < count ? TrackChannel(after) + 1 : channel + 1;
      reporter_->Message("Cannot add volume track for channel #" + std::to_string(shown));
      return false;
    }
  }
  // A new track never separates a note track from its velocity track.
  if (channel < 0 && after + 1 < count && TrackType(after + 1) == ttVelocity) ++after;
  const int index = channel >= 0 ? after : after + 1;
  const int owner = channel >= 0 ? channel : TrackChannel(index - 1);
  const int32_t storedParam = type >= ttControlChange ? param : -1;
  InsertTrackAt(index, uint8_t(type), uint8_t(owner), storedParam);
  Modified = true;
  return true;
}

bool TVNSong::DeleteTrack(int track) {
  std::scoped_lock lock(shapeLock_);
  const int count = tracksCount_;
  if (track < 0 || track >= count) return false;
  if (count == 1) {
    reporter_->Message("Cannot delete the last track of the song");
    return false;
  }
  if (track + 1 < count && TrackType(track + 1) == ttVelocity) {
    reporter_->Message("Please remove the volume track first");
    return false;
  }
  const int channel = TrackChannel(track);
  const bool leftShares = track > 0 && TrackChannel(track - 1) == channel;
  const bool rightShares = track + 1 < count && TrackChannel(track + 1) == channel;
  if (!leftShares && !rightShares && channelsCount_ > 1) RemoveChannelAt(channel);
  RemoveTrackAt(track);
  Modified = true;
  return true;
}

bool TVNSong::InsertChannel(int channel) {
  std::scoped_lock lock(shapeLock_);
  if (channel < 0 || channel > channelsCount_) return false;
  if (channelsCount_ >= MaxChannels) {
    reporter_->Message("Maximum number of channels reached (" + std::to_string(MaxChannels) + ")");
    return false;
  }
  if (tracksCount_ >= MaxTracks) {
    reporter_->Message("Maximum number of tracks reached (" + std::to_string(MaxTracks) + ")");
    return false;
  }
  int first, end;
  ChannelTracks(channel, first, end);
  if (first > end) {
    // No tracks of its own: the new note track goes where the channel order puts it.
    first = tracksCount_;
    for (int t = 0; t < tracksCount_; ++t)
      if (TrackChannel(t) > channel) {
        first = t;
        break;
      }
  }
  InsertChannelAt(channel, std::min(channel, channelsCount_ - 1));
  for (int t = first; t < tracksCount_; ++t) trackChannel_[t] = uint8_t(trackChannel_[t] + 1);
  return AddTrack(first, ttNote, -1, channel);
}

void TVNSong::RemoveChannel(int channel) {
  std::scoped_lock lock(shapeLock_);
  int first, end;
  ChannelTracks(channel, first, end);
  for (int t = end - 1; t >= first; --t) DeleteTrack(t);
}

int TVNSong::InsertNote(int channel, int row, uint8_t forceFrom, uint8_t skip, uint8_t value) {
  std::scoped_lock lock(shapeLock_);
  if (channel < 0 || channel >= channelsCount_) return -1;
  int count = 0;
  for (int t = 0; t < tracksCount_; ++t) {
    const int trackChannel = TrackChannel(t);
    if (trackChannel > channel) {
      if (value >= 128 || !AddTrack(t, ttNote, -1, channel)) return -1;
      SetCellData(t, row, value);
      return t;
    }
    if (trackChannel != channel || TrackType(t) != ttNote) continue;
    ++count;
    if (count > skip) {
      const int cell = GetCellData(t, row);
      if (cell == CellEmpty || (cell == CellNoteOff && value < 128) || (forceFrom != 255 && count >= forceFrom)) {
        SetCellData(t, row, value);
        return t;
      }
    } else if (t == tracksCount_ - 1 && value < 128) {
      if (!AddTrack(t, ttNote, -1, -1)) return -1;
      SetCellData(t + 1, row, value);
      return t + 1;
    }
  }
  // No free cell and no later channel: the channel's new note track goes after the song's last
  // track, as the higher channels get theirs before the next channel.
  if (value >= 128) return -1;
  if (tracksCount_ < MaxTracks) {
    const int index = tracksCount_;
    if (!AddTrack(index, ttNote, -1, channel)) return -1;
    SetCellData(index, row, value);
    return index;
  }
  reporter_->Status("Not inserted, channel: " + std::to_string(channel) + " row: " + std::to_string(row) + " " +
                        std::to_string(value),
                    0);
  return -1;
}

}  // namespace varnel
