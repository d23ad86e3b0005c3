// Channel toggles (on/off, solo, exemption), the "=>" order row, toggle geometry, preset values
// and the custom track dialog's texts.
#include "editing/channel_rules.h"

#include <gtest/gtest.h>

#include "editing/program_names.h"
#include "song/song.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

std::vector<bool> OnStates(const TVNSong& song) {
  std::vector<bool> on;
  for (int c = 0; c < song.ChannelsCount(); ++c) on.push_back(song.ChannelOn(c));
  return on;
}

TEST(ChannelRules, SoloRightClicks_SoloThenEnd_ExemptChannelNeverChanged) {
  TVNSong song;
  test::MakeSong(song, 5, 16);
  song.SetChannelSoloExempt(4, true);
  song.SetChannelOn(4, false);  // exempt and off: stays off through every right click
  int solo = 0;

  const auto first = SoloClick(song, solo, 2);
  EXPECT_EQ(solo, 3);
  EXPECT_EQ(OnStates(song), (std::vector<bool>{false, false, true, false, false}));
  EXPECT_EQ(first, (std::vector<ChannelSwitch>{{0, false}, {1, false}, {3, false}, {2, true}}));

  SoloClick(song, solo, 2);  // the soloed channel again: the solo ends
  EXPECT_EQ(solo, 0);
  EXPECT_EQ(OnStates(song), (std::vector<bool>{true, true, true, true, false}));
}

TEST(ChannelRules, SoloRightClick_OnChannelThatIsOff_MovesTheSolo) {
  TVNSong song;
  test::MakeSong(song, 4, 16);
  int solo = 0;
  SoloClick(song, solo, 0);
  SoloClick(song, solo, 3);  // off while channel 1 is soloed
  EXPECT_EQ(solo, 4);
  EXPECT_EQ(OnStates(song), (std::vector<bool>{false, false, false, true}));
  // A channel switched on by hand while a solo is active ends the solo on its right click.
  ToggleChannel(song, 1);
  SoloClick(song, solo, 1);
  EXPECT_EQ(solo, 0);
  EXPECT_EQ(OnStates(song), (std::vector<bool>{true, true, true, true}));
}

TEST(ChannelRules, SoloRightClick_OnExemptChannel_SolosItAndLeavesOtherExemptsAlone) {
  TVNSong song;
  test::MakeSong(song, 3, 16);
  song.SetChannelSoloExempt(0, true);
  song.SetChannelSoloExempt(1, true);
  int solo = 0;
  const auto switches = SoloClick(song, solo, 0);
  EXPECT_EQ(switches, (std::vector<ChannelSwitch>{{2, false}, {0, true}}));
  EXPECT_EQ(OnStates(song), (std::vector<bool>{true, true, false}));
}

TEST(ChannelRules, LeftAndMiddleClicks_Flip_OutsideTheSongNothing) {
  TVNSong song;
  test::MakeSong(song, 2, 16);
  EXPECT_EQ(ToggleChannel(song, 1), (std::vector<ChannelSwitch>{{1, false}}));
  EXPECT_EQ(ToggleChannel(song, 1), (std::vector<ChannelSwitch>{{1, true}}));
  EXPECT_TRUE(ToggleSoloExempt(song, 0));
  EXPECT_TRUE(song.ChannelSoloExempt(0));
  EXPECT_FALSE(ToggleSoloExempt(song, 0));
  int solo = 0;
  for (int bad : {-1, 2, 300}) {
    EXPECT_TRUE(ToggleChannel(song, bad).empty());
    EXPECT_FALSE(ToggleSoloExempt(song, bad));
    EXPECT_TRUE(SoloClick(song, solo, bad).empty());
  }
  EXPECT_EQ(solo, 0);
  EXPECT_EQ(OnStates(song), (std::vector<bool>{true, true}));
}

TEST(ChannelRules, FirstClearOrderRow_RowPastTheOrder_NoteOffIsNotClear_FullGivesZero) {
  TVNSong song;
  test::MakeSong(song, 3, 16);
  song.SetOrder(0, 0, 0);
  song.SetOrder(1, 1, OrderNoteOff);
  EXPECT_EQ(song.OrderLength(), 2);
  EXPECT_EQ(GetFirstClearOrderRow(song), 2);

  for (int row = 0; row < 256; ++row) song.SetOrder(row % 3, row, 1);
  EXPECT_EQ(GetFirstClearOrderRow(song), 0);
  song.SetOrder(2, 200, OrderEmpty);  // row 200 was channel 2's (200 % 3 == 2)
  EXPECT_EQ(GetFirstClearOrderRow(song), 200);
}

TEST(ChannelRules, SequenceEntries_CurrentPatternForOnChannels_NoteOffForOffChannels) {
  TVNSong song;
  test::MakeSong(song, 3, 16);
  for (int p = 0; p < 4; ++p) song.InsertPattern(song.PatternsCount(), 16);
  song.CurrentPattern = 4;
  song.SetChannelOn(2, false);
  EXPECT_EQ(SequenceEntries(song), (std::vector<int>{4, 4, OrderNoteOff}));
}

