// Typing values digit by digit: decimal and hex entry on pattern tracks and pattern numbers in
// the order grid, each digit seeing the text the grid shows after the previous one.
#include "editing/value_entry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "editing/grid_text.h"
#include "song/song.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

// A controller cell as the pattern grid shows it (empty for 128).
std::string ValueText(int value, bool hex) {
  if (value == CellEmpty) return "";
  char text[8];
  std::snprintf(text, sizeof text, hex ? "%02X" : "%02d", value);
  return text;
}

// Types the digits into one cell that starts with the value start; returns each value written.
std::vector<int> Type(ValueEntry& entry, bool hex, int maximum, int start, std::vector<int> digits) {
  std::vector<int> values;
  int cell = start;
  for (int d : digits) {
    cell =
        hex ? entry.HexEdited(ValueText(cell, true), maximum, d) : entry.DecEdited(ValueText(cell, false), maximum, d);
    values.push_back(cell);
  }
  return values;
}

TEST(ValueEntry, Decimal_TypedSequences_GiveTheValuesOfTheDescription) {
  struct Case {
    int maximum;
    std::vector<int> digits, values;
  };
  const Case cases[] = {
      {127, {1, 2, 7}, {1, 12, 127}}, {127, {5, 3, 4}, {5, 53, 4}},  // 53 > 12 ends the number; 4 starts a new one
      {127, {1, 1, 9}, {1, 11, 119}}, {127, {1, 2, 8}, {1, 12, 0}},  // 128 exceeds the maximum
      {127, {0, 5, 3}, {0, 5, 53}},   {127, {1, 2, 7, 4}, {1, 12, 127, 4}}, {255, {2, 5, 5}, {2, 25, 255}},  // tempo
      {255, {2, 5, 6}, {2, 25, 0}},   {255, {2, 6, 1}, {2, 26, 1}},
  };
  for (const Case& c : cases) {
    ValueEntry entry;
    EXPECT_EQ(Type(entry, false, c.maximum, CellEmpty, c.digits), c.values) << "maximum " << c.maximum;
  }
}

TEST(ValueEntry, Hex_TypedSequences_SetHighThenLowDigit) {
  struct Case {
    int maximum, start;
    std::vector<int> digits, values;
  };
  const Case cases[] = {
      {127, CellEmpty, {9}, {0x00}},  // 8 or above cannot be a high digit up to 127
      {127, CellEmpty, {9, 7}, {0x00, 0x70}},
      {127, CellEmpty, {7, 15}, {0x70, 0x7F}},
      {127, 0x05, {7, 15}, {0x75, 0x7F}},  // the first digit keeps the old low digit
      {127, 0x3C, {2}, {0x2C}},
      {128, CellEmpty, {8}, {0x00}},
      {255, 0, {9, 12}, {0x90, 0x9C}},  // a tempo track takes high digits up to F
      {255, 0x10, {15, 15}, {0xF0, 0xFF}},
  };
  for (const Case& c : cases) {
    ValueEntry entry;
    EXPECT_EQ(Type(entry, true, c.maximum, c.start, c.digits), c.values) << "maximum " << c.maximum;
  }
}

TEST(ValueEntry, HexFirstDigitTooLarge_KeepsTheStateAtZero) {
  ValueEntry entry;
  EXPECT_EQ(entry.HexEdited("", 127, 9), 0);
  EXPECT_EQ(entry.State(), 0);
  EXPECT_EQ(entry.HexEdited("00", 127, 7), 0x70);
  EXPECT_EQ(entry.State(), 1);
}

TEST(ValueEntry, Reset_AfterOneDigit_StartsANewNumber) {
  ValueEntry entry;
  EXPECT_EQ(entry.DecEdited("", 127, 1), 1);
  entry.Reset();
  EXPECT_EQ(entry.DecEdited("01", 127, 2), 2);
  EXPECT_EQ(entry.State(), 1);
}

TEST(ValueEntry, TextsThatAreNoNumbers_CountAsZero) {
  ValueEntry entry;
  entry.DecEdited("", 255, 1);
  EXPECT_EQ(entry.DecEdited(" - ", 255, 4), 4);  // state 1: the last character is no digit
  EXPECT_EQ(entry.DecEdited(" - ", 255, 7), 7);  // state 2: the text is no number
  EXPECT_EQ(entry.State(), 0);
  entry.HexEdited("", 255, 1);
  EXPECT_EQ(entry.HexEdited("", 255, 5), 0x05);  // state 1 with no first character
}

TEST(ValueEntry, DigitsOutOfRange_ChangeNothing) {
  ValueEntry entry;
  entry.DecEdited("", 127, 1);
  EXPECT_EQ(entry.DecEdited("01", 127, 10), -1);
  EXPECT_EQ(entry.DecEdited("01", 127, -1), -1);
  EXPECT_EQ(entry.HexEdited("01", 127, 16), -1);
  EXPECT_EQ(entry.State(), 1);
}

TEST(ValueEntry, HexAfterTwoDecimalDigits_StartsANewNumber) {
  ValueEntry entry;  // shared with the order grid, which can leave the state at 2
  entry.DecEdited("", 255, 1);
  entry.DecEdited("01", 255, 2);
  ASSERT_EQ(entry.State(), 2);
  EXPECT_EQ(entry.HexEdited("12", 127, 3), 0x32);
  EXPECT_EQ(entry.State(), 1);
}

TEST(ValueEntry, Maximum_ByTrackType) {
  EXPECT_EQ(ValueEntryMaximum(ttNote), 0);
  EXPECT_EQ(ValueEntryMaximum(ttVelocity), 127);
  EXPECT_EQ(ValueEntryMaximum(2), 0);
  for (int type = 3; type <= ttProgram; ++type) EXPECT_EQ(ValueEntryMaximum(type), 127) << type;
  EXPECT_EQ(ValueEntryMaximum(ttTempo), 255);
  EXPECT_EQ(ValueEntryMaximum(19), 0);
  EXPECT_EQ(ValueEntryMaximum(-1), 0);
}

// Order entry through the song and the order grid's own text, as the widget does it.
class OrderEntry : public ::testing::Test {
 protected:
  void SetUp() override { test::MakeSong(song, 2, 64); }
  std::vector<std::string> Type(int channel, int position, std::vector<int> digits) {
    std::vector<std::string> shown;
    for (int d : digits) {
      const int value = entry.DecEdited(OrderGridText(song, channel + 1, position + 1, hex), OrderEntryMaximum, d);
      song.SetOrder(channel, position, value);
      shown.push_back(OrderGridText(song, channel + 1, position + 1, hex));
    }
    return shown;
  }
  TVNSong song;
  ValueEntry entry;
  bool hex = false;
};

TEST_F(OrderEntry, TypingOneTwoThree_InAnEmptyCell_Shows01Then12Then123) {
  EXPECT_EQ(Type(1, 3, {1, 2, 3}), (std::vector<std::string>{"01", "12", "123"}));
  EXPECT_EQ(song.GetOrder(1, 3), 123);
  EXPECT_EQ(song.OrderLength(), 4);
}

TEST_F(OrderEntry, TypingTwoSix_EndsTheNumber_NextDigitStartsAgain) {
  hex = true;  // pattern numbers stay decimal in hex mode
  EXPECT_EQ(Type(0, 0, {2, 6, 4}), (std::vector<std::string>{"02", "26", "04"}));
}

TEST_F(OrderEntry, TypingPastTheMaximum_Gives00) {
  EXPECT_EQ(Type(0, 0, {2, 5, 6}), (std::vector<std::string>{"02", "25", "00"}));
}

}  // namespace
}  // namespace varnel
