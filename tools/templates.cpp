// The template songs of File > Templates: empty patterns, laid out and voiced for a kind of song.
#include "make_songs.h"

namespace varnel::songs {

namespace {

constexpr int TemplateRows = 64;

}  // namespace

// "Blank": what a new song is, 16 channels of one note track each.
void BuildBlank(TVNSong& song) {
  SongBuilder b(song, 16, TemplateRows);
  for (int c = 0; c < 16; ++c) b.SetChannel(c, c);
}

// "16 channel + volume": every channel a note track with its velocity track, MIDI channels 1..16.
void BuildSixteenWithVolume(TVNSong& song) {
  SongBuilder b(song, 16, TemplateRows);
  for (int c = 0; c < 16; ++c) {
    b.AddNoteWithVelocity(c);
    b.SetChannel(c, c);
  }
  song.BPM = 120;
}

// "Orchestra": the 16 MIDI channels voiced and placed like a seating plan (strings left to right,
// woodwinds centre, brass right, timpani and harp at the back); channel 10 stays percussion.
void BuildOrchestra(TVNSong& song) {
  SongBuilder b(song, 16, TemplateRows);
  struct Seat {
    int program, pan, volume;
  };
  static constexpr Seat Seats[16] = {
      {40, 32, 100},  // Violin I
      {40, 48, 96},   // Violin II
      {41, 72, 96},   // Viola
      {42, 88, 100},  // Cello
      {43, 100, 100}, // Contrabass
      {73, 56, 90},   // Flute
      {68, 68, 90},   // Oboe
      {71, 60, 90},   // Clarinet
      {70, 72, 90},   // Bassoon
      {0, 64, 100},   // percussion
      {60, 44, 92},   // French Horn
      {56, 80, 92},   // Trumpet
      {57, 90, 92},   // Trombone
      {58, 96, 92},   // Tuba
      {47, 64, 100},  // Timpani
      {46, 24, 96},   // Orchestral Harp
  };
  for (int c = 0; c < 16; ++c) {
    b.AddNoteWithVelocity(c);
    b.SetChannel(c, c);
    b.SetInstrument(c, {.program = Seats[c].program, .pan = Seats[c].pan, .volume = Seats[c].volume, .reverb = 48});
  }
  song.BPM = 96;
}

// "Trance": four-to-the-floor drums in separate tracks, a filtered bass and lead with their
// filter tracks, pads, a gate channel with expression, a pluck arpeggio.
void BuildTrance(TVNSong& song) {
  SongBuilder b(song, 7, TemplateRows);
  enum { Drums, Bass, Lead, Pad, Gate, Pluck, Fx };
  for (int i = 0; i < 4; ++i) b.AddTrack(Drums, ttNote);  // kick, clap, hats, cymbals
  b.AddTrack(Drums, ttVelocity);
  b.SetChannel(Drums, PercussionMidiChannel, 110);
  b.SetInstrument(PercussionMidiChannel, {.program = 0, .volume = 110, .reverb = 20});

  b.AddNoteWithVelocity(Bass);
  b.AddTrack(Bass, ttFilterCut);
  b.SetChannel(Bass, 0, 110);
  b.SetInstrument(0, {.program = 38, .pan = 64, .volume = 105});

  b.AddNoteWithVelocity(Lead);
  b.AddTrack(Lead, ttFilterCut);
  b.AddTrack(Lead, ttFilterRes);
  b.AddTrack(Lead, ttModulation);
  b.SetChannel(Lead, 1);
  b.SetInstrument(1, {.program = 81, .pan = 64, .volume = 96, .reverb = 70, .chorus = 40});

  for (int i = 0; i < 4; ++i) b.AddTrack(Pad, ttNote);
  b.AddTrack(Pad, ttChannelVolume);
  b.SetChannel(Pad, 2, 80);
  b.SetInstrument(2, {.program = 90, .pan = 64, .volume = 90, .reverb = 90, .chorus = 70});

  for (int i = 0; i < 3; ++i) b.AddTrack(Gate, ttNote);
  b.AddTrack(Gate, ttExpression);
  b.SetChannel(Gate, 3, 90);
  b.SetInstrument(3, {.program = 50, .pan = 64, .volume = 90, .reverb = 60});

  b.AddNoteWithVelocity(Pluck);
  b.AddTrack(Pluck, ttPan);
  b.SetChannel(Pluck, 4, 80);
  b.SetInstrument(4, {.program = 45, .pan = 64, .volume = 85, .reverb = 80});

  b.AddTrack(Fx, ttNote);
  b.SetChannel(Fx, 5, 90);
  b.SetInstrument(5, {.program = 119, .pan = 64, .volume = 80, .reverb = 100});
  song.BPM = 138;
  song.KeyTone = 9;  // A minor
  song.KeyType = 1;
}

// "Studio": a band in a room: drums with velocities, bass, keys, guitars, strings, brass and a
// lead voice, each with volume and pan tracks for the mix, and a tempo track.
void BuildStudio(TVNSong& song) {
  SongBuilder b(song, 9, TemplateRows);
  b.AddNoteWithVelocity(0);  // kick
  b.AddNoteWithVelocity(0);  // snare
  b.AddNoteWithVelocity(0);  // hats
  b.AddTrack(0, ttNote);     // toms and cymbals
  b.AddTrack(0, ttTempo);
  b.SetChannel(0, PercussionMidiChannel);
  b.SetInstrument(PercussionMidiChannel, {.program = 0, .pan = 64, .volume = 110, .reverb = 30});

  struct Player {
    int program, pan, volume, voices;
  };
  static constexpr Player Band[8] = {
      {33, 64, 108, 1},  // Electric Bass (finger)
      {0, 56, 96, 3},    // Acoustic Grand Piano
      {4, 72, 90, 3},    // Electric Piano 1
      {27, 40, 90, 2},   // Electric Guitar (clean)
      {29, 88, 85, 2},   // Overdriven Guitar
      {48, 64, 88, 4},   // String Ensemble 1
      {61, 76, 90, 3},   // Brass Section
      {65, 64, 100, 1},  // Alto Sax
  };
  for (int i = 0; i < 8; ++i) {
    const int channel = i + 1;
    const int midi = i < PercussionMidiChannel ? i : i + 1;
    b.AddNoteWithVelocity(channel);
    for (int v = 1; v < Band[i].voices; ++v) b.AddTrack(channel, ttNote);
    b.AddTrack(channel, ttChannelVolume);
    b.AddTrack(channel, ttPan);
    if (Band[i].program == 0 || Band[i].program == 4) b.AddTrack(channel, ttSustain);
    b.SetChannel(channel, midi);
    b.SetInstrument(midi, {.program = Band[i].program, .pan = Band[i].pan, .volume = Band[i].volume, .reverb = 40});
  }
  song.BPM = 110;
}

}  // namespace varnel::songs
