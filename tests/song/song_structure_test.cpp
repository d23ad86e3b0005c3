// Structure operations: patterns, tracks and channels come and go while cells, order lists and
// channel settings stay consistent; InsertNote finds a free note cell.
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

// "n0 v0 x4:1": type letter (x + number for automation) and channel of every track.
std::string Layout(const TVNSong& s) {
  std::string out;
  for (int t = 0; t < s.TracksCount(); ++t) {
    const int type = s.GetTrackType(t);
    if (t) out += ' ';
    out += type == ttNote ? "n" : type == ttVelocity ? "v" : "x" + std::to_string(type) + ":";
    out += std::to_string(s.GetTrackChannel(t));
  }
  return out;
}

// A marker below 128 in row 1 and in hidden row 255 of every track of every pattern.
int Marker(int pattern, int track) { return track * 4 + pattern; }
void MarkCells(TVNSong& s) {
  for (int p = 0; p < s.PatternsCount(); ++p)
    for (int t = 0; t < s.TracksCount(); ++t) {
      s.StoreCell(p, t, 1, Marker(p, t));
      s.StoreCell(p, t, 255, Marker(p, t));
    }
}
void ExpectMarker(const TVNSong& s, int pattern, int track, int wasPattern, int wasTrack) {
  EXPECT_EQ(s.CellData(pattern, track, 1), Marker(wasPattern, wasTrack)) << "pattern " << pattern << " track " << track;
  EXPECT_EQ(s.CellData(pattern, track, 255), Marker(wasPattern, wasTrack)) << "pattern " << pattern << " track " << track;
}
void ExpectTrackEmpty(const TVNSong& s, int pattern, int track) {
  const int empty = EmptyValue(s.GetTrackType(track));
  for (int r = 0; r < RowsPerPattern; ++r)
    ASSERT_EQ(s.CellData(pattern, track, r), empty) << "pattern " << pattern << " track " << track << " row " << r;
}
std::vector<int> OrderList(const TVNSong& s, int channel) {
  std::vector<int> out;
  for (int pos = 0; pos < s.OrderLength(); ++pos) out.push_back(s.GetOrder(channel, pos));
  return out;
}
using Ints = std::vector<int>;

// Loads s with tracks n0 n1 n2 n5 from a file that counts three channels; loading fits the
// channels to the tracks, so channels 3 and 4 exist without tracks.
class Structure : public ::testing::Test {
 protected:
  RecordingReporter rep;
  TVNSong song{&rep};
};

// Tracks: n0 v0 n0 p0 | n1 n1 | n2. Channel 1's first note track follows a pan track.
class TrackGroups : public Structure {
 protected:
  void SetUp() override {
    MakeSong(song, 3, 64);
    ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
    ASSERT_TRUE(song.AddTrack(0, ttNote, -1, -1));
    ASSERT_TRUE(song.AddTrack(2, ttPan, -1, -1));
    ASSERT_TRUE(song.AddTrack(4, ttNote, -1, -1));
    ASSERT_EQ(song.TracksCount(), 7);
  }
};

TEST_F(TrackGroups, NoteTrackIndex_CountsNoteTracksOfSameChannelToTheLeft) {
  const int expected[] = {0, 1, 1, 2, 0, 1, 0};
  for (int t = 0; t < 7; ++t) EXPECT_EQ(song.NoteTrackIndex(t), expected[t]) << "track " << t;
}

TEST_F(TrackGroups, ChannelTracks_GivesRangeOfChannel) {
  const int ranges[][2] = {{0, 4}, {4, 6}, {6, 7}};
  for (int c = 0; c < 3; ++c) {
    int first = -5, end = -5;
    song.ChannelTracks(c, first, end);
    EXPECT_EQ(first, ranges[c][0]) << c;
    EXPECT_EQ(end, ranges[c][1]) << c;
  }
}

TEST_F(TrackGroups, IsTrackEmpty_LooksOnlyAtRowsUpToLastRow) {
  song.SetLastRow(15);
  EXPECT_TRUE(song.IsTrackEmpty(0, 0));
  song.StoreCell(0, 0, 20, 60);  // hidden row
  EXPECT_TRUE(song.IsTrackEmpty(0, 0));
  song.StoreCell(0, 0, 15, CellNoteOff);
  EXPECT_FALSE(song.IsTrackEmpty(0, 0));
  song.StoreCell(0, 3, 0, 0);  // pan 0 is a value
  EXPECT_FALSE(song.IsTrackEmpty(0, 3));
}

