// The song model: building, checked cell access, cell text, order lists, pattern selection and
// the small per-channel accessors.
#include <functional>
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

class SongModel : public ::testing::Test {
 protected:
  RecordingReporter rep;
  TVNSong song{&rep};
};

void ExpectEmptyMidiPresets(const TVNSong& s) {
  for (int m = 0; m < MidiChannelCount; ++m) {
    SCOPED_TRACE("MIDI channel " + std::to_string(m));
    EXPECT_EQ(s.GetProgram(m), 0);
    for (int i = 1; i <= PresetCount; ++i) EXPECT_EQ(s.MidiChannelParams(m, i), 255);
    EXPECT_EQ(s.BankSelect(m, 0), 128);
    EXPECT_EQ(s.BankSelect(m, 1), 128);
  }
}

TEST_F(SongModel, Create_NewSong_HasSixteenChannelsOfOneNoteTrackEach) {
  ASSERT_EQ(song.ChannelsCount(), 16);
  ASSERT_EQ(song.TracksCount(), 16);
  EXPECT_EQ(song.PatternsCount(), 1);
  EXPECT_EQ(song.OrderLength(), 1);
  EXPECT_EQ(song.GetCurrentPattern(), 0);
  EXPECT_EQ(song.LastRow(0), 63);
  EXPECT_EQ(song.GetLastRow(), 63);
  for (int t = 0; t < 16; ++t) {
    SCOPED_TRACE("track " + std::to_string(t));
    EXPECT_EQ(song.GetTrackType(t), ttNote);
    EXPECT_EQ(song.GetTrackChannel(t), t);
    EXPECT_EQ(song.GetTrackParam(t), -1);
    for (int r = 0; r < RowsPerPattern; ++r) ASSERT_EQ(song.CellData(0, t, r), CellEmpty) << "row " << r;
  }
  for (int c = 0; c < 16; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c));
    EXPECT_EQ(song.GetMidiChannel(c), c);
    EXPECT_EQ(song.GetVelocity(c), 100);
    EXPECT_EQ(song.GetReleaseMode(c), 0);
    EXPECT_EQ(song.ChannelParams(c, TVNSong::ParamTranspose), 0);
    EXPECT_EQ(song.GetOrder(c, 0), 0);
    EXPECT_TRUE(song.ChannelOn(c));
    EXPECT_FALSE(song.ChannelSoloExempt(c));
  }
  ExpectEmptyMidiPresets(song);
}

TEST_F(SongModel, Create_NewSong_HasDefaultTempoGridAndFlags) {
  EXPECT_EQ(int(song.BPM), 120);
  EXPECT_EQ(int(song.SPD), 4);
  EXPECT_EQ(int(song.Octave), 4);
  EXPECT_EQ(int(song.GridAdd), 0);
  EXPECT_FALSE(song.Modified);
  EXPECT_FALSE(song.SongMode);
  EXPECT_EQ(int(song.FollowSongView), 0);
  EXPECT_EQ(int(song.PatternLoopStart), -1);
  EXPECT_EQ(int(song.PatternLoopEnd), -1);
  EXPECT_EQ(int(song.OrderLoopStart), -1);
  EXPECT_EQ(int(song.OrderLoopEnd), -1);
  EXPECT_TRUE(song.EditEnabled);
  EXPECT_TRUE(song.SoundEnabled);
  EXPECT_FALSE(song.Metronome);
  EXPECT_EQ(int(song.KeyTone), 0);
  EXPECT_EQ(int(song.KeyType), 0);
  EXPECT_TRUE(song.KeyKnown);
  EXPECT_TRUE(song.FileName.empty());
  EXPECT_TRUE(song.Tag.Title.empty());
  EXPECT_FALSE(song.Tag.ShowOnLoad);
}

