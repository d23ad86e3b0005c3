// Quantize, note lengths, expand and shrink on the shown pattern, with their limits and questions.
#include "editing/pattern_shape.h"

#include <gtest/gtest.h>

#include <map>

#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

using test::RecordingReporter;
using Cells = std::map<int, int>;  // row -> value; every other row holds the track's empty value

constexpr int Off = CellNoteOff;

struct ShapeTest : ::testing::Test {
  ShapeTest() { song.SetReporter(&report); }

  void Make(int channels, int rows) {
    test::MakeSong(song, channels, rows);
    song.SetReporter(&report);
  }
  void Put(int track, const Cells& cells, int pattern = 0) {
    for (const auto& [row, value] : cells) song.StoreCell(pattern, track, row, value);
  }
  // The track's non-empty cells over all 256 rows, hidden rows included.
  Cells Get(int track, int pattern = 0) const {
    Cells out;
    const int empty = EmptyValue(song.TrackType(track));
    for (int r = 0; r < RowsPerPattern; ++r)
      if (song.CellData(pattern, track, r) != empty) out[r] = song.CellData(pattern, track, r);
    return out;
  }
  // Two channels; channel 1 plays pattern 1 (32 rows) at order position 0, shown in song view.
  void MakeSongView() {
    Make(2, 64);
    ASSERT_TRUE(song.InsertPattern(1, 32));
    song.SetOrder(1, 0, 1);
    song.SongMode = true;
    song.FollowSongView = 1;
    song.PlayingOrder = 0;
  }

  RecordingReporter report;
  TVNSong song;
};

// ---- QuantizeForward ----

TEST_F(ShapeTest, Quantize_Rows1And63_LastRowWrapsToZeroAndRow1MovesToRow2) {
  Make(1, 64);
  Put(0, {{1, 60}, {63, 62}});
  QuantizeForward(song, 0, 0);
  EXPECT_EQ(Get(0), (Cells{{0, 62}, {2, 60}}));
  EXPECT_TRUE(song.Modified);
}

TEST_F(ShapeTest, Quantize_NoteOffMovesLikeANote_OccupiedEvenRowsBlock) {
  Make(1, 16);
  Put(0, {{0, 50}, {3, Off}, {5, 53}, {6, 55}, {15, 54}});
  QuantizeForward(song, 0, 0);
  EXPECT_EQ(Get(0), (Cells{{0, 50}, {4, Off}, {5, 53}, {6, 55}, {15, 54}}));
}

TEST_F(ShapeTest, Quantize_OddRowCount_WrapsTheLastRowAndLeavesTheRowBeforeIt) {
  Make(1, 5);
  Put(0, {{3, 60}, {4, 61}});
  QuantizeForward(song, 0, 0);
  EXPECT_EQ(Get(0), (Cells{{0, 61}, {3, 60}}));
}

TEST_F(ShapeTest, Quantize_Range_SkipsTracksThatAreNotNoteTracks) {
  Make(2, 8);
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));  // tracks: note, velocity (channel 0), note (channel 1)
  Put(0, {{1, 60}});
  Put(1, {{1, 100}});
  Put(2, {{3, 64}});
  QuantizeForward(song, 0, 2);
  EXPECT_EQ(Get(0), (Cells{{2, 60}}));
  EXPECT_EQ(Get(1), (Cells{{1, 100}}));
  EXPECT_EQ(Get(2), (Cells{{4, 64}}));
}

TEST_F(ShapeTest, Quantize_SongView_WorksOnThePatternTheChannelPlays) {
  MakeSongView();
  Put(1, {{1, 60}, {31, 62}}, 1);
  Put(1, {{1, 70}, {31, 72}}, 0);
  QuantizeForward(song, 1, 1);
  EXPECT_EQ(Get(1, 1), (Cells{{0, 62}, {2, 60}}));
  EXPECT_EQ(Get(1, 0), (Cells{{1, 70}, {31, 72}}));
}

// ---- Note lengths ----

TEST_F(ShapeTest, Length1_L2_EndsEachNoteTwoRowsLaterAndRemovesOtherNoteOffs) {
  Make(1, 64);
  Put(0, {{0, 60}, {1, Off}, {5, Off}, {8, 62}, {30, Off}});
  SetNotesLength1(song, 0, 2);
  EXPECT_EQ(Get(0), (Cells{{0, 60}, {2, Off}, {8, 62}, {10, Off}}));
}