TEST_F(Structure, IsTrackEmpty_TempoTrack_ZeroIsEmptyAnd128IsATempo) {
  ASSERT_TRUE(song.AddTrack(0, ttTempo, -1, -1));
  EXPECT_TRUE(song.IsTrackEmpty(0, 1));
  song.StoreCell(0, 1, 5, 128);
  EXPECT_FALSE(song.IsTrackEmpty(0, 1));
}

TEST_F(Structure, InsertPatternAtZero_RenumbersOrderAndMovesPatterns) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.InsertPattern(1, 16));
  song.SetOrder(0, 1, 1);
  song.SetOrder(0, 2, OrderNoteOff);
  song.SetOrder(1, 0, 1);
  song.SetOrder(1, 2, 0);
  ASSERT_EQ(OrderList(song, 1), (Ints{1, OrderEmpty, 0}));
  MarkCells(song);
  song.CurrentPattern = 1;
  song.StorePatternParam(1, 1, 7);
  song.Modified = false;

  ASSERT_TRUE(song.InsertPattern(0, 32));
  ASSERT_EQ(song.PatternsCount(), 3);
  EXPECT_EQ(OrderList(song, 0), (Ints{1, 2, OrderNoteOff}));
  EXPECT_EQ(OrderList(song, 1), (Ints{2, OrderEmpty, 1}));
  EXPECT_EQ(song.LastRow(0), 31);
  EXPECT_EQ(song.PatternParams(0, 1), 7);  // a copy of the current pattern's record
  EXPECT_EQ(song.LastRow(1), 63);
  EXPECT_EQ(song.LastRow(2), 15);
  for (int t = 0; t < 2; ++t) {
    ExpectTrackEmpty(song, 0, t);
    ExpectMarker(song, 1, t, 0, t);
    ExpectMarker(song, 2, t, 1, t);
  }
  EXPECT_EQ(song.GetCurrentPattern(), 1);
  EXPECT_TRUE(song.Modified);
}

TEST_F(Structure, InsertPattern_Append_MovesNothingAndFillsEmptyValuePerType) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.AddTrack(0, ttTempo, -1, -1));
  ASSERT_TRUE(song.AddTrack(1, ttPan, -1, -1));
  MarkCells(song);
  ASSERT_TRUE(song.InsertPattern(1, 256));
  EXPECT_EQ(song.LastRow(1), 255);
  EXPECT_EQ(song.GetOrder(0, 0), 0);
  for (int t = 0; t < 4; ++t) {
    ExpectMarker(song, 0, t, 0, t);
    ExpectTrackEmpty(song, 1, t);
  }
  EXPECT_EQ(song.CellData(1, 1, 0), 0);  // tempo tracks are empty at 0
}

TEST_F(Structure, InsertPattern_Append_KeepsEntriesNamingPatternsNotYetThere) {
  MakeSong(song, 2, 16);
  song.SetOrder(0, 1, 7);  // typed in the order editor before pattern 7 exists
  song.SetOrder(1, 1, 1);
  ASSERT_TRUE(song.InsertPattern(song.PatternsCount(), 16));
  EXPECT_EQ(song.GetOrder(0, 1), 7);
  EXPECT_EQ(song.GetOrder(1, 1), 1);  // now names the appended pattern, as typed
}

TEST_F(Structure, InsertPattern_At256Patterns_RefusedWithMessage) {
  MakeSong(song, 1, 1);
  while (song.PatternsCount() < MaxPatterns) ASSERT_TRUE(song.InsertPattern(song.PatternsCount(), 1));
  song.SetOrder(0, 0, 255);
  song.StoreCell(255, 0, 0, 60);
  rep.Clear();
  EXPECT_FALSE(song.InsertPattern(0, 4));
  EXPECT_FALSE(song.InsertPattern(MaxPatterns, 4));
  EXPECT_EQ(song.PatternsCount(), MaxPatterns);
  EXPECT_EQ(song.GetOrder(0, 0), 255);
  EXPECT_EQ(song.CellData(255, 0, 0), 60);
  ASSERT_FALSE(rep.messages.empty());
  EXPECT_EQ(rep.messages[0].rfind("Maximum number of patterns reached", 0), 0u) << rep.messages[0];

  song.SelectPattern(MaxPatterns);  // appending through the pattern selector is refused too
  EXPECT_EQ(song.PatternsCount(), MaxPatterns);
  EXPECT_LT(song.GetCurrentPattern(), MaxPatterns);
}

