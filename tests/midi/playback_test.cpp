// The transport and the play position: pattern and song mode, loops, the shortest pattern deciding
// the order step, pause, stop, rewind and the exact row period, stepped row by row on a virtual clock.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine_rig.h"

namespace varnel {
namespace {

using Messages = std::vector<std::string>;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

class PlaybackTest : public ::testing::Test, protected test::EngineRig {
 protected:
  PlaybackTest() {
    song.Reset(2, 16, true);
    EXPECT_TRUE(devices.OpenMidiOut(0));
    rec().Clear();
  }

  // Starts or resumes; what that sends is labelled -1.
  void PlayPause() {
    rec().SetLabel(-1);
    engine.PlayPause();
  }
  // Plays n rows, labelling each row's messages with its tick number; returns the rows played and
  // collects the order positions in `orders`.
  std::vector<int> PlayRows(int n) {
    std::vector<int> rows;
    for (int i = 0; i < n; ++i) {
      rec().SetLabel(tick_++);
      EXPECT_TRUE(clock.Advance());
      rows.push_back(song.LastPlayedRow);
      orders.push_back(song.LastPlayedOrder);
    }
    rec().SetLabel(-1);
    return rows;
  }
  Messages Sent(int label) {
    Messages m;
    for (const auto& e : rec().Events())
      if (e.label == label) m.push_back(HexBytes(e.message));
    return m;
  }
  Messages AllSent() {
    Messages m;
    for (const auto& e : rec().Events()) m.push_back(HexBytes(e.message));
    return m;
  }
  static std::vector<int> Range(int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i) v.push_back(i);
    return v;
  }
  static std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
  std::vector<int> orders;
  int tick_ = 0;
};

TEST_F(PlaybackTest, PatternMode_RowsWrapAfterLastRow) {
  struct Case {
    int rows;
    std::vector<int> played;
  };
  const Case cases[] = {{16, Join(Range(0, 15), {0, 1})},
                        {1, {0, 0, 0}},
                        {256, Join(Range(0, 255), {0})}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows");
    song.Reset(2, c.rows, true);
    engine.Stop();
    PlayPause();
    EXPECT_EQ(PlayRows(int(c.played.size())), c.played);
  }
}

TEST_F(PlaybackTest, PatternLoop_Rows4To7_RepeatAfterFirstPass) {
  song.PatternLoopStart = 5;
  song.PatternLoopEnd = 8;
  PlayPause();
  EXPECT_EQ(PlayRows(14), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 4, 5, 6, 7, 4, 5}));
  engine.Stop();
  EXPECT_EQ(song.PlayingRow, 4);
  PlayPause();
  EXPECT_EQ(PlayRows(5), (std::vector<int>{4, 5, 6, 7, 4}));
}

TEST_F(PlaybackTest, SongMode_16And32RowPatterns_ShortestDecidesOrderStep) {
  ASSERT_TRUE(song.InsertPattern(1, 32));
  song.SongMode = true;
  song.SetOrder(0, 1, 0);
  song.SetOrder(1, 0, 1);
  song.SetOrder(1, 1, 1);
  song.StoreCell(1, 1, 0, 60);
  song.StoreCell(1, 1, 16, 72);  // beyond the shortest pattern: never played
  PlayPause();
  EXPECT_EQ(PlayRows(34), Join(Join(Range(0, 15), Range(0, 15)), {0, 1}));
  std::vector<int> expectedOrders(16, 0);
  expectedOrders.insert(expectedOrders.end(), 16, 1);
  expectedOrders.insert(expectedOrders.end(), {0, 0});
  EXPECT_EQ(orders, expectedOrders);
  for (const auto& m : AllSent()) EXPECT_NE(m, "91 48 64");
  EXPECT_EQ(Sent(16), (Messages{"81 3C 00", "91 3C 64"}));  // order 1, row 0
}

