// The two computer-keyboard piano layouts, the chord-key rule, the piano's key captions and the
// physical key positions of evdev scan codes.
#include "editing/editor_keys.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

namespace varnel {
namespace {

struct KeyCase {
  int vk;
  int offset;
  bool upper;
};

std::string Name(int vk) { return "virtual key " + std::to_string(vk); }

// Every note key of the two-octave layout, as the layout table gives it.
// clang-format off
const KeyCase TwoOctaveCases[] = {
    {'Z', 0, false},  {'S', 1, false},  {'X', 2, false},  {'D', 3, false},  {'C', 4, false},
    {'V', 5, false},  {'G', 6, false},  {'B', 7, false},  {'H', 8, false},  {'N', 9, false},
    {'J', 10, false}, {'M', 11, false}, {Vk::OemComma, 12, false}, {'L', 13, false},
    {Vk::OemPeriod, 14, false}, {Vk::Oem1, 15, false}, {Vk::Oem2, 16, false},
    {'Q', 12, true},  {'2', 13, true},  {'W', 14, true},  {'3', 15, true},  {'E', 16, true},
    {'R', 17, true},  {'5', 18, true},  {'T', 19, true},  {'6', 20, true},  {'Y', 21, true},
    {'7', 22, true},  {'U', 23, true},  {'I', 24, true},  {'9', 25, true},  {'O', 26, true},
    {'0', 27, true},  {'P', 28, true},  {Vk::Oem4, 29, true}, {Vk::OemPlus, 30, true},
    {Vk::Oem6, 31, true}, {Vk::Oem5, 32, true},
};

const KeyCase FourOctaveCases[] = {
    {'Z', 0, false},  {'X', 2, false},  {'C', 4, false},  {'V', 5, false},  {'B', 7, false},
    {'N', 9, false},  {'M', 11, false}, {Vk::OemComma, 12, false}, {Vk::OemPeriod, 14, false},
    {Vk::Oem2, 16, false},
    {'A', 12, false}, {'S', 14, false}, {'D', 16, false}, {'F', 17, false}, {'G', 19, false},
    {'H', 21, false}, {'J', 23, false}, {'K', 24, false}, {'L', 26, false}, {Vk::Oem1, 28, false},
    {Vk::Oem7, 29, false},
    {'Q', 24, true},  {'W', 26, true},  {'E', 28, true},  {'R', 29, true},  {'T', 31, true},
    {'Y', 33, true},  {'U', 35, true},  {'I', 36, true},  {'O', 38, true},  {'P', 40, true},
    {Vk::Oem4, 41, true}, {Vk::Oem6, 43, true},
    {'1', 36, true},  {'2', 38, true},  {'3', 40, true},  {'4', 41, true},  {'5', 43, true},
    {'6', 45, true},  {'7', 47, true},  {'8', 48, true},  {'9', 50, true},  {'0', 52, true},
    {Vk::OemMinus, 53, true}, {Vk::OemPlus, 55, true}, {Vk::Oem5, 57, true},
};
// clang-format on

void ExpectLayout(KeyboardMode mode, const KeyCase* begin, const KeyCase* end) {
  std::set<int> noteKeys;
  for (const KeyCase* k = begin; k != end; ++k) {
    SCOPED_TRACE(Name(k->vk));
    noteKeys.insert(k->vk);
    EXPECT_EQ(NoteKeyOffset(k->vk, mode), k->offset);
    EXPECT_EQ(IsUpperNoteKey(k->vk, mode), k->upper);
    EXPECT_EQ(IsLowerNoteKey(k->vk, mode), !k->upper);
  }
  // Every other key code plays nothing and is neither lower nor upper.
  for (int vk = 0; vk < 256; ++vk) {
    if (noteKeys.count(vk)) continue;
    SCOPED_TRACE(Name(vk));
    EXPECT_EQ(NoteKeyOffset(vk, mode), -1);
    EXPECT_FALSE(IsLowerNoteKey(vk, mode));
    EXPECT_FALSE(IsUpperNoteKey(vk, mode));
  }
}

TEST(NoteKeys, TwoOctaveLayout_EveryKey_PlaysItsOffset) {
  ExpectLayout(KeyboardTwoOctaves, std::begin(TwoOctaveCases), std::end(TwoOctaveCases));
  std::set<int> offsets;
  for (const KeyCase& k : TwoOctaveCases) offsets.insert(k.offset);
  EXPECT_EQ(offsets.size(), 33u);  // 0..32, with 12..16 on two keys each
  EXPECT_EQ(*offsets.rbegin(), 32);
}

TEST(NoteKeys, FourOctaveLayout_EveryKey_PlaysItsOffset) {
  ExpectLayout(KeyboardFourOctaves, std::begin(FourOctaveCases), std::end(FourOctaveCases));
}

TEST(NoteKeys, UnknownMode_PlaysNoNotes) {
  EXPECT_EQ(NoteKeyOffset('Z', KeyboardMode(2)), -1);
  EXPECT_FALSE(IsChordKey('Z', KeyboardMode(2), true, true, true));
}

TEST(NoteKeys, ChordKey_ShiftOrSwitchOfTheKeysRow_MakesAChord) {
  struct Case {
    int vk;
    bool shift, lowerOn, upperOn, chord;
  };
  const Case cases[] = {
      {'Z', false, false, false, false},        {'Z', true, false, false, true},
      {'Z', false, true, false, true},          {'Z', false, false, true, false},
      {'Q', false, false, false, false},        {'Q', true, false, false, true},
      {'Q', false, true, false, false},         {'Q', false, false, true, true},
      {Vk::OemComma, false, true, false, true}, {Vk::OemComma, false, false, true, false},
      {'A', true, true, true, false},  // A plays nothing here
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Name(c.vk) + " shift " + std::to_string(c.shift) + " lower " + std::to_string(c.lowerOn) + " upper " +
                 std::to_string(c.upperOn));
    EXPECT_EQ(IsChordKey(c.vk, KeyboardTwoOctaves, c.shift, c.lowerOn, c.upperOn), c.chord);
  }
  // In the four-octave layout A is a lower key.
  EXPECT_TRUE(IsChordKey('A', KeyboardFourOctaves, false, true, false));
  EXPECT_FALSE(IsChordKey('A', KeyboardFourOctaves, false, false, true));
  EXPECT_TRUE(IsChordKey('1', KeyboardFourOctaves, false, false, true));
}

TEST(NoteKeys, Caption_ForPianoHints_NamesTheKeyOfEachOffset) {
  struct Case {
    KeyboardMode mode;
    int offset;
    const char* caption;
  };
  const Case cases[] = {
      {KeyboardTwoOctaves, 0, "Z"},   {KeyboardTwoOctaves, 1, "S"},   {KeyboardTwoOctaves, 12, "Q"},
      {KeyboardTwoOctaves, 13, "2"},  {KeyboardTwoOctaves, 16, "E"},  {KeyboardTwoOctaves, 29, "["},
      {KeyboardTwoOctaves, 30, "+"},  {KeyboardTwoOctaves, 31, "]"},  {KeyboardTwoOctaves, 32, "\\"},
      {KeyboardTwoOctaves, 33, ""},   {KeyboardTwoOctaves, -1, ""},   {KeyboardFourOctaves, 1, ""},
      {KeyboardFourOctaves, 12, "A"}, {KeyboardFourOctaves, 24, "Q"}, {KeyboardFourOctaves, 29, "R"},
      {KeyboardFourOctaves, 45, "6"}, {KeyboardFourOctaves, 53, "-"}, {KeyboardFourOctaves, 57, "\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " offset " + std::to_string(c.offset));
    EXPECT_EQ(NoteKeyCaption(c.offset, c.mode), c.caption);
  }
}

TEST(EvdevScanCodes, UsPositions_GiveTheirVirtualKeys) {
  const std::pair<int, int> cases[] = {
      {44, 'Z'},           {31, 'S'},          {45, 'X'},          {16, 'Q'},           {30, 'A'},
      {50, 'M'},           {25, 'P'},          {51, Vk::OemComma}, {52, Vk::OemPeriod}, {53, Vk::Oem2},
      {39, Vk::Oem1},      {40, Vk::Oem7},     {26, Vk::Oem4},     {27, Vk::Oem6},      {43, Vk::Oem5},
      {13, Vk::OemPlus},   {12, Vk::OemMinus}, {2, '1'},           {10, '9'},           {11, '0'},
      {58, Vk::Capital},   {28, Vk::Return},   {57, Vk::Space},    {111, Vk::Delete},   {110, Vk::Insert},
      {14, Vk::Back},      {55, Vk::Multiply}, {98, Vk::Divide},   {78, Vk::Add},       {74, Vk::Subtract},
      {59, Vk::F(1)},      {68, Vk::F(10)},    {87, Vk::F(11)},    {88, Vk::F(12)},     {103, Vk::Up},
      {108, Vk::Down},     {105, Vk::Left},    {106, Vk::Right},   {82, Vk::Numpad(0)}, {71, Vk::Numpad(7)},
      {81, Vk::Numpad(3)}, {96, Vk::Return},
  };
  for (auto [code, vk] : cases) EXPECT_EQ(VirtualKeyForEvdevScanCode(code), vk) << "evdev " << code;
}

TEST(EvdevScanCodes, UnknownCodes_GiveZero) {
  for (int code : {-1, 0, 84, 89, 112, 255, 100000}) EXPECT_EQ(VirtualKeyForEvdevScanCode(code), 0) << code;
}

TEST(EvdevScanCodes, EveryNoteKeyOfBothLayouts_HasAPhysicalPosition) {
  std::set<int> reachable;
  for (int code = 0; code < 256; ++code) reachable.insert(VirtualKeyForEvdevScanCode(code));
  for (const KeyCase& k : TwoOctaveCases) EXPECT_TRUE(reachable.count(k.vk)) << Name(k.vk);
  for (const KeyCase& k : FourOctaveCases) EXPECT_TRUE(reachable.count(k.vk)) << Name(k.vk);
}

}  // namespace
}  // namespace varnel