TEST_F(Structure, DeletePatternOne_RenumbersAndEmptiesEntries) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.InsertPattern(1, 16));
  ASSERT_TRUE(song.InsertPattern(2, 32));
  const int lists[2][4] = {{0, 1, 2, OrderNoteOff}, {2, 2, 1, 0}};
  for (int c = 0; c < 2; ++c)
    for (int pos = 0; pos < 4; ++pos) song.SetOrder(c, pos, lists[c][pos]);
  MarkCells(song);
  song.CurrentPattern = 2;
  song.Modified = false;

  song.DeletePattern(1);
  ASSERT_EQ(song.PatternsCount(), 2);
  EXPECT_EQ(OrderList(song, 0), (Ints{0, OrderEmpty, 1, OrderNoteOff}));
  EXPECT_EQ(OrderList(song, 1), (Ints{1, 1, OrderEmpty, 0}));
  EXPECT_EQ(song.LastRow(0), 63);
  EXPECT_EQ(song.LastRow(1), 31);
  for (int t = 0; t < 2; ++t) {
    ExpectMarker(song, 0, t, 0, t);
    ExpectMarker(song, 1, t, 2, t);
  }
  EXPECT_EQ(song.GetCurrentPattern(), 2);  // the caller selects a valid pattern
  EXPECT_TRUE(song.Modified);
}

TEST_F(Structure, DeletePattern_OnlyUseAtLastPosition_ShortensOrder) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.InsertPattern(1, 64));
  song.SetOrder(0, 1, 1);
  song.SetOrder(1, 1, 1);
  song.DeletePattern(1);
  EXPECT_EQ(song.OrderLength(), 1);
  EXPECT_EQ(song.GetOrder(0, 0), 0);
}

TEST_F(Structure, AddTrack_AfterNoteTrack_InsertsRightOfItAndMovesCells) {
  ASSERT_TRUE(song.InsertPattern(1, 64));
  MarkCells(song);
  song.Modified = false;
  ASSERT_TRUE(song.AddTrack(0, ttNote, -1, -1));
  EXPECT_TRUE(song.Modified);
  ASSERT_EQ(song.TracksCount(), 17);
  EXPECT_EQ(song.ChannelsCount(), 16);
  EXPECT_EQ(Layout(song).substr(0, 8), "n0 n0 n1");
  for (int p = 0; p < 2; ++p) {
    ExpectMarker(song, p, 0, p, 0);
    ExpectTrackEmpty(song, p, 1);
    for (int t = 2; t < 17; ++t) ExpectMarker(song, p, t, p, t - 1);
  }
}

TEST_F(Structure, AddTrack_AfterNoteWithVelocity_GoesBehindTheVelocityTrack) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  ASSERT_EQ(Layout(song), "n0 v0 n1");
  ASSERT_TRUE(song.AddTrack(0, ttPan, -1, -1));
  EXPECT_EQ(Layout(song), "n0 v0 x4:0 n1");
}

TEST_F(Structure, AddTrack_ExplicitChannel_TakesIndexAfter) {
  MakeSong(song, 4, 64);
  ASSERT_TRUE(song.AddTrack(3, ttNote, -1, 2));
  EXPECT_EQ(Layout(song), "n0 n1 n2 n2 n3");
  ASSERT_TRUE(song.AddTrack(5, ttNote, -1, 3));
  EXPECT_EQ(Layout(song), "n0 n1 n2 n2 n3 n3");
}

