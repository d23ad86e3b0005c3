// The song's checked accessors: cells through the pattern or song view, channel and MIDI-channel
// settings, the order lists and pattern selection.
#include <algorithm>
#include <cstdio>

#include "song/song.h"

namespace varnel {

namespace {
bool InRange(int value, int count) { return value >= 0 && value < count; }
}  // namespace

int TVNSong::GetCellData(int track, int row) const {
  const int current = CurrentPattern;
  const bool trackOk = InRange(track, tracksCount_);
  const int empty = trackOk ? EmptyValue(TrackType(track)) : CellEmpty;
  if (current >= patternsCount_ || !trackOk || row < 0 || row >= RowsPerPattern) {
    Trace("else GetCellData: ", track, "(", int(tracksCount_), ") ", row);
    return empty;
  }
  if (FollowSongView == 0) {
    if (row > LastRow(current)) {
      Trace("else GetCellData: ", track, "(", int(tracksCount_), ") ", row);
      return empty;
    }
    return CellData(current, track, row);
  }
  const int p = GetOrder(TrackChannel(track), PlayingOrder);
  if (p < 256 && p < patternsCount_) return CellData(p, track, row);
  return empty;
}

// The setters mark the song modified only when a stored value changes.
void TVNSong::SetCellData(int track, int row, int32_t value) {
  const int current = CurrentPattern;
  // Unlike the checks callers are trusted with elsewhere, a write is never allowed outside the arrays.
  if (!InRange(track, tracksCount_) || !InRange(row, RowsPerPattern) || current >= patternsCount_) {
    Trace("SetCellData: ", track, " ", row);
    return;
  }
  if (FollowSongView != 0) {
    const int p = GetOrder(TrackChannel(track), PlayingOrder);
    if (p < 256 && p < patternsCount_) {
      if (CellData(p, track, row) != value) Modified = true;
      StoreCell(p, track, row, value);
    } else {
      reporter_->Status("Track not assigned", 0);
    }
    return;
  }
  if (CellData(current, track, row) != value) Modified = true;
  StoreCell(current, track, row, value);
}

std::string TVNSong::CellText(int track, int row) const {
  const int type = GetTrackType(track);
  const int v = GetCellData(track, row);
  if (type == ttNote) {
    if (v == CellEmpty) return "   ";
    if (v == CellNoteOff) return " - ";
    if (v < 0) return "   ";
    std::string name = NoteNames[v % 12];
    if (name.size() == 1) name += '-';
    return name + std::to_string(v / 12);
  }
  if (type > ttTempo) return "";
  if ((type == ttTempo && v == 0) || (type != ttTempo && v == CellEmpty)) return "";
  char text[16];
  std::snprintf(text, sizeof text, HexNumbers ? "%02X" : "%02d", v);
  return text;
}

int TVNSong::GetLastRow() const {
  if (FollowSongView == 0) {
    const int current = CurrentPattern;
    return current < patternsCount_ ? LastRow(current) : 255;
  }
  int result = 255;
  for (int c = 0; c < channelsCount_; ++c) {
    const int p = GetOrder(c, PlayingOrder);
    if (p < patternsCount_) result = std::min<int>(result, LastRow(p));
  }
  return result;
}

void TVNSong::SetLastRow(uint8_t lastRow) {
  const int current = CurrentPattern;
  if (FollowSongView != 0 || current >= patternsCount_ || LastRow(current) == lastRow) return;
  Modified = true;
  StoreLastRow(current, lastRow);
}

int TVNSong::GetTrackType(int track) const { return InRange(track, tracksCount_) ? TrackType(track) : 0; }
int TVNSong::GetTrackChannel(int track) const { return InRange(track, tracksCount_) ? TrackChannel(track) : 0; }
int TVNSong::GetTrackParam(int track) const { return InRange(track, tracksCount_) ? TrackParam(track) : 0; }

void TVNSong::SetTrackParam(int track, int value) {
  if (!InRange(track, tracksCount_) || TrackParam(track) == value) return;
  Modified = true;
  StoreRelaxed(trackParam_[track], int32_t(value));
}

int TVNSong::GetMidiChannel(int channel) const {
  return InRange(channel, channelsCount_) ? ChannelParams(channel, ParamMidiChannel) : 0;
}
int TVNSong::GetVelocity(int channel) const {
  return InRange(channel, channelsCount_) ? ChannelParams(channel, ParamVelocity) : 0;
}
int TVNSong::GetReleaseMode(int channel) const {
  return InRange(channel, channelsCount_) ? ChannelParams(channel, ParamReleaseMode) : 0;
}

void TVNSong::SetMidiChannel(int channel, uint8_t value) {
  // MIDI channels above 47 have no settings to index; such a value is never stored.
  if (InRange(channel, channelsCount_) && value < MidiChannelCount) SetChannelParam(channel, ParamMidiChannel, value);
}
void TVNSong::SetVelocity(int channel, uint8_t value) {
  if (InRange(channel, channelsCount_)) SetChannelParam(channel, ParamVelocity, value);
}
void TVNSong::SetReleaseMode(int channel, uint8_t value) {
  if (InRange(channel, channelsCount_)) SetChannelParam(channel, ParamReleaseMode, value);
}

void TVNSong::SetChannelParam(int channel, int index, uint8_t value) {
  if (ChannelParams(channel, index) == value) return;
  Modified = true;
  StoreChannelParam(channel, index, value);
}

int TVNSong::GetTranspose(int channel) const {
  if (!InRange(channel, channelsCount_)) return 0;
  const int code = ChannelParams(channel, ParamTranspose);
  return code == 0 ? 0 : code - 80;
}

void TVNSong::SetTranspose(int channel, int semitones) {
  if (!InRange(channel, channelsCount_)) return;
  semitones = std::clamp(semitones, -79, 175);  // the code must stay a byte and never read as "none"
  SetChannelParam(channel, ParamTranspose, uint8_t(semitones == 0 ? 0 : semitones + 80));
}

int TVNSong::GetProgram(int midiChannel) const {
  return InRange(midiChannel, MidiChannelCount) ? MidiChannelParams(midiChannel, 0) : 0;
}

void TVNSong::SetProgram(int midiChannel, uint8_t program) {
  if (!InRange(midiChannel, MidiChannelCount) || MidiChannelParams(midiChannel, 0) == program) return;
  Modified = true;
  StoreMidiChannelParam(midiChannel, 0, program);
}

int TVNSong::GetMidiParam(int midiChannel, int index) const {
  if (!InRange(midiChannel, MidiChannelCount) || !InRange(index, MIDICHANNEL_PARAMS)) return -1;
  const int v = MidiChannelParams(midiChannel, index);
  return v >= 128 ? -1 : v;
}

void TVNSong::SetMidiParam(int midiChannel, int index, int value) {
  if (InRange(midiChannel, MidiChannelCount) && InRange(index, MIDICHANNEL_PARAMS))
    StoreMidiChannelParam(midiChannel, index, uint8_t(value));
}

int TVNSong::GetOrder(int channel, int position) const {
  if (!InRange(channel, channelsCount_) || !InRange(position, orderLength_)) return OrderEmpty;
  return Order(channel, position);
}

void TVNSong::SetOrder(int channel, int position, int value) {
  Modified = true;
  std::scoped_lock lock(shapeLock_);
  if (position >= orderLength_ && position < MaxOrderLength) ResizeOrder(position + 1);
  if (!InRange(channel, channelsCount_) || !InRange(position, orderLength_)) {
    reporter_->Message("ok :)");
    return;
  }
  if (value < 0 || value > OrderNoteOff) {
    Trace("SetOrder: value ", value, " ignored");
    return;
  }
  StoreOrder(channel, position, uint16_t(value));
  if (value == OrderEmpty) ShortenOrderTail();
}

// Selecting is no change to the song; only what it adds (a pattern, order positions) is.
void TVNSong::SelectPattern(int p) {
  if (FollowSongView != 0) {
    if (p < 0) return;
    p = std::min(p, MaxOrderLength - 1);
    PlayingOrder = p;
    if (p > orderLength_) {
      std::scoped_lock lock(shapeLock_);
      ResizeOrder(p + 1);
      Modified = true;
    }
    return;
  }
  if (InRange(p, patternsCount_)) {
    CurrentPattern = uint16_t(p);
  } else if (p == patternsCount_) {
    if (InsertPattern(p, defaultPatternLength_)) CurrentPattern = uint16_t(p);
  } else {
    reporter_->Message("Invalid pattern number");
  }
}

void TVNSong::ChannelTracks(int channel, int& first, int& end) const {
  first = tracksCount_ + 1;
  end = tracksCount_;
  for (int t = 0; t < tracksCount_; ++t) {
    if (TrackChannel(t) != channel) continue;
    if (first > t) first = t;
    end = t + 1;
  }
}

int TVNSong::NoteTrackIndex(int track) const {
  if (!InRange(track, tracksCount_)) return 0;
  const int channel = TrackChannel(track);
  int count = 0;
  for (int t = 0; t < track; ++t)
    if (TrackChannel(t) == channel && TrackType(t) == ttNote) ++count;
  return count;
}

bool TVNSong::IsTrackEmpty(int pattern, int track) const {
  if (!InRange(pattern, patternsCount_) || !InRange(track, tracksCount_)) return true;
  const int32_t empty = EmptyValue(TrackType(track));
  for (int r = 0; r <= LastRow(pattern); ++r)
    if (CellData(pattern, track, r) != empty) return false;
  return true;
}

int TVNSong::MinLastRowAt(int position) const {
  int result = 255;
  for (int c = 0; c < channelsCount_; ++c) {
    const int p = GetOrder(c, position);
    if (p < patternsCount_) result = std::min<int>(result, LastRow(p));
  }
  return result;
}

}  // namespace varnel