TEST_F(PlaybackTest, SongMode_PatternAndOrderLoops_LoopAtEveryPosition) {
  song.Reset(1, 4, true);
  song.SongMode = true;
  for (int pos = 1; pos < 4; ++pos) song.SetOrder(0, pos, 0);
  song.PatternLoopStart = 2;  // rows 1..2
  song.PatternLoopEnd = 3;
  song.OrderLoopStart = 2;  // positions 1..2
  song.OrderLoopEnd = 3;
  PlayPause();
  EXPECT_EQ(PlayRows(9), (std::vector<int>{0, 1, 2, 1, 2, 1, 2, 1, 2}));
  EXPECT_EQ(orders, (std::vector<int>{0, 0, 0, 1, 1, 2, 2, 1, 1}));

  engine.Stop();
  EXPECT_EQ(song.PlayingRow, 1);
  EXPECT_EQ(song.PlayingOrder, 1);
}

TEST_F(PlaybackTest, SongMode_NoChannelPlaysAPattern_RowsRunTo255) {
  song.SongMode = true;
  song.SetOrder(0, 0, OrderEmpty);
  song.SetOrder(1, 0, 7);  // no such pattern: plays nothing either
  song.StoreCell(0, 0, 3, 60);
  PlayPause();
  EXPECT_EQ(PlayRows(257), Join(Range(0, 255), {0}));
  EXPECT_EQ(AllSent().size(), 16u * 13u);  // the start's preparation only
}

TEST_F(PlaybackTest, SongMode_PositionPastOrderEnd_PlaysFromPositionZero) {
  song.SongMode = true;
  song.StoreCell(0, 0, 0, 60);
  song.PlayingOrder = 5;
  PlayPause();
  PlayRows(1);
  EXPECT_EQ(song.LastPlayedOrder, 0);
  EXPECT_EQ(Sent(0), (Messages{"80 00 00", "90 3C 64"}));
}

TEST_F(PlaybackTest, CurrentPatternChange_TakesEffectNextRow) {
  ASSERT_TRUE(song.InsertPattern(1, 16));
  song.StoreCell(0, 0, 1, 60);
  song.StoreCell(1, 0, 1, 72);
  PlayPause();
  PlayRows(1);
  song.CurrentPattern = 1;
  PlayRows(1);
  EXPECT_EQ(Sent(1), (Messages{"80 00 00", "90 48 64"}));
}

TEST_F(PlaybackTest, StartPlayTimer_SendsPreparationOfAllChannelsFirst) {
  devices.PrepareChannels(-1);
  const Messages preparation = AllSent();
  ASSERT_EQ(preparation.size(), 16u * 13u);
  rec().Clear();
  song.StoreCell(0, 0, 0, 60);
  rec().SetLabel(-1);
  EXPECT_TRUE(engine.StartPlayTimer());
  EXPECT_TRUE(engine.Playing());
  EXPECT_TRUE(clock.Running());
  EXPECT_EQ(AllSent(), preparation);
  PlayRows(1);
  EXPECT_EQ(Sent(0), (Messages{"80 00 00", "90 3C 64"}));
}

TEST_F(PlaybackTest, PauseThenPlay_ResumesAtNextRow) {
  PlayPause();
  EXPECT_EQ(PlayRows(3), (std::vector<int>{0, 1, 2}));
  rec().Clear();
  PlayPause();
  EXPECT_FALSE(engine.Playing());
  EXPECT_FALSE(engine.Stopped());
  EXPECT_EQ(AllSent(), AllNotesOffMessages());
  EXPECT_FALSE(clock.Advance());
  EXPECT_EQ(song.PlayingRow, 3);

  rec().Clear();
  PlayPause();
  EXPECT_TRUE(engine.Playing());
  EXPECT_EQ(AllSent().size(), 16u * 13u);
  EXPECT_EQ(PlayRows(2), (std::vector<int>{3, 4}));
}

