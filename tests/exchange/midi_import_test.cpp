// MIDI file import: header, row and pattern placement, note placement by both methods, channel
// settings, tempo, key, texts and the final song.
#include <gtest/gtest.h>

#include "exchange/midi_import.h"
#include "exchange/midi_import_files.h"
#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel::test {
namespace {

struct Imported {
  RecordingReporter reporter;
  TVNSong song{&reporter};
  bool ok = false;
  // The information text is the import's last message.
  std::string Info() const { return reporter.messages.empty() ? "" : reporter.messages.back(); }
};

void Import(Imported& in, const std::vector<uint8_t>& file, const MidiImportOptions& options = {}) {
  in.ok = ImportMidiBytes(in.song, file, "test.mid", options);
}

// Tracks whose cell at (pattern, row) holds value.
std::vector<int> TracksHolding(const TVNSong& song, int pattern, int row, int value) {
  std::vector<int> tracks;
  for (int t = 0; t < song.TracksCount(); ++t)
    if (song.CellData(pattern, t, row) == value) tracks.push_back(t);
  return tracks;
}

int CellsHolding(const TVNSong& song, int value) {
  int count = 0;
  for (int p = 0; p < song.PatternsCount(); ++p)
    for (int t = 0; t < song.TracksCount(); ++t)
      for (int r = 0; r < RowsPerPattern; ++r) count += song.CellData(p, t, r) == value;
  return count;
}

TEST(MidiImportHeader, NotAMidiFile_FailsAndLeavesTheSong) {
  const std::vector<uint8_t> valid = MidiFile(96, {MidiTrack().On(0, 0, 60).End()});
  std::vector<uint8_t> wrongId = valid, wrongLength = valid;
  wrongId[0] = 'X';
  wrongLength[7] = 8;
  const std::vector<uint8_t> shortHeader(valid.begin(), valid.begin() + 13);
  for (const auto& file : {wrongId, wrongLength, shortHeader, std::vector<uint8_t>{}}) {
    Imported in;
    in.song.BPM = 99;
    in.song.StoreCell(0, 3, 5, 70);
    in.song.Modified = false;
    Import(in, file);
    EXPECT_FALSE(in.ok);
    EXPECT_EQ(in.reporter.messages, std::vector<std::string>{"Not valid MIDI file"});
    EXPECT_EQ(in.song.BPM, 99);
    EXPECT_EQ(in.song.CellData(0, 3, 5), 70);
    EXPECT_FALSE(in.song.Modified);
  }
}

TEST(MidiImportHeader, MissingFile_FailsWithMessage) {
  Imported in;
  EXPECT_FALSE(ImportMidi(in.song, TempPath("missing.mid"), {}));
  ASSERT_EQ(in.reporter.messages.size(), 1u);
  EXPECT_NE(in.reporter.messages[0].find("missing.mid"), std::string::npos);
}

TEST(MidiImportHeader, InformationText_ListsFormatTracksDeltaAndChunkLengths) {
  const MidiTrack first = MidiTrack().Tempo(0, 500000).End();
  const MidiTrack second = MidiTrack().On(0, 0, 60).Off(96, 0, 60).End();
  Imported in;
  const std::string path = TempPath("two.mid");
  WriteFile(path, MidiFile(96, {first, second}));
  in.ok = ImportMidi(in.song, path, {});
  ASSERT_TRUE(in.ok);
  ASSERT_EQ(in.reporter.messages.size(), 1u);
  EXPECT_EQ(in.Info(), "Format 1\r\nTracks 2\r\nDelta 96\r\nTrack 0 Length: " + std::to_string(first.bytes.size()) +
                           "\r\nTrack 1 Length: " + std::to_string(second.bytes.size()) + "\r\n");
}

struct Placement {
  int division, rowsPerQuarter, startRow, patternLength;
  uint32_t tick;
  int pattern, row;  // pattern -1: dropped
};

TEST(MidiImportRows, NoteTick_LandsOnRoundedRowOfItsPattern) {
  const Placement cases[] = {
      {96, 4, 0, 64, 96, 0, 4},             // a quarter note is four rows
      {96, 4, 0, 64, 17, 0, 0},             // rounding offset 6, 24 ticks per row
      {96, 4, 0, 64, 18, 0, 1},
      {96, 4, 0, 64, 70 * 24, 1, 6},        // row position 70 in patterns of 64
      {96, 4, 32, 64, 31 * 24, -1, 0},      // before the start row
      {96, 4, 32, 64, 40 * 24, 0, 8},       // shifted up by the start row
      {96, 8, 0, 32, 96, 0, 8},             // eight rows per quarter
      {480, 6, 0, 48, 480 * 9, 1, 6},       // 54 rows at six per quarter
      {384, 4, 0, 256, 384 * 70, 1, 24},    // 280 rows in patterns of 256
      {2, 4, 0, 64, 7, 0, 7},               // fewer ticks than rows per quarter: a tick per row
      {0xE728, 4, 0, 64, 1000, 0, 8},       // 25 frames of 40 ticks: one second is two quarters
  };
  for (const Placement& c : cases) {
    SCOPED_TRACE("division " + std::to_string(c.division) + " tick " + std::to_string(c.tick));
    Imported in;
    Import(in, MidiFile(c.division, {MidiTrack().On(c.tick, 2, 60).End()}),
           {c.startRow, c.patternLength, c.rowsPerQuarter, 0});
    ASSERT_TRUE(in.ok);
    std::vector<std::pair<int, int>> found;
    for (int p = 0; p < in.song.PatternsCount(); ++p)
      for (int r = 0; r < RowsPerPattern; ++r)
        if (in.song.CellData(p, 2, r) == 60) found.push_back({p, r});
    if (c.pattern < 0) {
      EXPECT_TRUE(found.empty());
    } else {
      EXPECT_EQ(found, (std::vector<std::pair<int, int>>{{c.pattern, c.row}}));
      EXPECT_EQ(in.song.PatternsCount(), c.pattern + 1);
    }
    EXPECT_EQ(in.song.LastRow(0), c.patternLength - 1);
    EXPECT_EQ(in.song.SPD, c.rowsPerQuarter);
  }
}

TEST(MidiImportRows, LateEndOfTrack_AppendsEmptyPatternsUpToIt) {
  Imported in;
  Import(in, MidiFile(96, {MidiTrack().On(0, 0, 60).End(96 * 40)}));  // row 160 of patterns of 64
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(in.song.PatternsCount(), 3);
  EXPECT_EQ(in.song.OrderLength(), 3);
}

TEST(MidiImportRows, FileBeyond256Patterns_KeepsTheFirst256AndSaysSo) {
  Imported in;
  const uint32_t rowTicks = 24, patternTicks = 64 * rowTicks;
  MidiTrack track;
  track.On(255 * patternTicks + 63 * rowTicks, 0, 60).On(rowTicks, 0, 62).On(1000000, 0, 64).End();
  Import(in, MidiFile(96, {track}));
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(in.song.PatternsCount(), 256);
  EXPECT_EQ(in.song.CellData(255, 0, 63), 60);
  EXPECT_EQ(CellsHolding(in.song, 62), 0);
  EXPECT_EQ(CellsHolding(in.song, 64), 0);
  EXPECT_NE(in.Info().find("The file needs more than 256 patterns: only the first 256 were imported\r\n"),
            std::string::npos)
      << in.Info();
  ExpectSoundSong(in.song);
}

TEST(MidiImportRows, HugeDeltaTimes_StayWithin256Patterns) {
  Imported in;
  MidiTrack track;
  for (int i = 0; i < 8; ++i) track.On(0x0FFFFFFF, 1, 60);
  Import(in, MidiFile(1, {track.End()}), {0, 1, 96, 0});
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(in.song.PatternsCount(), 256);
  EXPECT_EQ(in.song.LastRow(0), 0);
}

TEST(MidiImportRows, AbsurdOptions_AreClamped) {
  Imported in;
  Import(in, MidiFile(96, {MidiTrack().On(96, 0, 60).End()}), {-50, 1000, 0, 7});
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(in.song.LastRow(0), 255);
  EXPECT_EQ(in.song.SPD, 1);
  EXPECT_EQ(in.song.CellData(0, 0, 1), 60);  // one row per quarter, nothing cut at the start
}

TEST(MidiImportNotes, ChordOnChannel0_CreatesTracksBeforeChannel1) {
  Imported in;
  Import(in, MidiFile(96, {MidiTrack().On(0, 0, 60).On(0, 0, 64).On(0, 0, 67).On(0, 1, 50).End()}));
  ASSERT_TRUE(in.ok);
  ASSERT_EQ(in.song.TracksCount(), 18);
  for (int t = 0; t < 3; ++t) EXPECT_EQ(in.song.TrackChannel(t), 0);
  EXPECT_EQ(in.song.TrackChannel(3), 1);
  EXPECT_EQ(in.song.CellData(0, 0, 0), 60);
  EXPECT_EQ(in.song.CellData(0, 1, 0), 64);
  EXPECT_EQ(in.song.CellData(0, 2, 0), 67);
  EXPECT_EQ(in.song.CellData(0, 3, 0), 50);
  ExpectSoundSong(in.song);
}

TEST(MidiImportNotes, ZeroVelocityNoteOn_ReleasesLikeNoteOff) {
  for (const bool zeroVelocity : {false, true}) {
    Imported in;
    MidiTrack track;
    track.On(0, 4, 60);
    if (zeroVelocity) {
      track.On(96, 4, 60, 0);
    } else {
      track.Off(96, 4, 60);
    }
    Import(in, MidiFile(96, {track.End()}));
    EXPECT_EQ(in.song.CellData(0, 4, 0), 60);
    EXPECT_EQ(in.song.CellData(0, 4, 4), CellNoteOff);
  }
}

TEST(MidiImportNotes, FiveNoteChordOnChannel16_ImportsComplete) {
  for (const int method : {0, 1}) {
    SCOPED_TRACE(method);
    Imported in;
    MidiTrack track;
    for (const int note : {60, 64, 67, 70, 74}) track.On(note == 60 ? 24 : 0, 15, note);
    for (const int note : {60, 64, 67, 70, 74}) track.Off(note == 60 ? 48 : 0, 15, note);
    Import(in, MidiFile(96, {track.End()}), {0, 64, 4, method});
    ASSERT_TRUE(in.ok);
    ASSERT_EQ(in.song.TracksCount(), 20);
    for (int t = 15; t < 20; ++t) EXPECT_EQ(in.song.TrackChannel(t), 15);
    std::vector<int> notes;
    for (int t = 15; t < 20; ++t) notes.push_back(in.song.CellData(0, t, 1));
    EXPECT_EQ(notes, (std::vector<int>{60, 64, 67, 70, 74}));
    EXPECT_EQ(TracksHolding(in.song, 0, 3, CellNoteOff), (std::vector<int>{15, 16, 17, 18, 19}));
    EXPECT_FALSE(in.reporter.SaidStatus("Not inserted, channel: 15 row: 1 74"));
    EXPECT_EQ(in.Info().find("notes were left out"), std::string::npos) << in.Info();
    ExpectSoundSong(in.song);
  }
}

// Channel 0: A from row 0 to 2, B from row 1 to 3; then C starts on row 3 as B ends.
std::vector<uint8_t> OverlappingNotes() {
  MidiTrack track;
  track.On(0, 0, 60).On(24, 0, 62).Off(24, 0, 60).Off(24, 0, 62).On(0, 0, 64).Off(24, 0, 64);
  return MidiFile(96, {track.End()});
}

TEST(MidiImportNotes, DefaultMethod_FillsTheFirstFreeCell) {
  Imported in;
  Import(in, OverlappingNotes(), {0, 64, 4, 0});
  ASSERT_EQ(in.song.TracksCount(), 16);
  // B takes over A's track; every release goes to the first empty cell.
  EXPECT_EQ(in.song.CellData(0, 0, 0), 60);
  EXPECT_EQ(in.song.CellData(0, 0, 1), 62);
  EXPECT_EQ(in.song.CellData(0, 0, 2), CellNoteOff);
  EXPECT_EQ(in.song.CellData(0, 0, 3), 64);  // over the release of B
  EXPECT_EQ(in.song.CellData(0, 0, 4), CellNoteOff);
}

TEST(MidiImportNotes, ExperimentalMethod_KeepsEachNoteAndItsReleaseOnOneTrack) {
  Imported in;
  Import(in, OverlappingNotes(), {0, 64, 4, 1});
  ASSERT_EQ(in.song.TracksCount(), 17);
  EXPECT_EQ(in.song.TrackChannel(1), 0);
  EXPECT_EQ(in.song.CellData(0, 0, 0), 60);
  EXPECT_EQ(in.song.CellData(0, 1, 1), 62);
  EXPECT_EQ(in.song.CellData(0, 0, 2), CellNoteOff);
  // C goes to A's free track; B's release on the same row is written to B's track.
  EXPECT_EQ(in.song.CellData(0, 0, 3), 64);
  EXPECT_EQ(in.song.CellData(0, 1, 3), CellNoteOff);
  EXPECT_EQ(in.song.CellData(0, 0, 4), CellNoteOff);
  EXPECT_EQ(in.song.CellData(0, 2, 0), CellEmpty);  // channel 1's track, untouched
  ExpectSoundSong(in.song);
}

TEST(MidiImportNotes, ExperimentalMethod_ReleaseOnTheRowOfANewNoteKeepsTheNote) {
  Imported in;
  // A ends and starts again within one row: the release must not erase the new start.
  Import(in, MidiFile(96, {MidiTrack().On(0, 3, 60).On(48, 3, 60).Off(1, 3, 60).End()}), {0, 64, 4, 1});
  EXPECT_EQ(in.song.CellData(0, 4, 2), 60);  // the first note still sounds on track 3
  EXPECT_TRUE(TracksHolding(in.song, 0, 2, CellNoteOff).empty());
}

TEST(MidiImportNotes, ExperimentalMethod_NewPatternForgetsSoundingNotes) {
  Imported in;
  Import(in, MidiFile(96, {MidiTrack().On(0, 0, 60).Off(24 * 66, 0, 60).End()}), {0, 64, 4, 1});
  ASSERT_EQ(in.song.PatternsCount(), 2);
  EXPECT_TRUE(TracksHolding(in.song, 1, 2, CellNoteOff).empty());
}

TEST(MidiImportNotes, ExperimentalMethod_LastChannelGrowsAfterItsLastTrack) {
  Imported in;
  Import(in, MidiFile(96, {MidiTrack().On(0, 15, 60).On(0, 15, 62).End()}), {0, 64, 4, 1});
  ASSERT_EQ(in.song.TracksCount(), 17);
  EXPECT_EQ(in.song.TrackChannel(16), 15);
  EXPECT_EQ(in.song.CellData(0, 16, 0), 62);
}

TEST(MidiImportNotes, TrackLimit_SaysTheMessageOnceAndDropsTheRest) {
  for (const int method : {0, 1}) {
    Imported in;
    MidiTrack track;
    for (int i = 0; i < 300; ++i) track.On(0, 0, i % 128);
    Import(in, MidiFile(96, {track.End()}), {0, 64, 4, method});
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(in.song.TracksCount(), 256);
    int said = 0;
    for (const auto& m : in.reporter.messages) said += m == "Maximum number of tracks reached (256)";
    EXPECT_EQ(said, 1);
    // 256 tracks of 16 channels: 241 for channel 0, so 59 of the 300 notes found no place.
    EXPECT_NE(in.Info().find("59 notes were left out: all 256 tracks are in use"), std::string::npos)
        << in.Info();
    ExpectSoundSong(in.song);
  }
}

TEST(MidiImportChannels, ControllersProgramsAndBanks_BecomePresets) {
  MidiTrack track;
  track.Control(0, 3, 7, 90).Control(0, 3, 10, 20).Control(0, 3, 1, 5).Control(0, 3, 11, 6);
  track.Control(0, 3, 64, 127).Control(0, 3, 91, 40).Control(0, 3, 93, 41).Control(0, 3, 74, 42);
  track.Control(0, 3, 71, 43).Control(0, 5, 0, 2).Control(0, 5, 32, 9).Event(0, {0xC5, 33});
  track.Control(0, 6, 2, 50).Control(96, 3, 7, 91).Event(0, {0xE3, 0, 64}).Event(0, {0xA3, 60, 10});
  track.Event(0, {0xD3, 20});
  Imported in;
  Import(in, MidiFile(96, {track.End()}));
  ASSERT_TRUE(in.ok);
  const int presets[] = {20, 91, 5, 6, 127, 40, 41, 42, 43};  // the last volume wins
  for (int i = 0; i < PresetCount; ++i) EXPECT_EQ(in.song.GetMidiParam(3, i + 1), presets[i]) << i;
  EXPECT_EQ(in.song.BankSelect(5, 0), 2);
  EXPECT_EQ(in.song.BankSelect(5, 1), 9);
  EXPECT_EQ(in.song.GetProgram(5), 33);
  for (int i = 1; i <= PresetCount; ++i) EXPECT_EQ(in.song.GetMidiParam(6, i), -1);
  EXPECT_EQ(in.song.TracksCount(), 16);
  for (int t = 0; t < 16; ++t) EXPECT_EQ(in.song.TrackType(t), ttNote);
}

TEST(MidiImportChannels, EventsBeforeTheStartRow_SetPresetsButDropNotes) {
  Imported in;
  Import(in, MidiFile(96, {MidiTrack().Control(0, 2, 7, 80).Event(0, {0xC2, 12}).On(0, 2, 60).End()}),
         {32, 64, 4, 0});
  EXPECT_EQ(in.song.GetMidiParam(2, 2), 80);
  EXPECT_EQ(in.song.GetProgram(2), 12);
  EXPECT_EQ(CellsHolding(in.song, 60), 0);
}

TEST(MidiImportMeta, Tempo_RoundedAndHalvedIntoRange) {
  const std::pair<uint32_t, int> cases[] = {
      {400000, 150}, {200000, 150}, {100000, 150}, {500000, 120}, {2000, 255}, {0xFFFFFF, 4}, {0, 120},
      {545455, 110},  // 109.99998
      {545460, 110},  // 109.999
      {550459, 109},  // 109.0002
      {230000, 130},  // 260.87, halved 130.43
      {0x0C0000, 76},  // 76.29
  };
  for (const auto& [microseconds, bpm] : cases) {
    Imported in;
    Import(in, MidiFile(96, {MidiTrack().Tempo(0, microseconds).End()}));
    EXPECT_EQ(in.song.BPM, bpm) << microseconds;
  }
}

TEST(MidiImportMeta, KeySignature_GivesRootAndMode) {
  struct Key {
    int sharps, minor, tone;
  };
  const Key keys[] = {{0, 0, 0},  {1, 0, 7},  {2, 0, 2},   {3, 0, 9},  {4, 0, 4},   {5, 0, 11}, {6, 0, 6},
                      {7, 0, 1},  {-1, 0, 5}, {-2, 0, 10}, {-3, 0, 3}, {-4, 0, 8},  {-5, 0, 1}, {-6, 0, 6},
                      {-7, 0, 11}, {-2, 1, 7}, {0, 1, 9},  {3, 1, 6},  {-7, 1, 8}};
  for (const Key& key : keys) {
    Imported in;
    in.song.KeyKnown = false;
    Import(in, MidiFile(96, {MidiTrack().Meta(0, 0x59, {uint8_t(key.sharps), uint8_t(key.minor)}).End()}));
    EXPECT_EQ(in.song.KeyTone, key.tone) << key.sharps << " " << key.minor;
    EXPECT_EQ(in.song.KeyType, key.minor);
    EXPECT_TRUE(in.song.KeyKnown);
  }
}

TEST(MidiImportMeta, DamagedKeyOrTempo_IsIgnored) {
  Imported in;
  Import(in, MidiFile(96, {MidiTrack()
                               .Meta(0, 0x59, {9, 0})
                               .Meta(0, 0x59, {2, 5})
                               .Meta(0, 0x59, {2})
                               .Meta(0, 0x51, {0x07, 0xA1})
                               .End()}));
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(in.song.KeyTone, 0);
  EXPECT_EQ(in.song.KeyType, 0);
  EXPECT_EQ(in.song.BPM, 120);
}

TEST(MidiImportMeta, TextEvents_AreAppendedToTheComments) {
  MidiTrack track;
  for (int type = 1; type <= 9; ++type) track.Text(0, type, "t" + std::to_string(type));
  track.Text(0, 0x7F, "sequencer");
  Imported in;
  Import(in, MidiFile(96, {track.End(), MidiTrack().Text(0, 3, "Piano").End()}));
  EXPECT_EQ(in.song.Tag.Comments, "t1\r\nt2\r\nt3\r\nt4\r\nt5\r\nt6\r\nt7\r\nPiano\r\n");
}

TEST(MidiImportMeta, TextEvents_Utf8KeptOthersReadAsWindows1252) {
  Imported in;
  MidiTrack track;
  track.Text(0, 3, "Fl\xC3\xBCgel \xE2\x80\x94 Caf\xC3\xA9");  // valid UTF-8
  track.Text(0, 1, "Caf\xE9 \x93quoted\x94");                      // Windows-1252
  Import(in, MidiFile(96, {track.End()}));
  EXPECT_EQ(in.song.Tag.Comments,
            "Fl\xC3\xBCgel \xE2\x80\x94 Caf\xC3\xA9\r\nCaf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D\r\n");
}

TEST(MidiImportMeta, LongTexts_AreCutToWhatTheSongFileKeeps) {
  MidiTrack track;
  for (int i = 0; i < 20; ++i) track.Text(0, 1, std::string(5000, 'a' + i));
  Imported in;
  Import(in, MidiFile(96, {track.End()}));
  EXPECT_EQ(in.song.Tag.Comments.size(), 65535u);
  EXPECT_NE(in.Info().find("Text events beyond 65535 bytes were left out"), std::string::npos);
  ExpectSoundSong(in.song);
}

TEST(MidiImportEvents, RunningStatusAfterMetaAndSysEx_ContinuesTheChannelStatus) {
  MidiTrack track;
  track.On(0, 1, 60).Text(0, 1, "x").Raw({0, 62, 100});      // running status right after a meta event
  track.Event(0, {0xF0, 3, 1, 2, 0xF7}).Raw({0, 64, 100});    // and after a system-exclusive event
  track.Event(0, {0xF7, 2, 0x43, 0x10}).Raw({24, 65, 100});   // and after an escape
  Imported in;
  Import(in, MidiFile(96, {track.End()}));
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(in.song.CellData(0, 1, 0), 60);
  EXPECT_EQ(in.song.CellData(0, 2, 0), 62);
  EXPECT_EQ(in.song.CellData(0, 3, 0), 64);
  EXPECT_EQ(in.song.CellData(0, 1, 1), 65);
  EXPECT_EQ(in.song.TrackChannel(2), 1);
  EXPECT_EQ(in.Info().find("damaged"), std::string::npos) << in.Info();
}

TEST(MidiImportEvents, DataWithoutAnyStatus_EndsTheTrackAsDamaged) {
  Imported in;
  // Running status does not carry over from the first track: the second starts with data bytes.
  Import(in, MidiFile(96, {MidiTrack().On(0, 0, 60).End(), MidiTrack().Raw({0, 61, 100}).On(0, 2, 62).End(),
                           MidiTrack().On(0, 3, 63).End()}));
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(in.song.CellData(0, 0, 0), 60);
  EXPECT_EQ(CellsHolding(in.song, 61) + CellsHolding(in.song, 62), 0);
  EXPECT_EQ(in.song.CellData(0, 3, 0), 63);
  EXPECT_NE(in.Info().find("Track 1 is damaged: it ends before its end-of-track event\r\n"), std::string::npos);
}

TEST(MidiImportEvents, OtherChunksAndUndeclaredTracks_AreNotRead) {
  std::vector<uint8_t> file = MidiFile(96, {MidiTrack().On(0, 0, 60).End()}, 1, 2);
  PutChunk(file, "XFIH", MidiTrack().On(0, 1, 61).End().bytes);  // another program's chunk: skipped
  PutChunk(file, "MTrk", MidiTrack().On(0, 2, 62).End().bytes);
  PutChunk(file, "MTrk", MidiTrack().On(0, 3, 63).End().bytes);  // beyond the declared two tracks
  Imported in;
  Import(in, file);
  EXPECT_EQ(in.song.CellData(0, 0, 0), 60);
  EXPECT_EQ(in.song.CellData(0, 1, 0), CellEmpty);
  EXPECT_EQ(in.song.CellData(0, 2, 0), 62);
  EXPECT_EQ(in.song.CellData(0, 3, 0), CellEmpty);
}

TEST(MidiImportSong, FinalFields_PlayEveryPatternInOrderOnEveryChannel) {
  Imported in;
  in.song.Tag.Title = "old";
  Import(in, MidiFile(96, {MidiTrack().On(24 * 130, 5, 60).End()}, 0), {0, 64, 4, 0});
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(in.song.PatternsCount(), 3);
  EXPECT_EQ(in.song.CellData(2, 5, 2), 60);
  EXPECT_TRUE(in.song.SongMode);
  EXPECT_EQ(in.song.CurrentPattern, 0);
  EXPECT_EQ(in.song.SPD, 4);
  EXPECT_EQ(in.song.Tag.Title, "");
  EXPECT_TRUE(in.song.FileName.empty());
  EXPECT_TRUE(in.song.Modified);
  ExpectSoundSong(in.song);
}

}  // namespace
}  // namespace varnel::test
