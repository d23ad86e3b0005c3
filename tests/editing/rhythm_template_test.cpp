// The rhythm template: presets, stepping with note-offs, loading from a track, expand and shrink.
#include "editing/rhythm_template.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "song/song_types.h"

namespace varnel {
namespace {

using Rows = std::vector<int>;

// The template written as text, one character per shown row: "X", "-" or ".".
RhythmTemplate Make(const std::string& marks) {
  RhythmTemplate t;
  t.SetLength(int(marks.size()));
  for (int i = 0; i < int(marks.size()); ++i)
    t.SetRow(i, marks[size_t(i)] == 'X' ? RhythmTemplate::Stop : marks[size_t(i)] == '-' ? RhythmTemplate::NoteOff : 0);
  return t;
}

std::string Text(const RhythmTemplate& t) {
  std::string out;
  for (int i = 0; i < t.Length(); ++i) out += t.Row(i) == RhythmTemplate::Stop ? 'X' : t.Row(i) == RhythmTemplate::NoteOff ? '-' : '.';
  return out;
}

Rows StopRows(const RhythmTemplate& t, int upTo) {
  Rows out;
  for (int i = 0; i < upTo; ++i)
    if (t.Row(i) == RhythmTemplate::Stop) out.push_back(i);
  return out;
}

TEST(RhythmTemplateTest, New_isSixteenEmptyRows) {
  const RhythmTemplate t;
  EXPECT_EQ(t.Length(), 16);
  EXPECT_EQ(Text(t), std::string(16, '.'));
  EXPECT_FALSE(t.HasStop());
}

struct PresetCase {
  const char* preset;
  int length;
  Rows stops;  // X rows among 0..255
};

void PrintTo(const PresetCase& c, std::ostream* os) { *os << c.preset << " over " << c.length << " rows"; }

class RhythmTemplatePresetTest : public ::testing::TestWithParam<PresetCase> {};

TEST_P(RhythmTemplatePresetTest, ApplyPreset_marksEveryBlock) {
  const PresetCase& c = GetParam();
  RhythmTemplate t;
  t.SetLength(c.length);
  for (int i = 0; i < c.length; ++i) t.SetRow(i, RhythmTemplate::NoteOff);  // cleared by the preset
  ASSERT_TRUE(t.ApplyPreset(c.preset));
  EXPECT_EQ(StopRows(t, 256), c.stops);
  for (int i = 0; i < c.length; ++i) EXPECT_NE(t.Row(i), RhythmTemplate::NoteOff) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Presets, RhythmTemplatePresetTest,
    ::testing::Values(PresetCase{"0-3-6", 16, {0, 3, 6, 8, 11, 14}},
                      PresetCase{"2-6-10-14-15", 32, {2, 6, 10, 14, 15, 18, 22, 26, 30, 31}},
                      PresetCase{"0-1-2", 8, {0, 1, 2, 4, 5, 6}},
                      // The last block reaches past the length: those rows are marked, hidden.
                      PresetCase{"1-3-6", 12, {1, 3, 6, 9, 11, 14}},
                      PresetCase{"0-4-8-11-14", 16, {0, 4, 8, 11, 14}},
                      PresetCase{"0-2-4-6-7", 4, {0, 2, 4, 6, 7}}),
    [](const ::testing::TestParamInfo<PresetCase>& info) {
      std::string name = info.param.preset;
      for (char& c : name)
        if (c == '-') c = '_';
      return "preset_" + name + "_length" + std::to_string(info.param.length);
    });

TEST(RhythmTemplateTest, ApplyPreset_selectOrMalformed_changesNothing) {
  for (const char* text : {"Select", "", "1--2", "a-b", "3-", "0-300"}) {
    RhythmTemplate t = Make("X.-.");
    EXPECT_FALSE(t.ApplyPreset(text)) << text;
    EXPECT_EQ(Text(t), "X.-.") << text;
  }
  EXPECT_EQ(RhythmTemplate::Presets().front(), "Select");
  EXPECT_EQ(RhythmTemplate::Presets().size(), 10u);
  for (size_t i = 1; i < RhythmTemplate::Presets().size(); ++i) {
    RhythmTemplate t;
    EXPECT_TRUE(t.ApplyPreset(RhythmTemplate::Presets()[i])) << i;
  }
}

TEST(RhythmTemplateTest, GetNextAdd_stepsToNextStopAndIntoNextRepetition) {
  const RhythmTemplate t = Make("X...X...X...X...");
  EXPECT_EQ(t.GetNextAdd(5, 64).step, 3);   // to row 8
  EXPECT_EQ(t.GetNextAdd(12, 64).step, 4);  // to row 16, the next repetition's row 0
  EXPECT_EQ(t.GetNextAdd(16, 64).step, 4);
  EXPECT_EQ(t.GetNextAdd(0, 64).step, 4);
}

TEST(RhythmTemplateTest, GetNextAdd_singleStop_stepsWholeTemplate) {
  const RhythmTemplate t = Make("..X.....");
  EXPECT_EQ(t.GetNextAdd(2, 64).step, 8);
  EXPECT_EQ(t.GetNextAdd(3, 64).step, 7);
  EXPECT_EQ(t.GetNextAdd(0, 64).step, 2);
}

TEST(RhythmTemplateTest, GetNextAdd_noteOffBeforeStop_placedOnPassedRow) {
  const RhythmTemplate t = Make("X.-.");
  const RhythmTemplate::Advance a = t.GetNextAdd(0, 16);
  EXPECT_EQ(a.step, 4);
  EXPECT_EQ(a.noteOffRows, Rows{2});
  // Later repetitions put it in their own rows.
  EXPECT_EQ(t.GetNextAdd(8, 16).noteOffRows, Rows{10});
}

TEST(RhythmTemplateTest, GetNextAdd_noteOffInNextRepetition_landsWhereCursorPasses) {
  // X only on row 4, "-" on row 2: from row 4 the cursor passes row 4 + 16 - 2 = 18 on its way to 20.
  RhythmTemplate t = Make("....X...........");
  t.SetRow(2, RhythmTemplate::NoteOff);
  RhythmTemplate::Advance a = t.GetNextAdd(4, 32);
  EXPECT_EQ(a.step, 16);
  EXPECT_EQ(a.noteOffRows, Rows{18});
  // At the end of the pattern the cursor comes round to the top: so does the note-off.
  a = t.GetNextAdd(20, 32);
  EXPECT_EQ(a.step, 16);
  EXPECT_EQ(a.noteOffRows, Rows{2});
}

TEST(RhythmTemplateTest, GetNextAdd_templateLongerThanPattern_neverOverwritesCursorRow) {
  // Rows the cursor would pass only in a second turn of a 4-row pattern get nothing.
  RhythmTemplate t = Make("X..-..-.");
  const RhythmTemplate::Advance a = t.GetNextAdd(0, 4);
  EXPECT_EQ(a.step, 8);
  EXPECT_EQ(a.noteOffRows, Rows{3});
}

TEST(RhythmTemplateTest, GetNextAdd_withoutStop_noStepNoNoteOffs) {
  const RhythmTemplate t = Make("..-.");
  const RhythmTemplate::Advance a = t.GetNextAdd(0, 16);
  EXPECT_EQ(a.step, -1);
  EXPECT_TRUE(a.noteOffRows.empty());
  // A hidden X past the length does not count.
  RhythmTemplate hidden = Make("....");
  hidden.SetRow(6, RhythmTemplate::Stop);
  EXPECT_EQ(hidden.GetNextAdd(0, 16).step, -1);
}

TEST(RhythmTemplateTest, CanPack_comparesHalves) {
  EXPECT_TRUE(Make("X.X.").CanPack());
  EXPECT_FALSE(Make("X..X").CanPack());
  EXPECT_TRUE(Make("X").CanPack());  // h = 0
  EXPECT_TRUE(Make("X-.X-.").CanPack());
  EXPECT_FALSE(Make("X-.X-X").CanPack());
}

TEST(RhythmTemplateTest, LoadFromTrack_repeatingSixteenRows_givesSixteenRowTemplate) {
  std::vector<int> cells(64, CellEmpty);
  for (int r = 0; r < 64; r += 16) {
    cells[size_t(r)] = 60;
    cells[size_t(r + 3)] = CellNoteOff;
    cells[size_t(r + 8)] = 0;
  }
  RhythmTemplate t;
  t.LoadFromTrack(cells, ttNote);
  EXPECT_EQ(t.Length(), 16);
  EXPECT_EQ(Text(t), "X..-....X.......");
}

TEST(RhythmTemplateTest, LoadFromTrack_halvesAtMostTwice) {
  std::vector<int> cells(64, CellEmpty);
  for (int r = 0; r < 64; r += 2) cells[size_t(r)] = 60;  // period 2
  RhythmTemplate t;
  t.LoadFromTrack(cells, ttNote);
  EXPECT_EQ(t.Length(), 16);
  // No repetition: the pattern's length.
  cells.assign(48, CellEmpty);
  cells[5] = 70;
  t.LoadFromTrack(cells, ttNote);
  EXPECT_EQ(t.Length(), 48);
  EXPECT_EQ(StopRows(t, 48), Rows{5});
}

TEST(RhythmTemplateTest, LoadFromTrack_otherValuesKeepRows_tempoZeroIsEmpty) {
  RhythmTemplate t = Make("-X--");
  t.LoadFromTrack(std::vector<int>{CellEmpty, 200, 5, CellNoteOff, CellEmpty, CellEmpty, 7, CellEmpty}, ttNote);
  EXPECT_EQ(t.Length(), 8);
  EXPECT_EQ(Text(t), ".XX-..X.");  // 200 left row 1 as it was
  RhythmTemplate tempo;
  tempo.LoadFromTrack(std::vector<int>{140, 0, 0, 0, 0, 0, 128, 0}, ttTempo);
  EXPECT_EQ(Text(tempo), "X.....X.");
}

TEST(RhythmTemplateTest, Expand_spreadsRows) {
  RhythmTemplate t = Make("X-.X");
  EXPECT_EQ(t.Expand(2), "");
  EXPECT_EQ(Text(t), "X.-...X.");
  EXPECT_EQ(t.Expand(3), "");
  EXPECT_EQ(t.Length(), 24);
  EXPECT_EQ(Text(t), "X.....-...........X.....");
}

TEST(RhythmTemplateTest, Expand_pastTwoHundredFiftySix_refusedUnchanged) {
  RhythmTemplate t;
  t.SetLength(129);
  t.SetRow(128, RhythmTemplate::Stop);
  EXPECT_EQ(t.Expand(2), "Cannot expand template, rows > 128");
  EXPECT_EQ(t.Length(), 129);
  EXPECT_EQ(t.Row(128), RhythmTemplate::Stop);
  t.SetLength(86);
  EXPECT_EQ(t.Expand(3), "Cannot expand template, rows > 85");
  t.SetLength(85);
  EXPECT_EQ(t.Expand(3), "");
  EXPECT_EQ(t.Length(), 255);
  t.SetLength(128);
  EXPECT_EQ(t.Expand(2), "");
  EXPECT_EQ(t.Length(), 256);
}

TEST(RhythmTemplateTest, Shrink_takesFirstMarkOfEachGroupAndClearsTheRest) {
  RhythmTemplate t = Make(".X.--..X.");
  EXPECT_EQ(t.Shrink(3), "");
  EXPECT_EQ(Text(t), "X-X");
  for (int i = 3; i < 256; ++i) ASSERT_EQ(t.Row(i), 0) << i;
  RhythmTemplate four = Make("..-X....");
  EXPECT_EQ(four.Shrink(4), "");
  EXPECT_EQ(Text(four), "-.");
}

TEST(RhythmTemplateTest, Shrink_shorterThanDivisor_refused) {
  RhythmTemplate t = Make("X-X");
  EXPECT_EQ(t.Shrink(4), "Cannot shrink template, rows < 1");
  EXPECT_EQ(Text(t), "X-X");
  EXPECT_EQ(t.Shrink(2), "");
  EXPECT_EQ(Text(t), "X");
}

TEST(RhythmTemplateTest, ExpandThenShrink_givesTemplateBack) {
  for (int k : {2, 3}) {
    RhythmTemplate t;
    t.ApplyPreset("0-3-6");
    t.SetRow(7, RhythmTemplate::NoteOff);
    const std::string before = Text(t);
    ASSERT_EQ(t.Expand(k), "");
    ASSERT_EQ(t.Shrink(k), "");
    EXPECT_EQ(Text(t), before) << k;
  }
}

}  // namespace
}  // namespace varnel
