// Packing: merging identical channel patterns, emptying order entries, moving channels to
// lower patterns, dropping empty patterns and channels.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "song/song.h"
#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

using test::LoadTracklessChannels;
using test::MakeSong;
using test::RecordingReporter;
using Ints = std::vector<int>;

std::vector<int> OrderList(const TVNSong& s, int channel) {
  std::vector<int> out;
  for (int pos = 0; pos < s.OrderLength(); ++pos) out.push_back(s.GetOrder(channel, pos));
  return out;
}

void ExpectRowsEmpty(const TVNSong& s, int pattern, int track) {
  for (int r = 0; r <= s.LastRow(pattern); ++r)
    ASSERT_EQ(s.CellData(pattern, track, r), CellEmpty) << "pattern " << pattern << " track " << track << " row " << r;
}

// Loads s with tracks n0 n1 n2 n5 from a file that counts three channels; loading fits the
// channels to the tracks, so channels 3 and 4 exist without tracks.
// What a channel plays at each position up to length: its non-empty cells in rows 0..LastRow, or
// {-1} for a note-off entry.
using Played = std::vector<std::vector<int>>;
Played WhatChannelPlays(const TVNSong& s, int channel, int length) {
  int first = 0, end = 0;
  s.ChannelTracks(channel, first, end);
  Played out(length);
  for (int pos = 0; pos < length; ++pos) {
    const int p = s.GetOrder(channel, pos);
    if (p == OrderNoteOff) out[pos] = {-1};
    if (p >= s.PatternsCount()) continue;
    for (int t = first; t < end; ++t)
      for (int r = 0; r <= s.LastRow(p); ++r)
        if (s.CellData(p, t, r) != EmptyValue(s.GetTrackType(t)))
          out[pos].push_back(((t - first) * 256 + r) * 256 + s.CellData(p, t, r));
  }
  return out;
}

class Pack : public ::testing::Test {
 protected:
  RecordingReporter rep;
  TVNSong song{&rep};
};

TEST_F(Pack, EveryStep_ReportsProgressFromAnalyzingToDone) {
  for (int step = 0; step <= 5; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    MakeSong(song, 3, 64);
    song.StoreCell(0, 0, 0, 60);
    rep.Clear();
    song.Pack(step);
    ASSERT_FALSE(rep.statuses.empty());
    EXPECT_EQ(rep.statuses.front().text.rfind("Analyzing song ...", 0), 0u) << rep.statuses.front().text;
    EXPECT_EQ(rep.statuses.back().text, "Done. ");
    for (const auto& s : rep.statuses) EXPECT_EQ(s.panel, 0) << s.text;
    EXPECT_TRUE(song.Modified);
  }
}

TEST_F(Pack, StepOne_PatternIdenticalForOneChannel_RedirectsOnlyThatChannel) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.InsertPattern(1, 64));
  ASSERT_TRUE(song.InsertPattern(2, 64));
  for (int c = 0; c < 2; ++c)
    for (int pos = 0; pos < 3; ++pos) song.SetOrder(c, pos, pos);
  for (int p : {0, 2}) {
    song.StoreCell(p, 0, 0, 60);
    song.StoreCell(p, 0, 10, 62);
  }
  song.StoreCell(1, 0, 0, 61);
  for (int p = 0; p < 3; ++p) song.StoreCell(p, 1, 0, 50 + p);

  song.Pack(1);
  EXPECT_EQ(OrderList(song, 0), (Ints{0, 1, 0}));
  EXPECT_EQ(OrderList(song, 1), (Ints{0, 1, 2}));
  ExpectRowsEmpty(song, 2, 0);
  EXPECT_EQ(song.CellData(2, 1, 0), 52);
  EXPECT_EQ(song.CellData(0, 0, 10), 62);
  EXPECT_EQ(song.PatternsCount(), 3);
  EXPECT_TRUE(rep.SaidStatus("Analyzing song ... Channel 1"));
}

TEST_F(Pack, StepOne_SameCellsDifferentLastRow_NotMerged) {
  MakeSong(song, 1, 64);
  ASSERT_TRUE(song.InsertPattern(1, 32));
  ASSERT_TRUE(song.InsertPattern(2, 64));
  song.SetOrder(0, 1, 1);
  song.SetOrder(0, 2, 2);
  song.StoreCell(2, 0, 100, 70);  // hidden rows are not compared
  song.Pack(1);
  EXPECT_EQ(OrderList(song, 0), (Ints{0, 1, 0}));
}