TEST_F(Structure, AddTrack_ParameterTypes_KeepParam) {
  MakeSong(song, 1, 64);
  ASSERT_TRUE(song.AddTrack(0, ttControlChange, 74, -1));
  ASSERT_TRUE(song.AddTrack(1, ttNRPN, 5 * 128 + 3, -1));
  ASSERT_TRUE(song.AddTrack(2, ttTempo, 9, -1));
  EXPECT_EQ(song.GetTrackParam(1), 74);
  EXPECT_EQ(song.GetTrackParam(2), 643);
  EXPECT_EQ(song.GetTrackParam(3), 9);
}

TEST_F(Structure, AddTrack_EveryType_FillsEmptyValue) {
  const int types[] = {ttVelocity, ttPan, ttChannelVolume, ttModulation, ttExpression, ttSustain, ttReverb, ttChorus,
                       ttFilterCut, ttFilterRes, ttPitchWheel, ttControlChange, ttNRPN, ttRPN, ttProgram, ttTempo};
  for (int type : types) {
    SCOPED_TRACE("type " + std::to_string(type));
    MakeSong(song, 1, 64);
    ASSERT_TRUE(song.InsertPattern(1, 64));
    ASSERT_TRUE(song.AddTrack(0, type, 1, -1));
    EXPECT_EQ(song.GetTrackType(1), type);
    for (int p = 0; p < 2; ++p)
      for (int r = 0; r < RowsPerPattern; ++r) ASSERT_EQ(song.CellData(p, 1, r), type == ttTempo ? 0 : CellEmpty);
  }
}

TEST_F(Structure, AddVelocityTrack_NotRightOfBareNoteTrack_RefusedWithChannelFromOne) {
  ASSERT_TRUE(song.AddTrack(2, ttPan, -1, -1));
  ASSERT_TRUE(song.AddTrack(5, ttVelocity, -1, -1));
  ASSERT_EQ(Layout(song).substr(0, 20), "n0 n1 n2 x4:2 n3 n4 ");
  const std::string before = Layout(song);
  rep.Clear();
  song.Modified = false;
  EXPECT_FALSE(song.AddTrack(3, ttVelocity, -1, -1));  // after a pan track
  EXPECT_FALSE(song.AddTrack(5, ttVelocity, -1, -1));  // the note track already has one
  EXPECT_EQ(rep.messages,
            (std::vector<std::string>{"Cannot add volume track for channel #3", "Cannot add volume track for channel #5"}));
  EXPECT_EQ(Layout(song), before);
  EXPECT_FALSE(song.Modified);
}

TEST_F(Structure, AddTrack_At256Tracks_RefusedWithMessage) {
  MakeSong(song, 1, 1);
  while (song.TracksCount() < MaxTracks) ASSERT_TRUE(song.AddTrack(0, ttNote, -1, -1));
  rep.Clear();
  song.Modified = false;
  EXPECT_FALSE(song.AddTrack(0, ttNote, -1, -1));
  EXPECT_EQ(song.TracksCount(), MaxTracks);
  EXPECT_EQ(rep.messages, (std::vector<std::string>{"Maximum number of tracks reached (256)"}));
  EXPECT_FALSE(song.Modified);
}

TEST_F(Structure, DeleteTrack_LastTrackOfSong_Refused) {
  MakeSong(song, 1, 64);
  song.Modified = false;
  EXPECT_FALSE(song.DeleteTrack(0));
  EXPECT_EQ(song.TracksCount(), 1);
  EXPECT_EQ(song.ChannelsCount(), 1);
  EXPECT_EQ(rep.messages, (std::vector<std::string>{"Cannot delete the last track of the song"}));
  EXPECT_FALSE(song.Modified);
}

TEST_F(Structure, DeleteTrack_NoteTrackWithVelocity_RefusedUntilVelocityGoes) {
  MakeSong(song, 2, 64);
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  song.Modified = false;
  EXPECT_FALSE(song.DeleteTrack(0));
  EXPECT_EQ(rep.messages, (std::vector<std::string>{"Please remove the volume track first"}));
  EXPECT_EQ(Layout(song), "n0 v0 n1");
  EXPECT_FALSE(song.Modified);
  EXPECT_TRUE(song.DeleteTrack(1));
  EXPECT_TRUE(song.Modified);
  EXPECT_EQ(Layout(song), "n0 n1");
}

