// The demo song: a groove in A minor at 104 BPM, five channels (drums on MIDI channel 10, bass,
// pads, an arpeggio, a melody), six patterns arranged per channel in the order lists, velocity
// tracks, a volume swell and a pan sweep, and a song loop that leaves the intro out.
#include <array>
#include <vector>

#include "make_songs.h"

namespace varnel::songs {

namespace {

constexpr int Bar = 16;  // rows per bar at 4 rows per beat
constexpr int Rows = 4 * Bar;
constexpr int E = OrderEmpty;
constexpr int X = OrderNoteOff;

enum Channel { Drums, Bass, Pads, Arp, Melody, ChannelCount };

struct Chord {
  int bass;                   // root in the bass register
  std::array<int, 3> voices;  // pad voicing, moving as little as possible
};

// i - VI - III - VII, and the breakdown's VI - VII - v - i.
constexpr Chord Am{45, {57, 60, 64}}, F{41, {57, 60, 65}}, C{48, {55, 60, 64}}, G{43, {55, 59, 62}},
    Em{40, {55, 59, 64}};
constexpr std::array<Chord, 4> Verse{Am, F, C, G};
constexpr std::array<Chord, 4> Breakdown{F, G, Em, Am};

struct Tracks {
  int kick, snare, hats, perc;  // drums; hats carry a velocity track
  int bass;                     // with velocity
  std::array<int, 3> pad;
  int padVolume;
  int arp, arpPan;
  int melody;  // with velocity
};

struct Step {
  int row, note, velocity;  // note CellNoteOff: a rest
};

// Two four-bar phrases of the melody over Am F C G; the second answers and comes home to A.
const std::vector<Step> PhraseA = {
    {0, 76, 100}, {4, 74, 80},  {6, 72, 85},  {8, 69, 96},  {12, CellNoteOff, 0}, {14, 67, 70},
    {16, 69, 100}, {20, 72, 84}, {24, 77, 104}, {28, 76, 82}, {30, 74, 72},
    {32, 76, 106}, {36, CellNoteOff, 0}, {38, 72, 80}, {40, 74, 86}, {42, 76, 92}, {44, 79, 102}, {47, CellNoteOff, 0},
    {48, 74, 96}, {52, 71, 80}, {54, 74, 86}, {56, 67, 92}, {60, CellNoteOff, 0},
};
const std::vector<Step> PhraseB = {
    {0, 81, 104}, {2, 79, 78},  {4, 76, 92},  {8, 74, 86},  {10, 76, 80}, {12, 72, 90}, {15, CellNoteOff, 0},
    {16, 72, 94}, {18, 74, 80}, {20, 77, 100}, {24, 76, 90}, {26, 74, 78}, {28, 72, 84}, {31, CellNoteOff, 0},
    {32, 67, 88}, {34, 72, 80}, {36, 76, 100}, {40, 79, 108}, {44, 76, 86}, {46, 74, 78},
    {48, 74, 94}, {50, 72, 80}, {52, 71, 84}, {56, 69, 112}, {62, CellNoteOff, 0},
};

Tracks MakeTracks(SongBuilder& b) {
  Tracks t{};
  t.kick = b.AddTrack(Drums, ttNote);
  t.snare = b.AddTrack(Drums, ttNote);
  t.hats = b.AddNoteWithVelocity(Drums);
  t.perc = b.AddTrack(Drums, ttNote);
  t.bass = b.AddNoteWithVelocity(Bass);
  for (int& voice : t.pad) voice = b.AddTrack(Pads, ttNote);
  t.padVolume = b.AddTrack(Pads, ttChannelVolume);
  t.arp = b.AddTrack(Arp, ttNote);
  t.arpPan = b.AddTrack(Arp, ttPan);
  t.melody = b.AddNoteWithVelocity(Melody);
  return t;
}

// Eighth-note hats, accented on the beat, an open hat closing every second bar.
void Hats(SongBuilder& b, const Tracks& t, int p, int fromBar, bool offbeatsOnly) {
  for (int row = fromBar * Bar; row < Rows; row += 2) {
    const bool onBeat = row % 4 == 0;
    if (offbeatsOnly && onBeat) continue;
    const bool open = row % (2 * Bar) == 2 * Bar - 2;
    b.Note(p, t.hats, row, open ? OpenHat : ClosedHat, open ? 84 : onBeat ? 92 : 58 + (row % 8 == 6 ? 10 : 0));
  }
}

void GrooveDrums(SongBuilder& b, const Tracks& t, int p, bool fill) {
  b.Set(p, t.perc, 0, Crash);
  for (int bar = 0; bar < 4; ++bar) {
    const int r = bar * Bar;
    const bool filling = fill && bar == 3;
    for (int k : {0, 6, 10}) b.Set(p, t.kick, r + k, Kick);
    if (bar % 2 == 1 && !filling) b.Set(p, t.kick, r + 14, Kick);
    b.Set(p, t.snare, r + 4, Snare);
    if (!filling) b.Set(p, t.snare, r + 12, Snare);
  }
  Hats(b, t, p, 0, false);
  if (!fill) return;
  // The last half bar rolls down the toms into the next section's crash.
  for (int row : {52, 54, 55}) b.Set(p, t.snare, row, Snare);
  const std::pair<int, int> toms[] = {{56, HighTom}, {58, HiMidTom}, {60, LowTom}, {62, LowFloorTom}};
  for (const auto& [row, tom] : toms) b.Set(p, t.perc, row, tom);
  for (int row = 56; row < Rows; row += 2) {
    b.Set(p, t.hats, row, CellEmpty);
    b.Set(p, t.hats + 1, row, CellEmpty);
  }
}

void IntroDrums(SongBuilder& b, const Tracks& t, int p) {
  Hats(b, t, p, 0, false);
  for (int row = 2 * Bar; row < Rows; row += 8) b.Set(p, t.kick, row, Kick);
  for (int row : {56, 58, 60, 61, 62, 63}) b.Set(p, t.snare, row, row < 60 ? SideStick : Snare);
}

void BreakdownDrums(SongBuilder& b, const Tracks& t, int p) {
  b.Set(p, t.perc, 0, Crash);
  b.Set(p, t.kick, 0, Kick);
  b.Set(p, t.kick, 2 * Bar, Kick);
  Hats(b, t, p, 0, true);
  for (int bar : {1, 3}) b.Set(p, t.snare, bar * Bar + 12, Clap);
}

// Root on the one, a push before beat two, the octave, the fifth, and a step down into the next
// bar's root; staccato with note-offs.
void GrooveBass(SongBuilder& b, const Tracks& t, int p, const std::array<Chord, 4>& chords) {
  for (int bar = 0; bar < 4; ++bar) {
    const int r = bar * Bar, root = chords[size_t(bar)].bass;
    const int approach = chords[size_t(bar + 1) % 4].bass + 2;  // a whole step above stays in the key
    const Step steps[] = {{0, root, 112}, {2, CellNoteOff, 0}, {3, root, 84},       {6, root + 12, 96},
                          {7, CellNoteOff, 0}, {8, root, 104}, {10, root + 7, 88}, {12, root, 100},
                          {14, approach, 80}, {15, CellNoteOff, 0}};
    for (const Step& s : steps)
      s.note == CellNoteOff ? b.Off(p, t.bass, r + s.row) : b.Note(p, t.bass, r + s.row, s.note, s.velocity);
  }
}

void LongBass(SongBuilder& b, const Tracks& t, int p, const std::array<Chord, 4>& chords) {
  for (int bar = 0; bar < 4; ++bar) {
    b.Note(p, t.bass, bar * Bar, chords[size_t(bar)].bass, 100);
    b.Off(p, t.bass, bar * Bar + 14);
  }
}

// One chord a bar; `swell` fades the pads in through the channel volume track.
void PadChords(SongBuilder& b, const Tracks& t, int p, const std::array<Chord, 4>& chords, bool swell) {
  for (int bar = 0; bar < 4; ++bar)
    for (int v = 0; v < 3; ++v) b.Set(p, t.pad[size_t(v)], bar * Bar, chords[size_t(bar)].voices[size_t(v)]);
  if (swell) {
    for (int row = 0; row < Rows; row += 4) b.Set(p, t.padVolume, row, 24 + row * 76 / (Rows - 4));
  } else {
    b.Set(p, t.padVolume, 0, 100);
  }
}

// Eighth notes up and down the chord an octave above the pads, swept across the stereo field.
void Arpeggio(SongBuilder& b, const Tracks& t, int p, const std::array<Chord, 4>& chords, int panWidth) {
  for (int bar = 0; bar < 4; ++bar) {
    const auto& v = chords[size_t(bar)].voices;
    const int notes[8] = {v[0] + 12, v[1] + 12, v[2] + 12, v[1] + 24, v[2] + 12, v[1] + 12, v[0] + 12, v[1] + 12};
    for (int i = 0; i < 8; ++i) b.Set(p, t.arp, bar * Bar + 2 * i, notes[i]);
  }
  for (int row = 0; row < Rows; row += 4) {
    const int phase = row % (2 * Bar);  // one sweep left to right and back every two bars
    const int offset = phase < Bar ? phase * 2 * panWidth / Bar - panWidth : panWidth - (phase - Bar) * 2 * panWidth / Bar;
    b.Set(p, t.arpPan, row, 64 + offset);
  }
}

void Phrase(SongBuilder& b, const Tracks& t, int p, const std::vector<Step>& steps) {
  for (const Step& s : steps)
    s.note == CellNoteOff ? b.Off(p, t.melody, s.row) : b.Note(p, t.melody, s.row, s.note, s.velocity);
}

}  // namespace

void BuildDemo(TVNSong& song) {
  SongBuilder b(song, ChannelCount, Rows);
  const Tracks t = MakeTracks(b);
  b.SetChannel(Drums, PercussionMidiChannel, 100);
  b.SetChannel(Bass, 0, 100);
  b.SetChannel(Pads, 1, 64);
  b.SetChannel(Arp, 2, 58);
  b.SetChannel(Melody, 3, 100);
  b.SetInstrument(PercussionMidiChannel, {.program = 0, .pan = 64, .volume = 112, .reverb = 24});
  b.SetInstrument(0, {.program = 33, .pan = 64, .volume = 112, .reverb = 8});         // Electric Bass (finger)
  b.SetInstrument(1, {.program = 89, .pan = 52, .volume = 100, .reverb = 80, .chorus = 50});  // Pad 2 (warm)
  b.SetInstrument(2, {.program = 11, .pan = 64, .volume = 84, .reverb = 64});         // Vibraphone
  b.SetInstrument(3, {.program = 73, .pan = 72, .volume = 104, .reverb = 56});        // Flute

  // Patterns: 0 intro, 1 groove, 2 and 3 the melody's phrases, 4 breakdown, 5 groove with a fill.
  const int intro = 0, groove = b.AddPattern(Rows), phraseA = b.AddPattern(Rows), phraseB = b.AddPattern(Rows),
            breakdown = b.AddPattern(Rows), fill = b.AddPattern(Rows);
  IntroDrums(b, t, intro);
  PadChords(b, t, intro, Verse, true);
  GrooveDrums(b, t, groove, false);
  GrooveBass(b, t, groove, Verse);
  PadChords(b, t, groove, Verse, false);
  Arpeggio(b, t, groove, Verse, 24);
  Phrase(b, t, phraseA, PhraseA);
  Phrase(b, t, phraseB, PhraseB);
  BreakdownDrums(b, t, breakdown);
  LongBass(b, t, breakdown, Breakdown);
  PadChords(b, t, breakdown, Breakdown, false);
  Arpeggio(b, t, breakdown, Breakdown, 60);
  GrooveDrums(b, t, fill, true);

  // Each channel its own order: the melody plays its phrases over the shared groove pattern.
  b.SetOrder(Drums, {intro, groove, groove, fill, breakdown, groove, groove, fill});
  b.SetOrder(Bass, {E, groove, groove, groove, breakdown, groove, groove, groove});
  b.SetOrder(Pads, {intro, groove, groove, groove, breakdown, groove, groove, groove});
  b.SetOrder(Arp, {E, E, groove, groove, breakdown, groove, groove, groove});
  b.SetOrder(Melody, {E, E, phraseA, phraseB, X, E, phraseA, phraseB});

  song.CurrentPattern = uint16_t(groove);  // the editor opens on the pattern with every part in it
  song.BPM = 104;
  song.SPD = 4;
  song.GridAdd = 1;
  song.SongMode = true;
  song.KeyTone = 9;  // A minor
  song.KeyType = 1;
  // After the intro the song loops from the first groove to the end.
  song.OrderLoopStart = 1 + 1;
  song.OrderLoopEnd = 7 + 1;
  song.Tag.Title = "Song 73";
  song.Tag.Artist = "Varnel";
  song.Tag.Genre = "Electronic";
  song.Tag.Year = "2026";
  song.Tag.Comments =
      "The demo song. Drums on MIDI channel 10, bass, pads with a volume swell, a vibraphone arpeggio "
      "with a pan sweep and a flute melody. Song mode: each channel has its own order list, and the "
      "song loops from position 1 to 7 after the intro.";
}

}  // namespace varnel::songs