TEST_F(SongModel, Reset_AfterEditing_RebuildsTheEmptySong) {
  song.InsertPattern(1, 32);
  song.AddTrack(0, ttPan, -1, -1);
  song.StoreCell(0, 0, 3, 60);
  song.SetOrder(2, 4, 1);
  song.SetVelocity(1, 50);
  song.SetTranspose(1, 7);
  song.BPM = 90;
  song.SongMode = true;
  song.FollowSongView = 1;
  song.PatternLoopStart = 3;
  song.FileName = "old.vnl";
  song.DeviceName = "dev";
  song.Tag.Title = "title";
  song.Tag.ShowOnLoad = true;
  song.StoreSoundingNote(4, 60);
  song.PlayingRow = 5;
  song.PlayingOrder = 2;

  song.Reset(3, 32, true);

  EXPECT_EQ(song.ChannelsCount(), 3);
  EXPECT_EQ(song.TracksCount(), 3);
  EXPECT_EQ(song.PatternsCount(), 1);
  EXPECT_EQ(song.OrderLength(), 1);
  EXPECT_EQ(song.LastRow(0), 31);
  for (int t = 0; t < 3; ++t) {
    EXPECT_EQ(song.GetTrackType(t), ttNote);
    EXPECT_EQ(song.GetTrackChannel(t), t);
    for (int r = 0; r < RowsPerPattern; ++r) ASSERT_EQ(song.CellData(0, t, r), CellEmpty);
    EXPECT_EQ(song.GetOrder(t, 0), 0);
  }
  EXPECT_EQ(song.GetVelocity(1), 100);
  EXPECT_EQ(song.GetTranspose(1), 0);
  EXPECT_EQ(int(song.BPM), 120);
  EXPECT_FALSE(song.SongMode);
  EXPECT_EQ(int(song.FollowSongView), 0);
  EXPECT_EQ(int(song.PatternLoopStart), -1);
  EXPECT_FALSE(song.Modified);
  EXPECT_TRUE(song.FileName.empty());
  EXPECT_TRUE(song.DeviceName.empty());
  EXPECT_TRUE(song.Tag.Title.empty());
  EXPECT_FALSE(song.Tag.ShowOnLoad);
  EXPECT_EQ(song.SoundingNote(4), 0);
  // The play position belongs to the row clock.
  EXPECT_EQ(int(song.PlayingRow), 5);
  EXPECT_EQ(int(song.PlayingOrder), 2);
}

TEST_F(SongModel, Reset_RowCountBounds_SetLastRow) {
  song.Reset(2, 1, true);
  EXPECT_EQ(song.LastRow(0), 0);
  song.Reset(2, 256, true);
  EXPECT_EQ(song.LastRow(0), 255);
}

TEST_F(SongModel, Reset_MoreChannelsThanMidiChannels_CapsMidiChannelAt47) {
  song.Reset(50, 64, true);
  ASSERT_EQ(song.ChannelsCount(), 50);
  EXPECT_EQ(song.GetMidiChannel(46), 46);
  EXPECT_EQ(song.GetMidiChannel(47), 47);
  EXPECT_EQ(song.GetMidiChannel(48), 47);
  EXPECT_EQ(song.GetMidiChannel(49), 47);
}

TEST_F(SongModel, Reset_WithoutMidiReset_KeepsProgramsPresetsAndBanks) {
  song.SetProgram(0, 33);
  song.SetProgram(47, 120);
  song.SetMidiParam(5, 1, 64);
  song.SetMidiParam(47, 9, 10);
  song.StoreBankSelect(3, 0, 5);
  song.StoreBankSelect(47, 1, 7);

  song.Reset(4, 32, false);
  EXPECT_EQ(song.GetProgram(0), 33);
  EXPECT_EQ(song.GetProgram(47), 120);
  EXPECT_EQ(song.GetMidiParam(5, 1), 64);
  EXPECT_EQ(song.GetMidiParam(47, 9), 10);
  EXPECT_EQ(song.BankSelect(3, 0), 5);
  EXPECT_EQ(song.BankSelect(47, 1), 7);

  song.Reset(4, 32, true);
  ExpectEmptyMidiPresets(song);
}

TEST_F(SongModel, SetCellData_PatternView_StoresInCurrentPattern) {
  song.InsertPattern(1, 64);
  song.CurrentPattern = 1;
  song.SetCellData(2, 5, 60);
  EXPECT_EQ(song.CellData(1, 2, 5), 60);
  EXPECT_EQ(song.CellData(0, 2, 5), CellEmpty);
  EXPECT_EQ(song.GetCellData(2, 5), 60);
  EXPECT_TRUE(song.Modified);
}