TEST_F(Structure, DeleteTrack_OneOfSeveralInChannel_KeepsChannelAndMovesCells) {
  MakeSong(song, 3, 64);
  ASSERT_TRUE(song.AddTrack(1, ttPan, -1, -1));
  ASSERT_TRUE(song.InsertPattern(1, 64));
  MarkCells(song);
  ASSERT_TRUE(song.DeleteTrack(1));
  EXPECT_EQ(Layout(song), "n0 x4:1 n2");
  EXPECT_EQ(song.ChannelsCount(), 3);
  for (int p = 0; p < 2; ++p) {
    ExpectMarker(song, p, 0, p, 0);
    ExpectMarker(song, p, 1, p, 2);
    ExpectMarker(song, p, 2, p, 3);
  }
}

TEST_F(Structure, DeleteTrack_OnlyTrackOfChannel_RemovesChannelAndShiftsSettings) {
  MakeSong(song, 4, 64);
  ASSERT_TRUE(song.InsertPattern(1, 64));
  song.SetMidiChannel(3, 7);
  song.SetVelocity(3, 55);
  song.SetReleaseMode(3, 255);
  song.SetTranspose(3, 5);
  song.SetChannelOn(3, false);
  song.SetChannelSoloExempt(3, true);
  song.SetOrder(3, 0, 1);
  song.SetOrder(3, 1, OrderNoteOff);
  song.SetOrder(1, 1, 1);
  MarkCells(song);

  ASSERT_TRUE(song.DeleteTrack(2));
  ASSERT_EQ(song.ChannelsCount(), 3);
  EXPECT_EQ(Layout(song), "n0 n1 n2");
  EXPECT_EQ(song.GetMidiChannel(2), 7);
  EXPECT_EQ(song.GetVelocity(2), 55);
  EXPECT_EQ(song.GetReleaseMode(2), 255);
  EXPECT_EQ(song.GetTranspose(2), 5);
  EXPECT_FALSE(song.ChannelOn(2));
  EXPECT_TRUE(song.ChannelSoloExempt(2));
  EXPECT_EQ(OrderList(song, 2), (Ints{1, OrderNoteOff}));
  EXPECT_EQ(OrderList(song, 1), (Ints{0, 1}));
  EXPECT_EQ(song.GetMidiChannel(1), 1);
  EXPECT_TRUE(song.ChannelOn(1));
  for (int p = 0; p < 2; ++p) ExpectMarker(song, p, 2, p, 3);
}

TEST_F(Structure, DeleteTrack_OutOfRange_ChangesNothing) {
  MakeSong(song, 2, 64);
  EXPECT_FALSE(song.DeleteTrack(-1));
  EXPECT_FALSE(song.DeleteTrack(2));
  EXPECT_EQ(Layout(song), "n0 n1");
  EXPECT_EQ(song.ChannelsCount(), 2);
}

TEST_F(Structure, InsertChannelOne_DefaultSong_AddsChannelCopyingItsSuccessor) {
  ASSERT_TRUE(song.InsertPattern(1, 64));
  song.SetVelocity(1, 77);
  song.SetChannelOn(1, false);
  song.SetChannelSoloExempt(1, true);
  song.SetOrder(1, 1, 1);
  MarkCells(song);
  ASSERT_TRUE(song.InsertChannel(1));
  ASSERT_EQ(song.ChannelsCount(), 17);
  ASSERT_EQ(song.TracksCount(), 17);
  EXPECT_EQ(song.GetTrackType(1), ttNote);
  for (int t = 0; t < 17; ++t) EXPECT_EQ(song.GetTrackChannel(t), t);
  EXPECT_EQ(song.GetMidiChannel(1), 1);
  EXPECT_EQ(song.GetVelocity(1), 77);
  EXPECT_TRUE(song.ChannelOn(1));
  EXPECT_FALSE(song.ChannelSoloExempt(1));
  EXPECT_EQ(OrderList(song, 1), (Ints{0, 1}));
  EXPECT_EQ(song.GetMidiChannel(2), 1);
  EXPECT_FALSE(song.ChannelOn(2));
  EXPECT_TRUE(song.ChannelSoloExempt(2));
  EXPECT_EQ(OrderList(song, 2), (Ints{0, 1}));
  EXPECT_EQ(song.GetMidiChannel(16), 15);
  for (int p = 0; p < 2; ++p) {
    ExpectTrackEmpty(song, p, 1);
    ExpectMarker(song, p, 2, p, 1);
    ExpectMarker(song, p, 16, p, 15);
  }
  EXPECT_TRUE(song.Modified);
}

