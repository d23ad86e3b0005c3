// The fill: curve positions, methods, rounding, limits, percentages, random values and refusals,
// checked against the worked examples on a real song.
#include "editing/fill_curve.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/song_builders.h"

namespace varnel {
namespace {

using Values = std::vector<int>;

FillRandom Fixed(int value) {
  return [value](int range) { return std::min(value, range); };
}

struct FillTest : ::testing::Test {
  FillTest() { test::MakeSong(song, 2, 64); }

  // Fills rows firstRow..lastRow of a new controller (or `type`) track and returns them.
  Values Fill(const FillSettings& s, int firstRow, int lastRow, int type = ttChannelVolume) {
    EXPECT_TRUE(song.AddTrack(0, type, -1, -1));  // track 1, of channel 0
    const std::string problem = FillSelection(song, 1, firstRow, 1, lastRow, s, Fixed(0));
    EXPECT_EQ(problem, "");
    Values out;
    for (int r = firstRow; r <= lastRow; ++r) out.push_back(song.GetCellData(1, r));
    return out;
  }

  TVNSong song;
};

TEST_F(FillTest, Linear_fiveRows_givesQuarterSteps) {
  EXPECT_EQ(Fill({.from = 0, .to = 100}, 0, 4), (Values{0, 25, 50, 75, 100}));
}

TEST_F(FillTest, Linear_0to127_exactHalfRoundsDown) {
  EXPECT_EQ(Fill({.from = 0, .to = 127}, 0, 4), (Values{0, 32, 63, 95, 127}));
  EXPECT_TRUE(song.Modified);
}

TEST_F(FillTest, Linear_falling_startsAtFrom) {
  EXPECT_EQ(Fill({.from = 100, .to = 0}, 10, 14), (Values{100, 75, 50, 25, 0}));
}

TEST_F(FillTest, Count_andPingPong_positions) {
  Values counted, pingPong;
  for (int d = 0; d <= 8; ++d) {
    counted.push_back(FillPosition(d, 8, 2, false));
    pingPong.push_back(FillPosition(d, 8, 1, true));
  }
  EXPECT_EQ(counted, (Values{0, 2, 4, 6, 8, 2, 4, 6, 8}));
  EXPECT_EQ(pingPong, (Values{0, 2, 4, 6, 8, 6, 4, 2, 0}));
  EXPECT_EQ(Fill({.from = 0, .to = 80, .count = 2}, 0, 8), (Values{0, 20, 40, 60, 80, 20, 40, 60, 80}));
}

TEST_F(FillTest, Count_huge_wrapsWithoutLooping) {
  EXPECT_EQ(FillPosition(3, 8, 2000000000, false), 8);  // 6e9 is a whole number of turns
  EXPECT_EQ(FillPosition(8, 8, 4, false), 8);
  EXPECT_EQ(FillPosition(5, 8, 0, false), 5);  // a count below 2 leaves the ramp alone
}

TEST_F(FillTest, SinAndOneMinusSin_threeRows) {
  EXPECT_EQ(Fill({.from = 0, .to = 100, .method = FillMethod::Sin}, 0, 2), (Values{0, 71, 100}));
  EXPECT_EQ(Fill({.from = 0, .to = 100, .method = FillMethod::OneMinusSin}, 10, 12), (Values{0, 29, 100}));
  // Falling: "Sin" starts slowly, "1-Sin" drops fast.
  EXPECT_EQ(Fill({.from = 100, .to = 0, .method = FillMethod::Sin}, 20, 22), (Values{100, 71, 0}));
  EXPECT_EQ(Fill({.from = 100, .to = 0, .method = FillMethod::OneMinusSin}, 30, 32), (Values{100, 29, 0}));
}

TEST_F(FillTest, Limits_controllerAt127_tempoAt255) {
  EXPECT_EQ(Fill({.from = 400, .to = 400}, 0, 1), (Values{127, 127}));
  EXPECT_EQ(Fill({.from = 400, .to = 400}, 0, 1, ttTempo), (Values{255, 255}));
  EXPECT_EQ(Fill({.from = 200, .to = 200}, 0, 1, ttTempo), (Values{200, 200}));
}

TEST_F(FillTest, NotOverwrite_fiftyPercent_halvesEveryValue) {
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  song.SetCellData(1, 0, 100);
  song.SetCellData(1, 1, 7);  // 3.5 rounds down
  const FillSettings s{.from = 50, .to = 50, .notOverwrite = true};
  ASSERT_EQ(FillSelection(song, 1, 0, 1, 2, s, Fixed(0)), "");
  EXPECT_EQ(song.GetCellData(1, 0), 50);
  EXPECT_EQ(song.GetCellData(1, 1), 3);
  EXPECT_EQ(song.GetCellData(1, 2), 64);  // the empty cell, 128
}

TEST_F(FillTest, Random_fromPlusDrawnValue_ignoresCurveAndPercentage) {
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  int asked = -1;
  const FillRandom random = [&asked](int range) {
    asked = range;
    return 7;
  };
  const FillSettings s{.from = 10, .to = 30, .notOverwrite = true, .random = true};
  ASSERT_EQ(FillSelection(song, 1, 0, 1, 3, s, random), "");
  EXPECT_EQ(asked, 20);
  for (int r = 0; r <= 3; ++r) EXPECT_EQ(song.GetCellData(1, r), 17);
  // The real generator stays in From..To.
  const FillRandom clock = ClockSeededFillRandom();
  for (int i = 0; i < 200; ++i) {
    const int v = clock(5);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 5);
  }
}

TEST_F(FillTest, Refusals_invalidRangeAndSettings_changeNothing) {
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  song.Modified = false;
  const FillSettings ok{};
  struct Case {
    int firstTrack, firstRow, lastTrack, lastRow;
    FillSettings settings;
    std::string message;
  } cases[] = {
      {1, 0, 2, 4, ok, InvalidRangeMessage},   // two columns
      {1, 3, 1, 3, ok, InvalidRangeMessage},   // one cell
      {-1, 0, -1, 4, ok, InvalidRangeMessage},  // the row numbers
      {1, 60, 1, 64, ok, InvalidRangeMessage},  // past the pattern's last row
      {1, 0, 1, 4, {.from = 50, .to = 10, .random = true}, RandomRangeMessage},
      {1, 0, 1, 4, {.from = 0, .to = 401}, "From and To must be 0..400"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FillSelection(song, c.firstTrack, c.firstRow, c.lastTrack, c.lastRow, c.settings, Fixed(0)), c.message);
  }
  for (int r = 0; r < 64; ++r) ASSERT_EQ(song.GetCellData(1, r), CellEmpty) << r;
  EXPECT_FALSE(song.Modified);
  // Falling curves are fine without random values.
  EXPECT_EQ(CheckFillSettings({.from = 50, .to = 10}), "");
}

TEST(FillCountTest, ParseFillCount_wholeNumbersOnly) {
  EXPECT_EQ(ParseFillCount("16"), 16);
  EXPECT_EQ(ParseFillCount(" 4 "), 4);
  EXPECT_EQ(ParseFillCount("+2"), 2);
  EXPECT_EQ(ParseFillCount("-3"), -3);
  for (const char* bad : {"", " ", "abc", "4x", "2.5", "99999999999"}) EXPECT_EQ(ParseFillCount(bad), std::nullopt) << bad;
}

TEST(FillRoundTest, RoundFillValue_halvesDownOthersNearest) {
  EXPECT_EQ(RoundFillValue(63.5), 63);
  EXPECT_EQ(RoundFillValue(31.75), 32);
  EXPECT_EQ(RoundFillValue(95.25), 95);
  EXPECT_EQ(RoundFillValue(63.5000001), 64);
  EXPECT_EQ(RoundFillValue(-3.0), 0);
}

}  // namespace
}  // namespace varnel
