// The scale table and the chord intervals of the chords dialog's boxes, and writing a chord
// through the song's InsertNote as the chord notes' slots say.
#include "editing/chords.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "song/song.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

constexpr int Major = 0, Minor = 1;
const ChordBoxes AllBoxes{0b1111111};

TEST(ScaleTable, Rows_HoldTheMajorAndMinorSteps_RepeatedOverTwoOctaves) {
  const std::set<int> major{0, 2, 4, 5, 7, 9, 11}, minor{0, 2, 3, 5, 7, 8, 10};
  for (int s = 0; s < 24; ++s) {
    EXPECT_EQ(ScaleTable[size_t(s)][Major], major.count(s % 12) == 1) << "semitone " << s;
    EXPECT_EQ(ScaleTable[size_t(s)][Minor], minor.count(s % 12) == 1) << "semitone " << s;
    EXPECT_EQ(InScale(s, Minor), ScaleTable[size_t(s)][Minor]) << "semitone " << s;
  }
  EXPECT_FALSE(InScale(24, Major));
  EXPECT_FALSE(InScale(-1, Major));
  EXPECT_FALSE(InScale(0, 2));
}

TEST(Chords, Intervals_ByKeyAndRoot) {
  struct Case {
    const char* name;
    int offset, keyTone, keyType;
    std::vector<int> intervals;  // all seven boxes
  };
  const Case cases[] = {
      {"C major on C", 0, 0, Major, {4, 7, 12, 16, 19, 24, 36}},
      {"C major on D: minor third", 2, 0, Major, {3, 7, 12, 15, 19, 24, 36}},
      {"C major on B: diminished fifth", 11, 0, Major, {3, 6, 12, 15, 18, 24, 36}},
      {"C minor on D: minor third, diminished fifth", 2, 0, Minor, {3, 6, 12, 15, 18, 24, 36}},
      {"C minor on C", 0, 0, Minor, {3, 7, 12, 15, 19, 24, 36}},
      {"D major on D (higher octave offset)", 26, 2, Major, {4, 7, 12, 16, 19, 24, 36}},
      {"B major on C (offset below the key tone, s = 1)", 0, 11, Major, {3, 6, 12, 15, 18, 24, 36}},
      {"B major on C# (s = 2)", 1, 11, Major, {3, 7, 12, 15, 19, 24, 36}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChordIntervals(c.offset, c.keyTone, c.keyType, AllBoxes), c.intervals);
  }
}

TEST(Chords, CMinorChordOnD_WithTheDefaultBoxes_SoundsDFAndGSharp) {
  const int d4 = 2 + 12 * 4;
  const std::vector<ChordNote> notes = ChordNotes(d4, 2, 0, Minor, DefaultChordBoxes);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].note, d4 + 3);  // F
  EXPECT_EQ(notes[1].note, d4 + 6);  // G sharp
  EXPECT_EQ(notes[0].slot, 1);
  EXPECT_EQ(notes[1].slot, 2);
}

TEST(Chords, Boxes_OnlyCheckedOnes_InBoxOrder) {
  ChordBoxes boxes;
  boxes.set(2).set(6);
  EXPECT_EQ(ChordIntervals(0, 0, Major, boxes), (std::vector<int>{12, 36}));
  EXPECT_TRUE(ChordIntervals(0, 0, Major, ChordBoxes{}).empty());
  EXPECT_EQ(ChordInterval(7, 0, 0, Major), 0);
  EXPECT_EQ(ChordInterval(-1, 0, 0, Major), 0);
}

TEST(Chords, NotesAbove127_AreReportedNotPlayable_AndKeepTheirSlot) {
  // C major on C (offset 0) sounding at 121 after transpose: third 4, fifth 7, octave 12.
  const std::vector<ChordNote> notes = ChordNotes(121, 0, 0, Major, ChordBoxes{0b111});
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_TRUE(notes[0].Playable());
  EXPECT_EQ(notes[0].note, 125);
  EXPECT_EQ(notes[1].note, 128);
  EXPECT_FALSE(notes[1].Playable());
  EXPECT_EQ(notes[2].note, 133);
  EXPECT_EQ(notes[2].slot, 3);
  EXPECT_FALSE(notes[2].Playable());
  EXPECT_FALSE((ChordNote{1, -1}.Playable()));  // a negative transpose can go below 0
  EXPECT_TRUE((ChordNote{1, 0}.Playable()));
  EXPECT_TRUE((ChordNote{1, 127}.Playable()));
}

TEST(Chords, Captions_OfTheSevenBoxes) {
  const char* captions[] = {"3  - E3", "5 - G3", "8 - C4", "10 - E4", "12 - G4", "15 - C5", "22 - C6"};
  for (int box = 0; box < ChordBoxCount; ++box) EXPECT_EQ(ChordBoxCaption(box), captions[box]);
  EXPECT_EQ(ChordBoxCaption(7), "");
  EXPECT_EQ(DefaultChordBoxes, ChordBoxes{0b11});
}

// Shift+Z on a channel with one note track, C major, boxes 1 and 2: C is written and E and G go
// into two new note tracks of that channel, before the next channel's track.
TEST(Chords, InsertingTheSlots_ThroughInsertNote_FillsNewNoteTracksOfTheChannel) {
  TVNSong song;
  test::MakeSong(song, 2, 16);
  const int track = 0, row = 3, octave = 4, k = 0;
  song.SetCellData(track, row, k + 12 * octave);
  const int first = song.NoteTrackIndex(track);
  for (const ChordNote& n : ChordNotes(k + 12 * octave, k, 0, Major, DefaultChordBoxes))
    if (n.Playable()) song.InsertNote(0, row, uint8_t(first + n.slot), uint8_t(first + n.slot), uint8_t(n.note));
  ASSERT_EQ(song.TracksCount(), 4);
  EXPECT_EQ(song.GetCellData(0, row), 48);
  EXPECT_EQ(song.GetCellData(1, row), 52);
  EXPECT_EQ(song.GetCellData(2, row), 55);
  EXPECT_EQ(song.GetTrackChannel(1), 0);
  EXPECT_EQ(song.GetTrackChannel(2), 0);
  EXPECT_EQ(song.GetTrackChannel(3), 1);
}

}  // namespace
}  // namespace varnel