TEST_F(Structure, InsertChannel_BeforeNoteWithVelocity_NeverSplitsThePair) {
  MakeSong(song, 3, 64);
  ASSERT_TRUE(song.AddTrack(1, ttVelocity, -1, -1));
  ASSERT_TRUE(song.InsertChannel(1));
  EXPECT_EQ(Layout(song), "n0 n1 n2 v2 n3");
}

TEST_F(Structure, InsertChannel_At255Channels_RefusedBeforeChangingAnything) {
  MakeSong(song, MaxChannels, 1);
  song.StoreCell(0, 0, 0, 60);
  EXPECT_FALSE(song.InsertChannel(0));
  EXPECT_EQ(song.ChannelsCount(), MaxChannels);
  EXPECT_EQ(song.TracksCount(), MaxChannels);
  for (int t = 0; t < MaxChannels; ++t) ASSERT_EQ(song.GetTrackChannel(t), t);
  EXPECT_EQ(song.CellData(0, 0, 0), 60);
}

TEST_F(Structure, InsertChannel_At256Tracks_RefusedBeforeRenumbering) {
  MakeSong(song, 2, 1);
  while (song.TracksCount() < MaxTracks) ASSERT_TRUE(song.AddTrack(0, ttNote, -1, -1));
  song.SetVelocity(1, 33);
  EXPECT_FALSE(song.InsertChannel(1));
  EXPECT_EQ(song.ChannelsCount(), 2);
  EXPECT_EQ(song.TracksCount(), MaxTracks);
  EXPECT_EQ(song.GetTrackChannel(MaxTracks - 2), 0);
  EXPECT_EQ(song.GetTrackChannel(MaxTracks - 1), 1);
  EXPECT_EQ(song.GetVelocity(1), 33);
}

// Tracks n0 n1 n2 n5 with six channels: channels 3 and 4 have no tracks.
class TracklessChannels : public Structure {
 protected:
  void SetUp() override {
    MakeSong(song, 3, 64);
    ASSERT_NO_FATAL_FAILURE(LoadTracklessChannels(song));
    ASSERT_EQ(Layout(song), "n0 n1 n2 n5");
  }
};

TEST_F(TracklessChannels, InsertChannel_BeforeTracklessChannel_KeepsChannelOrder) {
  ASSERT_TRUE(song.InsertChannel(3));
  EXPECT_EQ(song.ChannelsCount(), 7);
  EXPECT_EQ(Layout(song), "n0 n1 n2 n3 n6");
}

TEST_F(TracklessChannels, RemoveChannel_WithoutTracks_LeftAlone) {
  song.RemoveChannel(3);
  EXPECT_EQ(song.ChannelsCount(), 6);
  EXPECT_EQ(Layout(song), "n0 n1 n2 n5");
}

TEST_F(TracklessChannels, InsertNote_TracklessChannel_PlacesTrackBeforeHigherChannel) {
  EXPECT_EQ(song.InsertNote(3, 4, 255, 0, 60), 3);
  EXPECT_EQ(Layout(song), "n0 n1 n2 n3 n5");
  EXPECT_EQ(song.CellData(0, 3, 4), 60);
}

TEST_F(TracklessChannels, InsertNote_TracklessTopChannel_PlacesTrackLast) {
  ASSERT_TRUE(song.DeleteTrack(3));  // channel 5 goes with its only track
  ASSERT_EQ(song.ChannelsCount(), 5);
  EXPECT_EQ(song.InsertNote(4, 4, 255, 0, CellNoteOff), -1);
  EXPECT_EQ(song.TracksCount(), 3);
  EXPECT_EQ(song.InsertNote(4, 4, 255, 0, 60), 3);
  EXPECT_EQ(Layout(song), "n0 n1 n2 n4");
  EXPECT_EQ(song.CellData(0, 3, 4), 60);
}

