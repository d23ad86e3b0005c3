// A thin layer over the song's own operations for writing songs from code: channels with their
// tracks, patterns, notes and order lists. Used by make_songs to build the songs shipped in Songs/.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "song/song.h"

namespace varnel::songs {

// General MIDI drum keys on the percussion channel.
enum Drum : int {
  Kick = 36,
  SideStick = 37,
  Snare = 38,
  Clap = 39,
  LowFloorTom = 41,
  ClosedHat = 42,
  LowTom = 45,
  OpenHat = 46,
  HiMidTom = 48,
  Crash = 49,
  HighTom = 50,
  Ride = 51,
};

// Per MIDI channel: the program and the controller presets; -1 leaves a preset unset.
struct Instrument {
  int program = 0;
  int pan = -1;
  int volume = -1;
  int reverb = -1;
  int chorus = -1;
};

class SongBuilder {
 public:
  // Starts from an empty song: `channels` song channels without tracks yet, one pattern of `rows`.
  SongBuilder(TVNSong& song, int channels, int rows);

  // Appends a track at the right end of `channel`; returns its index. A velocity track goes after
  // the channel's last track, which must then be a note track.
  int AddTrack(int channel, int type, int param = -1);
  // A note track followed by its velocity track; returns the note track.
  int AddNoteWithVelocity(int channel);

  // Song channel settings; the MIDI channel is 0-based (9 is the percussion channel).
  void SetChannel(int channel, int midiChannel, int velocity = 100);
  void SetInstrument(int midiChannel, const Instrument& instrument);

  // Appends a pattern of `rows` rows; returns its number.
  int AddPattern(int rows);

  // Cells. Note tracks take 0..127, CellEmpty or CellNoteOff; a note with velocity writes the
  // velocity into the track to its right.
  void Set(int pattern, int track, int row, int value);
  void Note(int pattern, int track, int row, int note, int velocity = -1);
  void Off(int pattern, int track, int row) { Set(pattern, track, row, CellNoteOff); }

  // One order list: entry p is the pattern the channel plays at position p (OrderEmpty: nothing).
  void SetOrder(int channel, std::initializer_list<int> patterns);

  TVNSong& Song() { return song_; }

 private:
  TVNSong& song_;
  std::vector<bool> hasTracks_;
};

// Saves and reads the file back; false (with a message on standard error) if either fails.
bool SaveSong(TVNSong& song, const std::string& path);

}  // namespace varnel::songs