TEST_F(ShapeTest, Length1_Table_FirstNoteOccupiedRowsAndPatternEnd) {
  struct Case {
    const char* name;
    int length;
    Cells before, after;
  };
  const Case cases[] = {
      {"L=0 only removes", 0, {{2, Off}, {4, 60}, {9, Off}}, {{4, 60}}},
      {"L=1 next row", 1, {{4, 60}, {10, 61}}, {{4, 60}, {5, Off}, {10, 61}, {11, Off}}},
      {"L=1 next row holds a note", 1, {{4, 60}, {5, 61}}, {{4, 60}, {5, 61}, {6, Off}}},
      {"nothing before the first note", 3, {{0, Off}, {1, Off}, {6, 60}}, {{6, 60}, {9, Off}}},
      {"the old note-off row is used again", 2, {{4, 60}, {6, Off}}, {{4, 60}, {6, Off}}},
      {"the later note counts from itself", 4, {{0, 60}, {2, 61}}, {{0, 60}, {2, 61}, {6, Off}}},
      {"no note-off past the end", 4, {{14, 60}}, {{14, 60}}},
      {"L=8", 8, {{3, 60}}, {{3, 60}, {11, Off}}},
  };
  for (const Case& c : cases) {
    Make(1, 16);
    Put(0, c.before);
    SetNotesLength1(song, 0, c.length);
    EXPECT_EQ(Get(0), c.after) << c.name;
  }
}

TEST_F(ShapeTest, Length2_L1_OnEmptyTrack_PlacesOneNoteOffInTheLastRow) {
  Make(1, 64);
  SetNotesLength2(song, 0, 1);
  EXPECT_EQ(Get(0), (Cells{{63, Off}}));
}

TEST_F(ShapeTest, Length2_Table_BeforeEachNextNoteAndTheEnd) {
  struct Case {
    const char* name;
    int length;
    Cells before, after;
  };
  const Case cases[] = {
      {"L=2", 2, {{8, 60}, {9, Off}, {12, 61}}, {{6, Off}, {8, 60}, {10, Off}, {12, 61}, {14, Off}}},
      {"row before holds a note", 1, {{7, 60}, {8, 61}}, {{6, Off}, {7, 60}, {8, 61}, {15, Off}}},
      {"before row 0 nothing", 3, {{1, 60}}, {{1, 60}, {13, Off}}},
      {"L=8 from the end", 8, {{0, Off}}, {{8, Off}}},
  };
  for (const Case& c : cases) {
    Make(1, 16);
    Put(0, c.before);
    SetNotesLength2(song, 0, c.length);
    EXPECT_EQ(Get(0), c.after) << c.name;
  }
}

TEST_F(ShapeTest, Lengths_NotANoteTrackOrNoTrack_ChangeNothing) {
  Make(1, 16);
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  Put(1, {{2, Off}});  // a velocity of 129 is no note-off
  SetNotesLength1(song, 1, 1);
  SetNotesLength2(song, 1, 1);
  SetNotesLength2(song, 7, 1);
  SetNotesLength1(song, -1, 1);
  EXPECT_EQ(Get(1), (Cells{{2, Off}}));
  EXPECT_EQ(Get(0), Cells{});
}

TEST_F(ShapeTest, NoteTracksOfChannel_LeftToRight_WithoutOtherTypes) {
  Make(3, 16);
  ASSERT_TRUE(song.AddTrack(1, ttVelocity, -1, -1));
  ASSERT_TRUE(song.AddTrack(2, ttNote, -1, -1));
  ASSERT_TRUE(song.AddTrack(3, ttPan, -1, -1));  // channel 1: note, velocity, note, pan
  EXPECT_EQ(NoteTracksOfChannel(song, 1), (std::vector<int>{1, 3}));
  EXPECT_EQ(NoteTracksOfChannel(song, 2), (std::vector<int>{5}));
  EXPECT_TRUE(NoteTracksOfChannel(song, 9).empty());
}

// ---- Expand ----

TEST_F(ShapeTest, Expand2_128Rows_Gives256RowsWithEveryOldRowOnAnEvenRow) {
  Make(1, 128);
  ASSERT_TRUE(song.AddTrack(0, ttTempo, -1, -1));
  Put(0, {{0, 60}, {1, Off}, {127, 61}});
  Put(1, {{0, 128}, {64, 140}});  // a tempo of 128 is a value, not an empty cell
  song.Modified = false;
  EXPECT_TRUE(ExpandPattern(song, 2));
  EXPECT_EQ(report.questions, std::vector<std::string>{"Are you sure to expand pattern?"});
  EXPECT_EQ(song.GetLastRow(), 255);
  EXPECT_EQ(Get(0), (Cells{{0, 60}, {2, Off}, {254, 61}}));
  EXPECT_EQ(Get(1), (Cells{{0, 128}, {128, 140}}));
  EXPECT_TRUE(song.Modified);
}