TEST_F(Structure, RemoveChannel_SeveralTracks_RemovesThemAndTheChannel) {
  MakeSong(song, 3, 64);
  ASSERT_TRUE(song.AddTrack(1, ttVelocity, -1, -1));
  ASSERT_TRUE(song.AddTrack(2, ttPan, -1, -1));
  song.SetVelocity(2, 44);
  ASSERT_EQ(Layout(song), "n0 n1 v1 x4:1 n2");
  song.RemoveChannel(1);
  EXPECT_EQ(Layout(song), "n0 n1");
  EXPECT_EQ(song.ChannelsCount(), 2);
  EXPECT_EQ(song.GetVelocity(1), 44);
  EXPECT_TRUE(song.Modified);
}

TEST_F(Structure, RemoveChannel_HoldingLastTrack_KeepsThatTrack) {
  MakeSong(song, 1, 64);
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  rep.Clear();
  song.RemoveChannel(0);
  EXPECT_EQ(Layout(song), "n0");
  EXPECT_EQ(song.ChannelsCount(), 1);
  EXPECT_EQ(rep.messages, (std::vector<std::string>{"Cannot delete the last track of the song"}));
}

// Tracks n0 v0 n0 | n1 | n2: channel 0 has two note tracks and a velocity track between them.
class InsertNote : public Structure {
 protected:
  void SetUp() override {
    MakeSong(song, 3, 64);
    ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
    ASSERT_TRUE(song.AddTrack(0, ttNote, -1, -1));
    ASSERT_EQ(Layout(song), "n0 v0 n0 n1 n2");
    rep.Clear();
  }
  bool SaidNotInserted() const {
    for (const auto& s : rep.statuses)
      if (s.text.rfind("Not inserted", 0) == 0) return true;
    return false;
  }
};

TEST_F(InsertNote, FreeCells_FillNoteTracksLeftToRight) {
  EXPECT_EQ(song.InsertNote(0, 5, 255, 0, 60), 0);
  EXPECT_EQ(song.InsertNote(0, 5, 255, 0, 62), 2);
  EXPECT_EQ(song.CellData(0, 0, 5), 60);
  EXPECT_EQ(song.CellData(0, 1, 5), CellEmpty);
  EXPECT_EQ(song.CellData(0, 2, 5), 62);
  EXPECT_EQ(song.TracksCount(), 5);
}

TEST_F(InsertNote, NoteOffCell_TakesNoteButNotAnotherNoteOff) {
  song.StoreCell(0, 0, 5, CellNoteOff);
  EXPECT_EQ(song.InsertNote(0, 5, 255, 0, CellNoteOff), 2);
  EXPECT_EQ(song.CellData(0, 2, 5), CellNoteOff);
  EXPECT_EQ(song.InsertNote(0, 5, 255, 0, 64), 0);
  EXPECT_EQ(song.CellData(0, 0, 5), 64);
}

TEST_F(InsertNote, ChannelFull_AddsNoteTrackBeforeNextChannel) {
  song.StoreCell(0, 0, 5, 60);
  song.StoreCell(0, 2, 5, 62);
  song.StoreCell(0, 3, 5, 40);
  EXPECT_EQ(song.InsertNote(0, 5, 255, 0, 64), 3);
  EXPECT_EQ(Layout(song), "n0 v0 n0 n0 n1 n2");
  EXPECT_EQ(song.CellData(0, 3, 5), 64);
  EXPECT_EQ(song.CellData(0, 4, 5), 40);
  EXPECT_EQ(song.CellData(0, 2, 5), 62);
  EXPECT_FALSE(SaidNotInserted());
}

TEST_F(InsertNote, ChannelFull_NoteOffFailsSilently) {
  song.StoreCell(0, 0, 5, 60);
  song.StoreCell(0, 2, 5, 62);
  EXPECT_EQ(song.InsertNote(0, 5, 255, 0, CellNoteOff), -1);
  EXPECT_EQ(song.TracksCount(), 5);
  EXPECT_FALSE(SaidNotInserted());
  EXPECT_TRUE(rep.messages.empty());
}