TEST_F(SongModel, GetCellData_RowPastLastRow_ReadsEmptyButHiddenCellSurvives) {
  MakeSong(song, 2, 16);
  song.SetCellData(0, 20, 60);  // writing into hidden rows is allowed
  EXPECT_EQ(song.CellData(0, 0, 20), 60);
  EXPECT_EQ(song.GetCellData(0, 20), CellEmpty);
  EXPECT_EQ(song.GetCellData(0, 15), CellEmpty);
  song.SetLastRow(31);
  EXPECT_EQ(song.GetCellData(0, 20), 60);
}

TEST_F(SongModel, GetCellData_OutsideTracksOrRows_ReadsEmptyValue) {
  song.StoreCell(0, 0, 0, 60);
  EXPECT_EQ(song.GetCellData(-1, 0), CellEmpty);
  EXPECT_EQ(song.GetCellData(song.TracksCount(), 0), CellEmpty);
  EXPECT_EQ(song.GetCellData(0, -1), CellEmpty);
  EXPECT_EQ(song.GetCellData(0, 256), CellEmpty);
  ASSERT_TRUE(song.AddTrack(0, ttTempo, -1, -1));
  song.StoreCell(0, 1, 100, 128);  // a real tempo, but past the pattern's end
  EXPECT_EQ(song.GetCellData(1, 100), 0);
}

TEST_F(SongModel, CellAccess_CurrentPatternPastPatternsCount_ReadsEmptyAndWritesNothing) {
  song.CurrentPattern = 3;
  EXPECT_EQ(song.GetCellData(0, 0), CellEmpty);
  song.SetCellData(0, 0, 60);
  song.SetCellData(-1, 0, 60);
  song.SetCellData(0, -1, 60);
  EXPECT_EQ(song.CellData(0, 0, 0), CellEmpty);
}

// Channel 0 plays pattern 1 at position 1, channel 1 nothing, channel 2 a note-off.
class SongView : public SongModel {
 protected:
  void SetUp() override {
    MakeSong(song, 3, 64);
    song.InsertPattern(1, 16);
    song.SetOrder(0, 1, 1);
    song.SetOrder(1, 1, OrderEmpty);
    song.SetOrder(2, 1, OrderNoteOff);
    song.FollowSongView = 1;
    song.PlayingOrder = 1;
    rep.Clear();
  }
};

TEST_F(SongView, SetCellData_AssignedChannel_WritesPatternItPlays) {
  song.SetCellData(0, 3, 60);
  EXPECT_EQ(song.CellData(1, 0, 3), 60);
  EXPECT_EQ(song.CellData(0, 0, 3), CellEmpty);
  EXPECT_EQ(song.GetCellData(0, 3), 60);
  EXPECT_TRUE(rep.statuses.empty());
}

TEST_F(SongView, GetCellData_RowPastPlayedPatternsEnd_StillReadsCell) {
  song.StoreCell(1, 0, 40, 61);  // pattern 1 has 16 rows
  EXPECT_EQ(song.GetCellData(0, 40), 61);
}

TEST_F(SongView, CellAccess_EmptyOrNoteOffEntry_ReadsEmptyAndRefusesWrite) {
  for (int track : {1, 2}) {
    SCOPED_TRACE("track " + std::to_string(track));
    song.StoreCell(0, track, 3, 50);
    song.StoreCell(1, track, 3, 51);
    rep.Clear();
    EXPECT_EQ(song.GetCellData(track, 3), CellEmpty);
    EXPECT_EQ(song.CellText(track, 3), "   ");
    song.SetCellData(track, 3, 60);
    EXPECT_EQ(song.CellData(0, track, 3), 50);
    EXPECT_EQ(song.CellData(1, track, 3), 51);
    EXPECT_TRUE(rep.SaidStatus("Track not assigned"));
    EXPECT_TRUE(rep.messages.empty());
  }
}

TEST_F(SongView, GetLastRow_SmallestPlayedPatternOr255) {
  EXPECT_EQ(song.GetLastRow(), 15);
  song.PlayingOrder = 0;
  EXPECT_EQ(song.GetLastRow(), 63);
  song.SetOrder(0, 1, OrderEmpty);
  song.PlayingOrder = 1;
  EXPECT_EQ(song.GetLastRow(), 255);
}