TEST(ChannelRules, ToggleGeometry_Size40_Font12Height38_LabelAndButtonPlaces) {
  EXPECT_EQ(ToggleLabelFontSize(40), 12);
  EXPECT_EQ(ToggleSquare(40, 0), (PixelRect{0, 1, 40, 38}));
  EXPECT_EQ(ToggleSquare(40, 3), (PixelRect{120, 1, 40, 38}));
  EXPECT_EQ(ToggleLabelTop(40), 39);
  EXPECT_EQ(ToggleLabelLeft(40, 0, 10), 16);   // "1": centred plus one pixel
  EXPECT_EQ(ToggleLabelLeft(40, 8, 10), 336);  // "9"
  EXPECT_EQ(ToggleLabelLeft(40, 9, 20), 370);  // "10": centred only
  EXPECT_EQ(AddToSequenceButton(40, 16), (PixelRect{650, 5, 40, 32}));
  EXPECT_EQ(ToggleLabelFontSize(24), 7);
  EXPECT_EQ(ToggleLabelFontSize(64), 20);
}

TEST(ChannelRules, ToggleSizeOption_NotANumberOrBelow24_Gives24) {
  const std::pair<const char*, int> cases[] = {{"24", 24}, {"40", 40}, {" 56 ", 56}, {"64", 64}, {"abc", 24},
                                               {"", 24},   {"23", 24}, {"-40", 24}, {"40px", 24}, {"9999", 64}};
  for (const auto& [text, size] : cases) EXPECT_EQ(ToggleSizeFromOption(text), size) << text;
}

TEST(ChannelRules, Presets_NotSetSendsTheDefault_StoredAsHighByte) {
  const int defaults[] = {64, 100, 0, 127, 0, 0, 0, 127, 0};
  for (int p = 1; p <= 9; ++p) {
    EXPECT_EQ(PresetSendValue(p, -1), defaults[p - 1]) << p;
    EXPECT_EQ(PresetSendValue(p, 5), 5);
  }
  EXPECT_EQ(PresetByte(-1), 255);
  EXPECT_EQ(PresetByte(0), 0);
  EXPECT_EQ(PresetByte(127), 127);
  EXPECT_EQ(PresetControlValue(255), -1);
  EXPECT_EQ(PresetControlValue(128), -1);
  EXPECT_EQ(PresetControlValue(127), 127);
  EXPECT_EQ(PresetLabel(-1), "-");
  EXPECT_EQ(PresetLabel(0), "0");
  EXPECT_EQ(PresetLabel(127), "127");
  EXPECT_EQ(BankByte(-1), 128);
  EXPECT_EQ(BankByte(5), 5);
  EXPECT_EQ(BankSendValue(-1), 0);
  EXPECT_EQ(BankSendValue(5), 5);
}

TEST(ChannelRules, TrackDialogTexts_Values1And99_Param227_NoteD8Sharp) {
  EXPECT_EQ(TrackValueHexText(1), "Hex: 01");
  EXPECT_EQ(TrackValueHexText(99), "Hex: 63");
  EXPECT_EQ(TrackValueNoteText(99), "D#8");
  EXPECT_EQ(TrackValueNoteText(36), "C-3");
  EXPECT_EQ(TrackValueNoteText(0), "C-0");
  EXPECT_EQ(TrackValueNoteText(127), "G-10");
  EXPECT_EQ(CombinedValueText(1, 99), "227");
  EXPECT_EQ(CombinedHexText(1, 99), "Hex: E3");
  EXPECT_EQ(CombinedHexText(127, 127), "Hex: 3FFF");
}

TEST(ChannelRules, TrackDialogTexts_128OrNoNumber_IncorrectAndCombinedBlank) {
  EXPECT_EQ(TrackValueOf("128"), 128);
  EXPECT_EQ(TrackValueOf(" 7 "), 7);
  for (const char* text : {"", "abc", "-1", "1x"}) EXPECT_EQ(TrackValueOf(text), -1) << text;
  for (int bad : {128, 999, -1}) {
    EXPECT_EQ(TrackValueHexText(bad), "Incorrect value");
    EXPECT_EQ(TrackValueNoteText(bad), "");
    EXPECT_EQ(CombinedValueText(bad, 0), "");
    EXPECT_EQ(CombinedValueText(0, bad), "");
    EXPECT_EQ(CombinedHexText(0, bad), "");
  }
}

TEST(ChannelRules, DrumKeyNrpnItems_GroupMsbWithKey36_GiveTheMenuParameters) {
  // Caption prefix (the group's MSB in hex) -> the parameter the menu item adds.
  const std::pair<int, int> items[] = {{0x14, 2596}, {0x15, 2724}, {0x18, 3108}, {0x19, 3236},
                                       {0x1A, 3364}, {0x1C, 3620}, {0x1D, 3748}, {0x1E, 3876}};
  for (const auto& [msb, param] : items) EXPECT_EQ(NrpnParameter(msb, DrumKeyDefault), param) << msb;
  EXPECT_EQ(NrpnParameter(0x01, 0x63), 227);  // "0163h - Attack time"
  EXPECT_EQ(NrpnParameter(0x01, 0x66), 230);
}

TEST(ProgramNames, ListEntries_NumberColonName_OutsideRangeEmpty) {
  EXPECT_EQ(ProgramListEntry(0), "0: Acoustic Grand Piano");
  EXPECT_EQ(ProgramListEntry(53), "53: voice Oohs");
  EXPECT_EQ(ProgramListEntry(127), "127: Gunshot");
  EXPECT_EQ(ProgramListEntry(-1), "");
  EXPECT_EQ(ProgramListEntry(128), "");
  for (int p = 0; p < 128; ++p) EXPECT_NE(std::string(ProgramNames[p]), "") << p;
}

}  // namespace
}  // namespace varnel