TEST_F(Pack, StepTwo_EmptyChannelPattern_BecomesEmptyOrNoteOffEntry) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.InsertPattern(1, 64));
  song.SetOrder(0, 1, 1);
  song.SetOrder(1, 1, 1);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 1, 3, CellNoteOff);  // a note-off below row 0 is content
  song.StoreCell(1, 0, 0, CellNoteOff);
  song.Pack(2);
  EXPECT_EQ(song.GetOrder(0, 0), 0);
  EXPECT_EQ(song.GetOrder(0, 1), OrderNoteOff);
  EXPECT_EQ(song.GetOrder(1, 0), 0);
  // Position 1 would name no pattern and play 256 rows: channel 1 keeps its empty part of 1.
  EXPECT_EQ(song.GetOrder(1, 1), 1);
  EXPECT_EQ(song.PatternsCount(), 2);
}

// Rows one pass of song mode plays: each position as many as its shortest named pattern, 256 when
// it names none (as the playback engine counts them with every channel on).
int RowsPerPass(const TVNSong& s) {
  int rows = 0;
  for (int pos = 0; pos < s.OrderLength(); ++pos) rows += s.MinLastRowAt(pos) + 1;
  return rows;
}

TEST_F(Pack, StepTwo_PositionWhereEveryChannelIsEmpty_KeepsTheFirstChannelOnItsPattern) {
  MakeSong(song, 3, 64);
  ASSERT_TRUE(song.InsertPattern(0, 16));  // a silent intro of 16 rows
  for (int c = 0; c < 3; ++c) {
    song.SetOrder(c, 0, 0);
    song.SetOrder(c, 1, 1);
  }
  song.StoreCell(1, 1, 0, 60);
  song.StoreCell(0, 2, 0, CellNoteOff);
  const int rows = RowsPerPass(song);
  ASSERT_EQ(rows, 16 + 64);
  song.Pack(2);
  EXPECT_EQ(RowsPerPass(song), rows);
  EXPECT_EQ(OrderList(song, 0), (Ints{0, OrderEmpty}));
  EXPECT_EQ(OrderList(song, 1), (Ints{OrderEmpty, 1}));
  EXPECT_EQ(OrderList(song, 2), (Ints{OrderNoteOff, OrderEmpty}));
  // Steps 3 and 4 keep the silent pattern; the empty channels of step 5 hand it on.
  song.Pack(0);
  EXPECT_EQ(RowsPerPass(song), rows);
  EXPECT_EQ(song.PatternsCount(), 2);
}

TEST_F(Pack, StepTwo_EmptyShortPatternBesideALongerOne_KeepsThePositionShort) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.InsertPattern(1, 32));
  song.SetOrder(1, 0, 1);  // channel 0 plays 64 rows of notes, channel 1 silence of 32: 32 rows
  song.StoreCell(0, 0, 40, 60);
  song.Pack(2);
  EXPECT_EQ(OrderList(song, 1), (Ints{1}));
  song.Pack(0);
  EXPECT_EQ(RowsPerPass(song), 32);
}

// Channel 0 plays pattern 0, channel 1 pattern 1, at both positions; same pattern length.
class PackMove : public Pack {
 protected:
  void SetUp() override {
    MakeSong(song, 2, 64);
    ASSERT_TRUE(song.InsertPattern(1, 64));
    song.SetOrder(0, 1, 0);
    song.SetOrder(1, 0, 1);
    song.SetOrder(1, 1, 1);
    song.StoreCell(0, 0, 0, 60);
    song.StoreCell(1, 1, 0, 64);
    song.StoreCell(1, 1, 2, 65);
    song.StoreCell(1, 1, 200, 66);  // hidden row
    rep.Clear();
  }
};

TEST_F(PackMove, StepThree_FreeLowerPattern_MovesChannelThere) {
  song.Pack(3);
  EXPECT_EQ(OrderList(song, 0), (Ints{0, 0}));
  EXPECT_EQ(OrderList(song, 1), (Ints{0, 0}));
  EXPECT_EQ(song.CellData(0, 0, 0), 60);
  EXPECT_EQ(song.CellData(0, 1, 0), 64);
  EXPECT_EQ(song.CellData(0, 1, 2), 65);
  EXPECT_EQ(song.CellData(0, 1, 200), 66);  // all 256 cells travel
  ExpectRowsEmpty(song, 1, 1);
  EXPECT_TRUE(rep.SaidStatus("Analyzing song ... Order 1, 0"));
  EXPECT_EQ(song.PatternsCount(), 2);
}

TEST_F(PackMove, StepThree_ChannelAlreadyNamesLowerPattern_KeepsWhatItPlays) {
  song.SetOrder(1, 1, 0);  // channel 1 is silent in pattern 0 at position 1
  const Played before = WhatChannelPlays(song, 1, 2);
  song.Pack(3);
  EXPECT_EQ(WhatChannelPlays(song, 1, 2), before);
  EXPECT_EQ(WhatChannelPlays(song, 0, 2)[1], (std::vector<int>{60}));
}