TEST_F(SongView, SetLastRow_SongView_ChangesNoPattern) {
  song.Modified = false;
  song.SetLastRow(7);
  EXPECT_FALSE(song.Modified) << "nothing changed";
  EXPECT_EQ(song.LastRow(0), 63);
  EXPECT_EQ(song.LastRow(1), 15);
}

struct CellTextCase {
  int type;
  int value;
  bool hex;
  const char* text;
};

TEST_F(SongModel, CellText_EachTrackType_FormatsValue) {
  const CellTextCase cases[] = {
      {ttNote, 0, false, "C-0"},       {ttNote, 127, false, "G-10"},  {ttNote, 60, false, "C-5"},
      {ttNote, 61, false, "C#5"},      {ttNote, 70, true, "A#5"},     {ttNote, 11, false, "B-0"},
      {ttNote, CellEmpty, false, "   "}, {ttNote, CellNoteOff, false, " - "},
      {ttVelocity, 64, false, "64"},   {ttVelocity, 64, true, "40"},  {ttVelocity, 0, false, "00"},
      {ttPan, 7, false, "07"},         {ttPan, 5, true, "05"},        {ttPan, 100, false, "100"},
      {ttPan, 18, true, "12"},         {ttPan, CellEmpty, false, ""}, {ttPan, CellEmpty, true, ""},
      {ttControlChange, 9, false, "09"}, {ttProgram, 127, false, "127"},
      {ttTempo, 0, false, ""},         {ttTempo, 0, true, ""},        {ttTempo, 128, false, "128"},
      {ttTempo, 128, true, "80"},      {ttTempo, 9, false, "09"},     {ttTempo, 120, true, "78"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " value " + std::to_string(c.value) + (c.hex ? " hex" : " dec"));
    song.Reset(1, 64, true);
    int track = 0;
    if (c.type != ttNote) {
      ASSERT_TRUE(song.AddTrack(0, c.type, 7, -1));
      track = 1;
    }
    song.HexNumbers = c.hex;
    song.SetCellData(track, 0, c.value);
    EXPECT_EQ(song.CellText(track, 0), c.text);
  }
}

TEST_F(SongModel, CellText_RowPastLastRow_ShowsEmptyCell) {
  MakeSong(song, 1, 16);
  song.StoreCell(0, 0, 20, 60);
  EXPECT_EQ(song.CellText(0, 20), "   ");
}

TEST_F(SongModel, SetOrder_PositionPastEnd_LengthensEveryListWithEmptyEntries) {
  MakeSong(song, 3, 64);
  song.SetOrder(0, 1, 0);
  ASSERT_EQ(song.OrderLength(), 2);
  song.SetOrder(1, 5, 0);
  ASSERT_EQ(song.OrderLength(), 6);
  EXPECT_EQ(song.GetOrder(0, 0), 0);
  EXPECT_EQ(song.GetOrder(0, 1), 0);
  EXPECT_EQ(song.GetOrder(1, 5), 0);
  for (int c = 0; c < 3; ++c)
    for (int pos = 2; pos < 6; ++pos)
      if (!(c == 1 && pos == 5)) {
        EXPECT_EQ(song.Order(c, pos), OrderEmpty) << c << "," << pos;
      }
  EXPECT_EQ(song.Order(1, 1), OrderEmpty);
}

TEST_F(SongModel, SetOrder_EmptyingLastPosition_RemovesEveryTrailingEmptyPosition) {
  MakeSong(song, 2, 64);
  song.SetOrder(0, 3, 0);
  song.SetOrder(1, 1, OrderNoteOff);
  ASSERT_EQ(song.OrderLength(), 4);
  song.SetOrder(0, 3, OrderEmpty);
  EXPECT_EQ(song.OrderLength(), 2);  // position 1 still holds a note-off
  EXPECT_EQ(song.GetOrder(1, 1), OrderNoteOff);
  song.SetOrder(1, 1, OrderEmpty);
  EXPECT_EQ(song.OrderLength(), 1);
}