TEST_F(ShapeTest, Expand3_EveryOldRowEveryThirdRow) {
  Make(1, 85);
  Put(0, {{0, 60}, {1, 62}, {84, 61}, {100, 70}});  // row 100 was hidden: overwritten by the stretch
  EXPECT_TRUE(ExpandPattern(song, 3));
  EXPECT_EQ(song.GetLastRow(), 254);
  EXPECT_EQ(Get(0), (Cells{{0, 60}, {3, 62}, {252, 61}}));
}

TEST_F(ShapeTest, Expand_PastTheLimit_RefusedWithoutAsking) {
  struct Case {
    int rows, factor;
    const char* text;
  };
  for (const Case& c :
       {Case{129, 2, "Cannot expand pattern, rows > 128"}, Case{86, 3, "Cannot expand pattern, rows > 85"},
        Case{256, 2, "Cannot expand pattern, rows > 128"}}) {
    Make(1, c.rows);
    Put(0, {{1, 60}});
    report.Clear();
    EXPECT_FALSE(ExpandPattern(song, c.factor)) << c.rows;
    EXPECT_EQ(report.messages, std::vector<std::string>{c.text}) << c.rows;
    EXPECT_TRUE(report.questions.empty()) << c.rows;
    EXPECT_EQ(song.GetLastRow(), c.rows - 1);
    EXPECT_EQ(Get(0), (Cells{{1, 60}}));
  }
}

TEST_F(ShapeTest, ExpandAndShrink_AnsweredNo_ChangeNothing) {
  Make(1, 64);
  Put(0, {{1, 60}, {2, 61}});
  report.answer = false;
  EXPECT_FALSE(ExpandPattern(song, 2));
  EXPECT_FALSE(ShrinkPattern(song, 2));
  EXPECT_EQ(report.questions, (std::vector<std::string>{"Are you sure to expand pattern?",
                                                        "Are you sure to shrink pattern? Cannot undo"}));
  EXPECT_EQ(song.GetLastRow(), 63);
  EXPECT_EQ(Get(0), (Cells{{1, 60}, {2, 61}}));
}

TEST_F(ShapeTest, Expand_PatternView_LeavesOtherPatternsAlone) {
  Make(1, 16);
  ASSERT_TRUE(song.InsertPattern(1, 16));
  Put(0, {{1, 60}}, 1);
  Put(0, {{1, 50}}, 0);
  song.CurrentPattern = 1;
  EXPECT_TRUE(ExpandPattern(song, 2));
  EXPECT_EQ(song.LastRow(1), 31);
  EXPECT_EQ(song.LastRow(0), 15);
  EXPECT_EQ(Get(0, 1), (Cells{{2, 60}}));
  EXPECT_EQ(Get(0, 0), (Cells{{1, 50}}));
}

TEST_F(ShapeTest, Expand_SongView_StretchesEveryShownPatternWhole) {
  MakeSongView();
  Put(0, {{1, 60}}, 0);
  Put(1, {{1, 61}}, 0);  // channel 1's track of pattern 0 is not shown but belongs to its rows
  Put(1, {{3, 62}}, 1);
  EXPECT_TRUE(ExpandPattern(song, 2));
  EXPECT_EQ(song.LastRow(0), 127);
  EXPECT_EQ(song.LastRow(1), 63);
  EXPECT_EQ(Get(0, 0), (Cells{{2, 60}}));
  EXPECT_EQ(Get(1, 0), (Cells{{2, 61}}));
  EXPECT_EQ(Get(1, 1), (Cells{{6, 62}}));
}

// ---- Shrink ----

TEST_F(ShapeTest, Shrink2_64Rows_KeepsRow2iOrElse2iPlus1) {
  Make(1, 64);
  Put(0, {{0, 60}, {1, 61}, {3, 62}, {4, Off}, {63, 63}, {100, 70}});
  EXPECT_TRUE(ShrinkPattern(song, 2));
  EXPECT_EQ(report.questions, std::vector<std::string>{"Are you sure to shrink pattern? Cannot undo"});
  EXPECT_EQ(song.GetLastRow(), 31);
  EXPECT_EQ(Get(0), (Cells{{0, 60}, {1, 62}, {2, Off}, {31, 63}}));  // rows 32..255 emptied
}

TEST_F(ShapeTest, Shrink3_NoteOnlyInRow5_LandsInNewRow2) {
  Make(1, 64);
  Put(0, {{5, 60}});
  EXPECT_TRUE(ShrinkPattern(song, 3));
  EXPECT_EQ(song.GetLastRow(), 20);
  EXPECT_EQ(Get(0), (Cells{{2, 60}}));
}