TEST_F(PackMove, StepThree_LowerPatternOccupiedForChannel_StaysPut) {
  song.StoreCell(0, 1, 63, CellNoteOff);
  song.Pack(3);
  EXPECT_EQ(OrderList(song, 1), (Ints{1, 1}));
  EXPECT_EQ(song.CellData(1, 1, 0), 64);
}

TEST_F(PackMove, StepThree_LowerPatternOfOtherLength_StaysPut) {
  song.StoreLastRow(0, 31);
  song.Pack(3);
  EXPECT_EQ(OrderList(song, 1), (Ints{1, 1}));
  EXPECT_EQ(song.CellData(1, 1, 0), 64);
}

TEST_F(Pack, StepFour_EmptyMiddlePattern_DeletedAndOrderRenumbered) {
  MakeSong(song, 1, 64);
  ASSERT_TRUE(song.InsertPattern(1, 16));
  ASSERT_TRUE(song.InsertPattern(2, 64));
  song.SetOrder(0, 1, 2);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(1, 0, 20, 61);  // hidden row only: the pattern counts as empty
  song.StoreCell(2, 0, 3, 62);
  song.Pack(4);
  ASSERT_EQ(song.PatternsCount(), 2);
  EXPECT_EQ(OrderList(song, 0), (Ints{0, 1}));
  EXPECT_EQ(song.CellData(1, 0, 3), 62);
  EXPECT_EQ(song.LastRow(1), 63);
  EXPECT_TRUE(rep.SaidStatus("Analyzing song ... Pattern 1"));
  EXPECT_TRUE(rep.SaidStatus("Deleting empty pattern (1)"));
}

TEST_F(Pack, StepFour_EmptyPatternThatSetsAPositionsLength_Stays) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.InsertPattern(1, 16));
  ASSERT_TRUE(song.InsertPattern(2, 64));
  song.SetOrder(0, 1, 1);  // position 1: 16 silent rows
  song.SetOrder(0, 2, 2);  // position 2: beside a pattern of its length, the empty one can go
  song.SetOrder(1, 2, 0);
  song.StoreCell(0, 0, 0, 60);
  song.Pack(4);
  ASSERT_EQ(song.PatternsCount(), 2);
  EXPECT_EQ(OrderList(song, 0), (Ints{0, 1, OrderEmpty}));
  EXPECT_EQ(OrderList(song, 1), (Ints{0, OrderEmpty, 0}));
  EXPECT_EQ(RowsPerPass(song), 64 + 16 + 64);
}

TEST_F(Pack, StepFour_AllPatternsEmpty_KeepsTheOnePlayed) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.InsertPattern(1, 64));
  ASSERT_TRUE(song.InsertPattern(2, 64));
  song.Pack(4);
  EXPECT_EQ(song.PatternsCount(), 1);
  EXPECT_TRUE(rep.SaidStatus("Deleting empty pattern (1)"));
  EXPECT_EQ(OrderList(song, 0), (Ints{0}));
  EXPECT_EQ(song.TracksCount(), 2);
}

TEST_F(Pack, StepFour_NoPatternPlayed_KeepsTheLastOne) {
  MakeSong(song, 1, 64);
  ASSERT_TRUE(song.InsertPattern(1, 64));
  song.StoreOrder(0, 0, OrderEmpty);
  song.Pack(4);
  EXPECT_EQ(song.PatternsCount(), 1);
  EXPECT_EQ(song.OrderLength(), 1);
}

TEST_F(Pack, StepFive_EmptyAndSinglePitchChannels) {
  MakeSong(song, 3, 16);
  song.StoreCell(0, 0, 2, CellNoteOff);  // only note-offs: empty
  song.StoreCell(0, 1, 0, 36);
  song.StoreCell(0, 1, 4, 36);
  song.StoreCell(0, 1, 40, 38);  // hidden row, not scanned
  song.StoreCell(0, 2, 0, 60);
  song.StoreCell(0, 2, 4, 62);
  song.Pack(5);
  ASSERT_EQ(song.ChannelsCount(), 2);
  ASSERT_EQ(song.TracksCount(), 2);
  EXPECT_EQ(song.GetTrackChannel(0), 0);
  EXPECT_EQ(song.GetTrackChannel(1), 1);
  EXPECT_EQ(song.CellData(0, 0, 0), 36);
  EXPECT_EQ(song.GetMidiChannel(0), PercussionMidiChannel);
  EXPECT_EQ(song.GetMidiChannel(1), 2);
  EXPECT_TRUE(rep.SaidStatus("Removing empty channel (0)"));
}

TEST_F(Pack, StepFive_AllChannelsEmpty_KeepsTheLastOne) {
  MakeSong(song, 3, 64);
  song.Pack(5);
  EXPECT_EQ(song.ChannelsCount(), 1);
  EXPECT_EQ(song.TracksCount(), 1);
  EXPECT_EQ(song.GetMidiChannel(0), PercussionMidiChannel);  // no value found counts as one pitch
}