TEST_F(SongModel, SetOrder_OtherChannelStillPlaysLastPosition_KeepsLength) {
  MakeSong(song, 2, 64);
  song.SetOrder(0, 1, 0);
  song.SetOrder(1, 1, 0);
  song.SetOrder(0, 1, OrderEmpty);
  EXPECT_EQ(song.OrderLength(), 2);
  EXPECT_EQ(song.GetOrder(0, 1), OrderEmpty);
  EXPECT_EQ(song.GetOrder(1, 1), 0);
}

TEST_F(SongModel, SetOrder_EmptyingPositionZero_NeverDropsBelowOnePosition) {
  MakeSong(song, 2, 64);
  song.SetOrder(0, 0, OrderEmpty);
  song.SetOrder(1, 0, OrderEmpty);
  EXPECT_EQ(song.OrderLength(), 1);
  EXPECT_EQ(song.GetOrder(0, 0), OrderEmpty);
  EXPECT_EQ(song.GetOrder(1, 0), OrderEmpty);
}

TEST_F(SongModel, SetOrder_ChannelOutsideSongOrNegativePosition_SaysOkAndStoresNothing) {
  MakeSong(song, 2, 64);
  song.SetOrder(2, 0, OrderNoteOff);
  song.SetOrder(0, -1, OrderNoteOff);
  EXPECT_EQ(rep.messages, (std::vector<std::string>{"ok :)", "ok :)"}));
  EXPECT_EQ(song.OrderLength(), 1);
  EXPECT_EQ(song.GetOrder(0, 0), 0);
  EXPECT_EQ(song.GetOrder(1, 0), 0);
  EXPECT_TRUE(song.Modified);
}

TEST_F(SongModel, GetOrder_OutOfRange_ReadsOrderEmpty) {
  EXPECT_EQ(song.GetOrder(-1, 0), OrderEmpty);
  EXPECT_EQ(song.GetOrder(0, -1), OrderEmpty);
  EXPECT_EQ(song.GetOrder(0, 1), OrderEmpty);
}

TEST_F(SongModel, SelectPattern_PatternsCount_AppendsPatternOfDefaultLength) {
  MakeSong(song, 2, 32);
  song.SetDefaultPatternLength(96);
  song.StoreCell(0, 0, 0, 60);
  song.SelectPattern(1);
  ASSERT_EQ(song.PatternsCount(), 2);
  EXPECT_EQ(song.GetCurrentPattern(), 1);
  EXPECT_EQ(song.LastRow(1), 95);
  EXPECT_EQ(song.LastRow(0), 31);
  EXPECT_EQ(song.CellData(0, 0, 0), 60);
  for (int r = 0; r < RowsPerPattern; ++r) ASSERT_EQ(song.CellData(1, 0, r), CellEmpty);
  EXPECT_EQ(song.GetOrder(0, 0), 0);
  EXPECT_EQ(song.OrderLength(), 1);
  EXPECT_TRUE(song.Modified);
}

TEST_F(SongModel, SelectPattern_BeyondPatternsCount_SaysInvalidAndChangesNothing) {
  song.SelectPattern(1);
  rep.Clear();
  for (int p : {3, -1}) {
    song.SelectPattern(p);
    EXPECT_EQ(song.PatternsCount(), 2);
    EXPECT_EQ(song.GetCurrentPattern(), 1);
  }
  EXPECT_EQ(rep.messages, (std::vector<std::string>{"Invalid pattern number", "Invalid pattern number"}));
}

TEST_F(SongModel, SelectPattern_SelectingIsNoChange_AppendingIs) {
  song.SelectPattern(1);
  EXPECT_TRUE(song.Modified) << "pattern 1 was appended";
  song.Modified = false;
  song.SelectPattern(0);
  EXPECT_EQ(song.GetCurrentPattern(), 0);
  EXPECT_FALSE(song.Modified);
  song.SelectPattern(1);
  EXPECT_EQ(song.GetCurrentPattern(), 1);
  EXPECT_FALSE(song.Modified);
}

