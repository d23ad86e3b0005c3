#include "song_builder.h"

#include <iostream>
#include <stdexcept>

namespace varnel::songs {

SongBuilder::SongBuilder(TVNSong& song, int channels, int rows) : song_(song), hasTracks_(size_t(channels), false) {
  // Reset leaves one note track per channel; the first note track asked of a channel is that one.
  song_.Reset(channels, rows, true);
}

int SongBuilder::AddTrack(int channel, int type, int param) {
  if (channel < 0 || channel >= song_.ChannelsCount()) throw std::logic_error("no such channel");
  int first = 0, end = 0;
  song_.ChannelTracks(channel, first, end);
  if (!hasTracks_[size_t(channel)]) {
    if (type != ttNote) throw std::logic_error("a channel starts with a note track");
    hasTracks_[size_t(channel)] = true;
    return first;
  }
  if (!song_.AddTrack(end - 1, type, param, -1)) throw std::logic_error("the track cannot be added");
  return end;
}

int SongBuilder::AddNoteWithVelocity(int channel) {
  const int note = AddTrack(channel, ttNote);
  AddTrack(channel, ttVelocity);
  return note;
}

void SongBuilder::SetChannel(int channel, int midiChannel, int velocity) {
  song_.SetMidiChannel(channel, uint8_t(midiChannel));
  song_.SetVelocity(channel, uint8_t(velocity));
}

void SongBuilder::SetInstrument(int midiChannel, const Instrument& instrument) {
  song_.SetProgram(midiChannel, uint8_t(instrument.program));
  // Preset bytes: 1 pan, 2 channel volume, 6 reverb, 7 chorus.
  const std::pair<int, int> presets[] = {
      {1, instrument.pan}, {2, instrument.volume}, {6, instrument.reverb}, {7, instrument.chorus}};
  for (const auto& [index, value] : presets)
    if (value >= 0) song_.SetMidiParam(midiChannel, index, value);
}

int SongBuilder::AddPattern(int rows) {
  const int pattern = song_.PatternsCount();
  if (!song_.InsertPattern(pattern, rows)) throw std::logic_error("the pattern cannot be added");
  return pattern;
}

void SongBuilder::Set(int pattern, int track, int row, int value) {
  if (pattern < 0 || pattern >= song_.PatternsCount() || track < 0 || track >= song_.TracksCount() || row < 0 ||
      row > song_.LastRow(pattern))
    throw std::logic_error("cell outside the song");
  song_.StoreCell(pattern, track, row, value);
}

void SongBuilder::Note(int pattern, int track, int row, int note, int velocity) {
  Set(pattern, track, row, note);
  if (velocity < 0) return;
  if (song_.GetTrackType(track + 1) != ttVelocity) throw std::logic_error("the note track has no velocity track");
  Set(pattern, track + 1, row, velocity);
}

void SongBuilder::SetOrder(int channel, std::initializer_list<int> patterns) {
  const int length = int(patterns.size());
  // Lengthening fills the other channels' new positions with OrderEmpty.
  if (song_.OrderLength() < length) song_.SetOrder(channel, length - 1, 0);
  int position = 0;
  for (const int pattern : patterns) song_.StoreOrder(channel, position++, uint16_t(pattern));
}

bool SaveSong(TVNSong& song, const std::string& path) {
  if (!song.SaveToFile(path)) {
    std::cerr << "make_songs: cannot write " << path << '\n';
    return false;
  }
  TVNSong check;
  if (!check.LoadFromFile(path) || check.TracksCount() != song.TracksCount() ||
      check.PatternsCount() != song.PatternsCount() || check.OrderLength() != song.OrderLength()) {
    std::cerr << "make_songs: " << path << " does not read back as written\n";
    return false;
  }
  return true;
}

}  // namespace varnel::songs