TEST_F(Pack, StepFive_TracklessChannels_FinishWithConsistentChannels) {
  MakeSong(song, 3, 64);
  ASSERT_NO_FATAL_FAILURE(LoadTracklessChannels(song));
  for (int t = 0; t < 4; ++t) {
    song.StoreCell(0, t, 0, 60 + t);
    song.StoreCell(0, t, 1, 70 + t);
  }
  song.Pack(5);
  EXPECT_EQ(rep.statuses.back().text, "Done. ");
  ASSERT_EQ(song.TracksCount(), 4);
  EXPECT_TRUE(song.ChannelsCount() == 4 || song.ChannelsCount() == 6) << song.ChannelsCount();
  for (int t = 0; t < 4; ++t) {
    EXPECT_LT(song.GetTrackChannel(t), song.ChannelsCount());
    if (t > 0) {
      EXPECT_LT(song.GetTrackChannel(t - 1), song.GetTrackChannel(t));
    }
    EXPECT_EQ(song.CellData(0, t, 0), 60 + t);
  }
}

TEST_F(Pack, AllSteps_ChannelsOnSeparatePatterns_EndInOnePattern) {
  MakeSong(song, 2, 16);
  ASSERT_TRUE(song.InsertPattern(1, 16));
  song.SetOrder(1, 0, 1);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 0, 4, 62);
  song.StoreCell(1, 1, 0, 64);
  song.StoreCell(1, 1, 4, 67);
  song.Pack(0);
  ASSERT_EQ(song.PatternsCount(), 1);
  ASSERT_EQ(song.ChannelsCount(), 2);
  EXPECT_EQ(OrderList(song, 0), (Ints{0}));
  EXPECT_EQ(OrderList(song, 1), (Ints{0}));
  EXPECT_EQ(song.CellData(0, 0, 0), 60);
  EXPECT_EQ(song.CellData(0, 1, 0), 64);
  EXPECT_EQ(song.CellData(0, 1, 4), 67);
  EXPECT_EQ(song.GetMidiChannel(0), 0);
  EXPECT_EQ(song.GetMidiChannel(1), 1);
  EXPECT_EQ(rep.statuses.back().text, "Done. ");
}

// Songs whose channel parts repeat, go silent and share patterns; packing must not change what
// any channel plays, nor how long each position lasts.
void BuildRepetitiveSong(TVNSong& s, std::mt19937& rng) {
  MakeSong(s, 3, 16);
  s.AddTrack(1, ttNote, -1, -1);  // channel 1 gets two note tracks
  const int patterns = 5, length = 6;
  for (int p = 1; p < patterns; ++p) s.InsertPattern(p, rng() % 2 ? 16 : 32);
  for (int p = 0; p < patterns; ++p)
    for (int c = 0; c < 3; ++c) {
      const int part = int(rng() % 4);  // 0 = silent; equal parts in equal lengths repeat exactly
      int first = 0, end = 0;
      s.ChannelTracks(c, first, end);
      for (int t = first; t < end && part > 0; ++t)
        for (int r = 0; r <= s.LastRow(p); r += part + 1) s.StoreCell(p, t, r, 40 + part * 3 + t);
    }
  s.SetOrder(0, length - 1, 0);
  for (int c = 0; c < 3; ++c)
    for (int pos = 0; pos < length; ++pos) {
      const int pick = int(rng() % (patterns + 2));
      s.StoreOrder(c, pos, uint16_t(pick < patterns ? pick : pick == patterns ? OrderEmpty : OrderNoteOff));
    }
}

TEST_F(Pack, Steps_RandomRepetitiveSongs_KeepWhatEveryChannelPlays) {
  const std::vector<std::vector<int>> runs = {{1}, {2}, {4}, {1, 2, 3, 4}};
  for (unsigned seed = 1; seed <= 40; ++seed) {
    for (const auto& steps : runs) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " first step " + std::to_string(steps[0]));
      std::mt19937 rng(seed);
      BuildRepetitiveSong(song, rng);
      const int length = song.OrderLength();
      Played before[3];
      for (int c = 0; c < 3; ++c) before[c] = WhatChannelPlays(song, c, length);
      const int rows = RowsPerPass(song);
      for (int step : steps) song.Pack(step);
      ASSERT_EQ(song.ChannelsCount(), 3);
      for (int c = 0; c < 3; ++c) EXPECT_EQ(WhatChannelPlays(song, c, length), before[c]) << "channel " << c;
      EXPECT_EQ(RowsPerPass(song), rows);
    }
  }
}

}  // namespace
}  // namespace varnel