TEST_F(SongModel, SelectPattern_SongView_MovesPlayingOrderAndLengthensOrder) {
  song.SetOrder(0, 1, 0);
  song.FollowSongView = 1;
  song.SelectPattern(3);
  EXPECT_EQ(int(song.PlayingOrder), 3);
  EXPECT_GE(song.OrderLength(), 4);
  EXPECT_EQ(song.GetOrder(0, 1), 0);
  EXPECT_EQ(song.PatternsCount(), 1);
  EXPECT_EQ(song.GetCurrentPattern(), 0);
}

TEST_F(SongModel, SetDefaultPatternLength_OutOfRange_ClampsTo32Through256) {
  const std::pair<int, int> cases[] = {{0, 32}, {31, 32}, {32, 32}, {48, 48}, {256, 256}, {257, 256}, {1000, 256}};
  for (auto [in, out] : cases) {
    song.SetDefaultPatternLength(in);
    EXPECT_EQ(song.DefaultPatternLength(), out) << in;
  }
}

TEST_F(SongModel, Transpose_StoredAsCodeAroundEighty) {
  song.SetTranspose(2, -12);
  EXPECT_EQ(song.ChannelParams(2, TVNSong::ParamTranspose), 68);
  EXPECT_EQ(song.GetTranspose(2), -12);
  song.SetTranspose(2, 12);
  EXPECT_EQ(song.ChannelParams(2, TVNSong::ParamTranspose), 92);
  EXPECT_EQ(song.GetTranspose(2), 12);
  song.SetTranspose(2, 0);
  EXPECT_EQ(song.ChannelParams(2, TVNSong::ParamTranspose), 0);
  EXPECT_EQ(song.GetTranspose(2), 0);
}

TEST_F(SongModel, Transpose_ChannelOutsideSong_IgnoredAndReadsZero) {
  song.SetTranspose(16, 5);
  song.SetTranspose(-1, 5);
  EXPECT_FALSE(song.Modified);
  EXPECT_EQ(song.GetTranspose(16), 0);
  EXPECT_EQ(song.GetTranspose(-1), 0);
  for (int c = 0; c < 16; ++c) EXPECT_EQ(song.GetTranspose(c), 0);
}

TEST_F(SongModel, MidiParam_ByteOf128OrMore_ReadsMinusOne) {
  song.StoreMidiChannelParam(3, 2, 255);
  EXPECT_EQ(song.GetMidiParam(3, 2), -1);
  song.StoreMidiChannelParam(3, 2, 128);
  EXPECT_EQ(song.GetMidiParam(3, 2), -1);
  song.StoreMidiChannelParam(3, 2, 127);
  EXPECT_EQ(song.GetMidiParam(3, 2), 127);
  song.SetMidiParam(3, 2, -1);
  EXPECT_EQ(song.MidiChannelParams(3, 2), 255);
  song.SetMidiParam(3, 0, 40);
  EXPECT_EQ(song.GetProgram(3), 40);
}

TEST_F(SongModel, Getters_OutsideRange_ReadZero) {
  song.SetProgram(0, 5);
  song.SetVelocity(15, 90);
  for (int i : {-1, 48}) EXPECT_EQ(song.GetProgram(i), 0) << i;
  for (int i : {-1, 16}) {
    EXPECT_EQ(song.GetTrackType(i) + song.GetTrackChannel(i) + song.GetTrackParam(i), 0) << i;
    EXPECT_EQ(song.GetMidiChannel(i) + song.GetVelocity(i) + song.GetReleaseMode(i), 0) << i;
  }
}