TEST_F(InsertNote, LastChannelFull_AddsNoteTrackAfterTheLastTrack) {
  song.StoreCell(0, 4, 5, 60);
  ASSERT_TRUE(song.AddTrack(4, ttPan, -1, -1));
  EXPECT_EQ(song.InsertNote(2, 5, 255, 0, 61), 6);
  EXPECT_EQ(Layout(song), "n0 v0 n0 n1 n2 x4:2 n2");
  EXPECT_EQ(song.CellData(0, 4, 5), 60);
  EXPECT_EQ(song.CellData(0, 6, 5), 61);
  EXPECT_FALSE(SaidNotInserted());
  EXPECT_EQ(song.InsertNote(2, 5, 255, 0, CellNoteOff), -1);  // a release never adds a track
  EXPECT_EQ(song.TracksCount(), 7);
}

TEST_F(InsertNote, ChordOnLastChannelWithAutomationTrack_GetsTracksAfterTheLastTrack) {
  ASSERT_TRUE(song.AddTrack(4, ttPan, -1, -1));
  // A chord of three on channel 2: its one note track holds the root, two notes need tracks.
  for (int f = 1; f <= 2; ++f) EXPECT_EQ(song.InsertNote(2, 5, uint8_t(f), uint8_t(f), uint8_t(60 + 4 * f)), 5 + f);
  EXPECT_EQ(Layout(song), "n0 v0 n0 n1 n2 x4:2 n2 n2");
  EXPECT_EQ(song.CellData(0, 6, 5), 64);
  EXPECT_EQ(song.CellData(0, 7, 5), 68);
  EXPECT_FALSE(SaidNotInserted());
}

TEST_F(InsertNote, LastChannelFull_At256Tracks_ReportsNotInserted) {
  while (song.TracksCount() < MaxTracks) ASSERT_TRUE(song.AddTrack(song.TracksCount() - 1, ttNote, -1, -1));
  for (int t = 0; t < MaxTracks; ++t) song.StoreCell(0, t, 5, 60);
  rep.Clear();
  EXPECT_EQ(song.InsertNote(2, 5, 255, 0, 61), -1);
  EXPECT_EQ(song.TracksCount(), MaxTracks);
  EXPECT_TRUE(rep.SaidStatus("Not inserted, channel: 2 row: 5 61"));
  EXPECT_TRUE(rep.messages.empty());
}

TEST_F(InsertNote, SkippedLastTrackOfSong_AddsTrackAfterIt) {
  song.StoreCell(0, 4, 5, 60);
  EXPECT_EQ(song.InsertNote(2, 5, 1, 1, CellNoteOff), -1);  // a note-off never adds a track
  EXPECT_EQ(song.TracksCount(), 5);
  EXPECT_FALSE(SaidNotInserted());
  EXPECT_EQ(song.InsertNote(2, 5, 1, 1, 62), 5);
  EXPECT_EQ(Layout(song), "n0 v0 n0 n1 n2 n2");
  EXPECT_EQ(song.CellData(0, 5, 5), 62);
  EXPECT_EQ(song.CellData(0, 4, 5), 60);
}

TEST_F(InsertNote, SkippedTracksOfMiddleChannel_AddsTrackBeforeNextChannel) {
  EXPECT_EQ(song.InsertNote(1, 5, 1, 1, 50), 4);
  EXPECT_EQ(Layout(song), "n0 v0 n0 n1 n1 n2");
  EXPECT_EQ(song.CellData(0, 3, 5), CellEmpty);
  EXPECT_EQ(song.CellData(0, 4, 5), 50);
}

TEST_F(InsertNote, ForceFrom_OverwritesOccupiedCellFromThatCount) {
  song.StoreCell(0, 0, 5, 60);
  song.StoreCell(0, 2, 5, 62);
  EXPECT_EQ(song.InsertNote(0, 5, 2, 1, 70), 2);  // chord entry from the second note track
  EXPECT_EQ(song.CellData(0, 0, 5), 60);
  EXPECT_EQ(song.CellData(0, 2, 5), 70);
  EXPECT_EQ(song.InsertNote(0, 5, 1, 0, 71), 0);
  EXPECT_EQ(song.CellData(0, 0, 5), 71);
}

}  // namespace
}  // namespace varnel