TEST_F(ShapeTest, Shrink_CandidateOrder_PerDivisor) {
  struct Case {
    int divisor;
    Cells before, after;
  };
  const Case cases[] = {
      {3, {{6, 1}, {7, 2}, {5, 3}}, {{2, 1}}},
      {3, {{7, 2}, {5, 3}}, {{2, 2}}},
      {3, {{8, 4}, {9, 5}}, {{3, 5}}},  // 3i + 2 counts as 3(i + 1) - 1, after 3(i + 1)
      {4, {{8, 1}, {9, 2}, {7, 3}, {10, 4}}, {{2, 1}}},
      {4, {{9, 2}, {7, 3}, {10, 4}}, {{2, 2}}},
      {4, {{7, 3}, {10, 4}}, {{2, 3}}},
      {4, {{10, 4}, {11, 5}}, {{2, 4}, {3, 5}}},
      {4, {{11, 5}, {12, 6}}, {{3, 6}}},
      {2, {{0, Off}, {1, 60}}, {{0, Off}}},  // a note-off is a value like any other
  };
  for (const Case& c : cases) {
    Make(1, 24);
    Put(0, c.before);
    EXPECT_TRUE(ShrinkPattern(song, c.divisor));
    EXPECT_EQ(Get(0), c.after) << "divisor " << c.divisor << " first row " << c.before.begin()->first;
  }
}

TEST_F(ShapeTest, Shrink_EmptyValueOfEachTrackType_TempoZeroIsEmpty) {
  Make(1, 8);
  ASSERT_TRUE(song.AddTrack(0, ttTempo, -1, -1));
  ASSERT_TRUE(song.AddTrack(1, ttPan, -1, -1));
  Put(1, {{0, 0}, {1, 128}});  // tempo 0 is empty, 128 is a tempo
  Put(2, {{0, 128}, {1, 0}});  // pan 128 is empty, 0 is a value
  EXPECT_TRUE(ShrinkPattern(song, 2));
  EXPECT_EQ(Get(1), (Cells{{0, 128}}));
  EXPECT_EQ(Get(2), (Cells{{0, 0}}));
}

TEST_F(ShapeTest, Shrink_FewerThanTwoRowsLeft_Refused) {
  struct Case {
    int rows, divisor;
    bool refused;
  };
  for (const Case& c : {Case{3, 2, true}, Case{4, 2, false}, Case{5, 3, true}, Case{6, 3, false}, Case{7, 4, true},
                        Case{8, 4, false}, Case{1, 2, true}}) {
    Make(1, c.rows);
    report.Clear();
    EXPECT_EQ(ShrinkPattern(song, c.divisor), !c.refused) << c.rows << "/" << c.divisor;
    if (c.refused) {
      EXPECT_EQ(report.messages, std::vector<std::string>{"Cannot shrink pattern, rows < 1"});
      EXPECT_TRUE(report.questions.empty());
      EXPECT_EQ(song.GetLastRow(), c.rows - 1);
    } else {
      EXPECT_EQ(song.GetLastRow(), 1);
    }
  }
}

TEST_F(ShapeTest, ExpandThenShrink_SameFactor_GivesThePatternBack) {
  Make(2, 40);
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  for (int r = 0; r < 40; r += 3) Put(r % 2 ? 0 : 2, {{r, r}});
  Put(1, {{5, 100}, {39, 0}});
  const Cells t0 = Get(0), t1 = Get(1), t2 = Get(2);
  for (int factor : {2, 3}) {
    ASSERT_TRUE(ExpandPattern(song, factor));
    ASSERT_TRUE(ShrinkPattern(song, factor));
    EXPECT_EQ(song.GetLastRow(), 39);
    EXPECT_EQ(Get(0), t0);
    EXPECT_EQ(Get(1), t1);
    EXPECT_EQ(Get(2), t2);
  }
}

TEST_F(ShapeTest, ShapeCommands_OtherFactorsOrEmptySongView_DoNothing) {
  Make(1, 16);
  EXPECT_FALSE(ExpandPattern(song, 4));
  EXPECT_FALSE(ShrinkPattern(song, 5));
  EXPECT_FALSE(ShrinkPattern(song, 1));
  song.FollowSongView = 1;
  song.SetOrder(0, 0, OrderEmpty);
  EXPECT_FALSE(ExpandPattern(song, 2));
  EXPECT_TRUE(report.questions.empty());
  EXPECT_TRUE(report.messages.empty());
}

}  // namespace
}  // namespace varnel