TEST_F(SongModel, ModifiedFlag_SettersMarkSongOnlyWhenAValueChanges) {
  struct Case {
    const char* name;
    std::function<void(TVNSong&)> op;
    bool sets;
  };
  const std::vector<Case> cases = {
      {"SetCellData", [](TVNSong& s) { s.SetCellData(0, 0, 60); }, true},
      {"SetCellData refused", [](TVNSong& s) { s.SetCellData(-1, 0, 60); }, false},
      {"SetCellData same value", [](TVNSong& s) { s.SetCellData(0, 0, CellEmpty); }, false},
      {"SetVelocity same value", [](TVNSong& s) { s.SetVelocity(0, 100); }, false},
      {"SetProgram same value", [](TVNSong& s) { s.SetProgram(0, 0); }, false},
      {"SetLastRow", [](TVNSong& s) { s.SetLastRow(31); }, true},
      {"SetTrackParam", [](TVNSong& s) { s.SetTrackParam(0, 5); }, true},
      {"SetMidiChannel", [](TVNSong& s) { s.SetMidiChannel(0, 3); }, true},
      {"SetVelocity", [](TVNSong& s) { s.SetVelocity(0, 90); }, true},
      {"SetReleaseMode", [](TVNSong& s) { s.SetReleaseMode(0, 255); }, true},
      {"SetTranspose", [](TVNSong& s) { s.SetTranspose(0, 3); }, true},
      {"SetProgram", [](TVNSong& s) { s.SetProgram(0, 5); }, true},
      {"SetOrder same value", [](TVNSong& s) { s.SetOrder(0, 0, 0); }, true},
      {"SelectPattern append", [](TVNSong& s) { s.SelectPattern(1); }, true},
      {"SetMidiParam", [](TVNSong& s) { s.SetMidiParam(0, 1, 64); }, false},
      {"SelectPattern 0", [](TVNSong& s) { s.SelectPattern(0); }, false},
      {"reads", [](TVNSong& s) { (void)s.CellText(0, 0); (void)s.GetCellData(0, 0); (void)s.GetOrder(0, 0); }, false},
  };
  for (const auto& c : cases) {
    TVNSong s;
    c.op(s);
    EXPECT_EQ(bool(s.Modified), c.sets) << c.name;
  }
}

TEST_F(SongModel, MinLastRowAt_SmallestNamedPatternOr255) {
  MakeSong(song, 2, 64);
  song.InsertPattern(1, 16);
  song.InsertPattern(2, 32);
  song.SetOrder(1, 0, 2);
  song.SetOrder(0, 1, 1);
  song.SetOrder(1, 1, OrderNoteOff);
  song.SetOrder(0, 2, OrderNoteOff);
  EXPECT_EQ(song.MinLastRowAt(0), 31);
  EXPECT_EQ(song.MinLastRowAt(1), 15);
  EXPECT_EQ(song.MinLastRowAt(2), 255);
  EXPECT_EQ(song.MinLastRowAt(3), 255);
}

// Loads s with tracks n0 n1 n2 n5 from a file that counts three channels; loading fits the
// channels to the tracks, so channels 3 and 4 exist without tracks.
class FitChannels : public SongModel {
 protected:
  void SetUp() override {
    MakeSong(song, 3, 64);
    song.SetOrder(0, 1, 0);
    song.SetMidiChannel(1, 9);
    song.SetVelocity(1, 50);
    song.SetChannelOn(2, false);
    ASSERT_NO_FATAL_FAILURE(LoadTracklessChannels(song));
  }
};

TEST_F(FitChannels, FitChannelsToTracks_AddsMissingChannelsSwitchedOn) {
  ASSERT_EQ(song.ChannelsCount(), 6);
  for (int c = 3; c < 6; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c));
    EXPECT_EQ(song.GetMidiChannel(c), c);
    EXPECT_EQ(song.GetVelocity(c), 100);
    EXPECT_EQ(song.GetReleaseMode(c), 0);
    EXPECT_EQ(song.GetTranspose(c), 0);
    EXPECT_TRUE(song.ChannelOn(c));
    EXPECT_FALSE(song.ChannelSoloExempt(c));
    EXPECT_EQ(song.GetOrder(c, 0), 0);
    EXPECT_EQ(song.GetOrder(c, 1), 0);
  }
  EXPECT_EQ(song.GetMidiChannel(1), 9);
  EXPECT_EQ(song.GetVelocity(1), 50);
  EXPECT_FALSE(song.ChannelOn(2));
  EXPECT_EQ(song.GetOrder(1, 1), OrderEmpty);
  song.FitChannelsToTracks();
  EXPECT_EQ(song.ChannelsCount(), 6);
}

TEST_F(FitChannels, ChannelTracks_ChannelWithoutTracks_GivesEmptyRange) {
  for (int c : {3, 4}) {
    int first = 0, end = 0;
    song.ChannelTracks(c, first, end);
    EXPECT_GE(first, end) << c;
  }
  int first = 0, end = 0;
  song.ChannelTracks(5, first, end);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(end, 4);
}

}  // namespace
}  // namespace varnel
