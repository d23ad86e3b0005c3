// Scales and chords of note entry: which semitones above the key tone belong to the song's key,
// and the notes a chord key adds for the checked boxes of the chords dialog.
//
// Threads: UI thread (pure functions without shared state, so safe from any thread).
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <string>
#include <vector>

namespace varnel {

// ScaleTable[semitone][keyType]: semitone 0..23 above the key tone, key type 0 major, 1 minor.
// Major holds 0, 2, 4, 5, 7, 9, 11, minor 0, 2, 3, 5, 7, 8, 10; rows 12..23 repeat 0..11.
inline constexpr std::array<std::array<bool, 2>, 24> ScaleTable = [] {
  constexpr int major[] = {0, 2, 4, 5, 7, 9, 11}, minor[] = {0, 2, 3, 5, 7, 8, 10};
  std::array<std::array<bool, 2>, 24> table{};
  for (int octave = 0; octave < 24; octave += 12)
    for (int i = 0; i < 7; ++i) {
      table[size_t(octave + major[i])][0] = true;
      table[size_t(octave + minor[i])][1] = true;
    }
  return table;
}();

// Whether the semitone above the key tone is in the scale; false outside 0..23 or for an unknown
// key type.
bool InScale(int semitone, int keyType);

// The seven chord boxes of the chords dialog, in table order; bit i = box i + 1 checked.
inline constexpr int ChordBoxCount = 7;
using ChordBoxes = std::bitset<ChordBoxCount>;
inline constexpr ChordBoxes DefaultChordBoxes{0b0000011};  // the third and the fifth

// The caption of box 0..6 ("3  - E3" .. "22 - C6"); empty outside.
std::string ChordBoxCaption(int box);

// The interval of box 0..6 for a chord on note offset k in the key: with s = (k - keyTone + 12)
// mod 12, a third of 3 when s + 3 is in the scale, else 4; a fifth of 7 when s + 7 is, else 6;
// 12; 15 or 16 and 19 or 18 like the third and the fifth; 24; 36. 0 for a box outside 0..6.
int ChordInterval(int box, int offset, int keyTone, int keyType);

// The intervals of the checked boxes, in box order.
std::vector<int> ChordIntervals(int offset, int keyTone, int keyType, ChordBoxes checked);

struct ChordNote {
  int slot;  // 1 for the first checked box, 2 for the second, ...
  int note;  // base + interval; may lie outside 0..127
  bool Playable() const { return note >= 0 && note <= 127; }
};

// The chord notes above base (the note played or written for offset k), one per checked box.
// Notes outside 0..127 are neither sent nor written: callers skip them by Playable(). Writing,
// the note of slot i goes into the channel's note track number NoteTrackIndex(track) + i
// (InsertNote(channel, row, f, f, note) with f = that number), so every box keeps its own track
// even when a note before it was skipped.
std::vector<ChordNote> ChordNotes(int base, int offset, int keyTone, int keyType, ChordBoxes checked);

}  // namespace varnel