TEST_F(PlaybackTest, Stop_RewindsToLoopStartsAndSilencesAllChannels) {
  struct Case {
    int patternLoopStart, orderLoopStart, row, order;
  };
  const Case cases[] = {{-1, -1, 0, 0}, {5, -1, 4, 0}, {-1, 2, 0, 1}, {3, 2, 2, 1}};
  song.SongMode = true;
  for (int pos = 1; pos < 3; ++pos) song.SetOrder(0, pos, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.patternLoopStart) + "/" + std::to_string(c.orderLoopStart));
    song.PatternLoopStart = c.patternLoopStart;
    song.OrderLoopStart = c.orderLoopStart;
    PlayPause();
    PlayRows(7);
    rec().Clear();
    engine.Stop();
    EXPECT_TRUE(engine.Stopped());
    EXPECT_FALSE(engine.Playing());
    EXPECT_EQ(AllSent(), AllNotesOffMessages());
    EXPECT_EQ(song.PlayingRow, c.row);
    EXPECT_EQ(song.PlayingOrder, c.order);
    EXPECT_FALSE(clock.Advance());

    rec().Clear();
    engine.PlayRow(clock.Now());  // a late tick after Stop plays nothing
    EXPECT_EQ(AllSent(), Messages{});
    EXPECT_EQ(song.PlayingRow, c.row);

    PlayPause();
    EXPECT_FALSE(engine.Stopped());
    EXPECT_EQ(PlayRows(1), std::vector<int>{c.row});
    EXPECT_EQ(song.LastPlayedOrder, c.order);
    engine.Stop();
  }
}

TEST_F(PlaybackTest, RowPlayedHandler_CalledOncePerRowAfterPositionIsSet) {
  int calls = 0;
  bool consistent = true;
  engine.SetRowPlayedHandler([&] {
    ++calls;
    consistent = consistent && song.LastPlayedRow == song.PlayingRow;
  });
  PlayPause();
  PlayRows(20);
  EXPECT_EQ(calls, 20);
  EXPECT_TRUE(consistent);
  engine.Stop();
  engine.PlayRow(clock.Now());
  EXPECT_EQ(calls, 20);
}

TEST_F(PlaybackTest, Period_ExactSixtySecondsPerBpmPerSpd) {
  struct Case {
    int bpm, spd;
    nanoseconds period;
  };
  const Case cases[] = {
      {120, 4, milliseconds(125)},
      {32, 1, milliseconds(1875)},
      {255, 96, nanoseconds(60'000'000'000LL / (255 * 96))},  // 2.450980 ms, not 2 ms
      {33, 7, nanoseconds(60'000'000'000LL / (33 * 7))},
      {100, 3, milliseconds(200)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bpm) + " BPM, " + std::to_string(c.spd) + " SPD");
    EXPECT_EQ(RowPeriodFor(c.bpm, c.spd), c.period);
    engine.Stop();
    song.BPM = uint8_t(c.bpm);
    song.SPD = uint8_t(c.spd);
    PlayPause();
    EXPECT_EQ(clock.Period(), c.period);
    const MidiTime before = clock.Now();
    PlayRows(2);
    EXPECT_EQ(clock.Now() - before, 2 * c.period);
  }
}

TEST_F(PlaybackTest, RestartPlayTimer_WhilePlaying_NewPeriodFromNextRowWithPreparation) {
  song.StoreCell(0, 0, 1, 60);
  PlayPause();
  PlayRows(1);
  const MidiTime first = clock.Now();
  song.BPM = 60;
  rec().Clear();
  engine.RestartPlayTimer();
  EXPECT_EQ(AllSent().size(), 16u * 13u);
  EXPECT_EQ(clock.Period(), milliseconds(250));
  PlayRows(1);
  EXPECT_EQ(clock.Now() - first, milliseconds(250));
  for (const auto& e : rec().Events())
    if (e.label == 1) {
      EXPECT_EQ(e.when, clock.Now());
    }
  EXPECT_EQ(Sent(1), (Messages{"80 00 00", "90 3C 64"}));
}

TEST_F(PlaybackTest, RestartPlayTimer_NotPlaying_DoesNothing) {
  engine.RestartPlayTimer();
  EXPECT_FALSE(clock.Running());
  EXPECT_FALSE(engine.Playing());
  PlayPause();
  engine.Stop();
  rec().Clear();
  engine.RestartPlayTimer();
  EXPECT_FALSE(clock.Running());
  EXPECT_EQ(AllSent(), Messages{});
}

}  // namespace
}  // namespace varnel
