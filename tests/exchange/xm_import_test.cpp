// Extended module import: header, tempo and speed, slot decoding and counting, note placement,
// the order lists and the packing that ends the import.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "exchange/xm_import.h"
#include "support/recording_reporter.h"
#include "support/song_builders.h"
#include "xm_import_builder.h"

namespace varnel {
namespace {

using test::EmptySlot;
using test::InstrumentOnly;
using test::Note;
using test::NoteOnly;
using test::NoteWithEffects;
using test::PatternOf;
using test::RecordingReporter;
using test::Unpacked;
using test::XMModule;
using test::XMPattern;

class XMImportTest : public ::testing::Test {
 protected:
  bool Import(const XMModule& module, const std::string& name = "tune.xm") {
    const std::vector<uint8_t> bytes = module.Build();
    const bool ok = ImportXMBytes(song, bytes, name);
    EXPECT_EQ(test::SongFault(song), "");
    return ok;
  }
  std::vector<int> NoteTracksOf(int channel) const {
    std::vector<int> tracks;
    for (int t = 0; t < song.TracksCount(); ++t)
      if (song.TrackChannel(t) == channel && song.TrackType(t) == ttNote) tracks.push_back(t);
    return tracks;
  }
  // The non-empty rows of a track in a pattern, as row -> value.
  std::map<int, int> Cells(int pattern, int track) const {
    std::map<int, int> cells;
    for (int r = 0; r < RowsPerPattern; ++r)
      if (song.CellData(pattern, track, r) != CellEmpty) cells[r] = song.CellData(pattern, track, r);
    return cells;
  }

  RecordingReporter reporter;
  TVNSong song{&reporter};
};

struct TempoCase {
  int tempo, bpm, spd, songBpm;
};

TEST_F(XMImportTest, Tempo_ModuleTicksAndBpm_GiveRowsPerBeatAndBpmOfTheSameRowLength) {
  const TempoCase cases[] = {
      {6, 125, 4, 125},
      {3, 125, 8, 125},
      {5, 125, 4, 150},
      {0, 125, 4, 125},  // 0 counts as 6
      {1, 200, 24, 200},
      {24, 90, 1, 90},
      {7, 140, 4, 120},
      {31, 100, 4, 19},   // 19.35
      {11, 100, 4, 55},   // 54.5 rounds up
      {7, 125, 4, 107},   // 107.1
      {5, 255, 8, 153},   // 306 at four rows per beat does not fit: eight rows per beat
      {2, 255, 12, 255},
      {31, 32, 4, 6},
  };
  for (const TempoCase& c : cases) {
    SCOPED_TRACE("tempo " + std::to_string(c.tempo) + ", BPM " + std::to_string(c.bpm));
    XMModule module;
    module.tempo = c.tempo;
    module.bpm = c.bpm;
    module.patterns = {PatternOf(4, 4, {{0, Note(49, 1)}})};
    reporter.Clear();
    ASSERT_TRUE(Import(module));
    EXPECT_EQ(song.SPD, c.spd);
    EXPECT_EQ(song.BPM, c.songBpm);
    EXPECT_EQ(reporter.statuses.back().text, "Done. ");
    EXPECT_TRUE(reporter.messages.empty());
  }
}

TEST_F(XMImportTest, Tempo_OutsideTheFormatsRanges_Refused) {
  const std::pair<int, int> cases[] = {{32, 125}, {65535, 125}, {6, 31}, {6, 0}, {6, 256}, {6, 65535}};
  for (const auto& [tempo, bpm] : cases) {
    SCOPED_TRACE("tempo " + std::to_string(tempo) + ", BPM " + std::to_string(bpm));
    XMModule module;
    module.tempo = tempo;
    module.bpm = bpm;
    module.patterns = {PatternOf(4, 4, {{0, Note(49, 1)}})};
    test::MakeSong(song, 3, 32);
    song.Modified = false;
    reporter.Clear();
    EXPECT_FALSE(ImportXMBytes(song, module.Build(), "fast.xm"));
    const std::string expected = tempo != 6 ? "Damaged module: the speed " + std::to_string(tempo) + " is outside 1..31"
                                            : "Damaged module: the tempo " + std::to_string(bpm) + " is outside 32..255";
    EXPECT_EQ(reporter.messages, std::vector<std::string>{expected});
    EXPECT_EQ(song.ChannelsCount(), 3);
    EXPECT_EQ(song.BPM, 120);
    EXPECT_FALSE(song.Modified);
  }
}

TEST_F(XMImportTest, SlotCounting_FourChannelModule_SlotNineIsRowTwoChannelOne) {
  XMModule module;
  module.channels = 4;
  module.instruments = 2;
  module.patterns = {PatternOf(16, 4, {{9, Note(61, 1)}})};
  ASSERT_TRUE(Import(module));
  // The unused instrument's channel is packed away; one pitch makes the channel a drum channel.
  ASSERT_EQ(song.ChannelsCount(), 1);
  ASSERT_EQ(song.TracksCount(), 1);
  EXPECT_EQ(Cells(0, 0), (std::map<int, int>{{2, 60}}));
  EXPECT_EQ(song.GetMidiChannel(0), PercussionMidiChannel);
  EXPECT_EQ(song.LastRow(0), 15);
}

TEST_F(XMImportTest, Instruments_TwentyInstruments_GiveTwentyChannelsOnTheirOwnMidiChannels) {
  XMModule module;
  module.channels = 1;
  module.instruments = 20;
  std::map<int, test::SlotBytes> slots;
  for (int i = 0; i < 20; ++i) {
    slots[2 * i] = Note(30 + i, i + 1);
    slots[2 * i + 1] = NoteOnly(31 + i);
  }
  module.patterns = {PatternOf(64, 1, slots)};
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(song.ChannelsCount(), 20);
  for (int c = 0; c < 20; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(song.GetMidiChannel(c), c);  // 16..19 for instruments 17..20
    ASSERT_EQ(NoteTracksOf(c).size(), 1u);
    EXPECT_EQ(Cells(0, NoteTracksOf(c)[0]), (std::map<int, int>{{2 * c, 29 + c}, {2 * c + 1, 30 + c}}));
  }
}

TEST_F(XMImportTest, Placement_TwoNotesOfOneInstrumentInARow_SecondNoteTrackRightAfterTheFirst) {
  XMModule module;
  module.channels = 2;
  module.patterns = {PatternOf(8, 2, {{0, Note(49, 1)}, {1, Note(53, 1)}, {2, Note(40, 2)}, {4, NoteOnly(42)}})};
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(song.TracksCount(), 3);
  EXPECT_EQ(song.TrackChannel(0), 0);
  EXPECT_EQ(song.TrackChannel(1), 0);
  EXPECT_EQ(song.TrackChannel(2), 1);
  EXPECT_EQ(Cells(0, 0), (std::map<int, int>{{0, 48}}));
  EXPECT_EQ(Cells(0, 1), (std::map<int, int>{{0, 52}}));
  EXPECT_EQ(Cells(0, 2), (std::map<int, int>{{1, 39}, {2, 41}}));
}

TEST_F(XMImportTest, Placement_ChordOnTheLastChannel_GetsASecondTrackAfterTheLast) {
  XMModule module;
  module.channels = 2;
  module.patterns = {PatternOf(8, 2, {{0, Note(49, 2)}, {1, Note(53, 2)}, {2, Note(40, 1)}, {4, NoteOnly(42)}})};
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(NoteTracksOf(1), (std::vector<int>{1, 2}));
  EXPECT_EQ(Cells(0, 1), (std::map<int, int>{{0, 48}}));
  EXPECT_EQ(Cells(0, 2), (std::map<int, int>{{0, 52}}));
  EXPECT_FALSE(reporter.SaidStatus("Not inserted, channel: 1 row: 0 52"));
}

TEST_F(XMImportTest, Notes_ModuleNumbersAndKeyOff_BecomeSongNotesAndRelease) {
  XMModule module;
  module.channels = 1;
  module.instruments = 1;
  module.patterns = {PatternOf(16, 1, {{0, Note(49, 1)}, {4, NoteOnly(97)}, {8, NoteOnly(1)}, {9, NoteOnly(96)}})};
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(song.TracksCount(), 1);
  EXPECT_EQ(Cells(0, 0), (std::map<int, int>{{0, 48}, {4, CellNoteOff}, {8, 0}, {9, 95}}));
}

TEST_F(XMImportTest, KeyOff_FirstTrackBusy_GoesIntoTheFirstEmptyCell) {
  XMModule module;
  module.channels = 2;
  module.patterns = {PatternOf(8, 2, {{0, Note(49, 1)}, {1, Note(53, 1)}, {2, NoteOnly(97)}, {3, NoteOnly(97)},
                                      {4, Note(40, 2)}, {6, NoteOnly(42)}})};
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(NoteTracksOf(0), (std::vector<int>{0, 1}));
  EXPECT_EQ(Cells(0, 0), (std::map<int, int>{{0, 48}, {1, CellNoteOff}}));
  EXPECT_EQ(Cells(0, 1), (std::map<int, int>{{0, 52}, {1, CellNoteOff}}));
}

TEST_F(XMImportTest, Carrying_NoteAndInstrumentKeepTheirValues_AcrossSlotsAndPatterns) {
  XMModule module;
  module.channels = 1;
  module.order = {0, 1};
  module.patterns = {PatternOf(8, 1, {{0, Note(50, 2)}, {1, InstrumentOnly(1)}, {2, NoteOnly(52)}}),
                     PatternOf(8, 1, {{3, InstrumentOnly(2)}})};
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(song.PatternsCount(), 2);
  const int first = NoteTracksOf(0)[0], second = NoteTracksOf(1)[0];
  EXPECT_EQ(Cells(0, first), (std::map<int, int>{{1, 49}, {2, 51}}));
  EXPECT_EQ(Cells(0, second), (std::map<int, int>{{0, 49}}));
  EXPECT_EQ(Cells(1, second), (std::map<int, int>{{3, 51}}));
}

TEST_F(XMImportTest, Carrying_NoInstrumentYet_NoteNotInsertedUntilOneComes) {
  XMModule module;
  module.channels = 1;
  module.instruments = 1;
  module.patterns = {PatternOf(8, 1, {{0, NoteOnly(50)}, {1, InstrumentOnly(1)}, {2, NoteOnly(55)}})};
  ASSERT_TRUE(Import(module));
  EXPECT_TRUE(reporter.SaidStatus("Not inserted, channel: -1 row: 0 49"));
  EXPECT_EQ(Cells(0, 0), (std::map<int, int>{{1, 49}, {2, 54}}));
}

TEST_F(XMImportTest, Slots_PackedAndUnpackedMixed_CountedAndDecodedAlike) {
  XMModule module;
  module.channels = 2;
  module.instruments = 1;
  XMPattern pattern;
  pattern.rows = 4;
  for (const test::SlotBytes& slot :
       {Unpacked(49, 1, 0x40, 0x0C, 0x20), EmptySlot(), NoteWithEffects(51, 1),
        Unpacked(0, 0, 0x40, 0x01, 0x02),  // effect only: carries no note
        test::SlotBytes{0x83, 53, 0},      // instrument 0 keeps the current one
        test::SlotBytes{0x8C, 0x0F, 0x06}, EmptySlot(), Unpacked(97, 1)})
    pattern.data.insert(pattern.data.end(), slot.begin(), slot.end());
  module.patterns = {pattern};
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(song.TracksCount(), 1);
  EXPECT_EQ(Cells(0, 0), (std::map<int, int>{{0, 48}, {1, 50}, {2, 52}, {3, CellNoteOff}}));
}

TEST_F(XMImportTest, Order_SongLengthThree_EveryChannelPlaysTheTable) {
  XMModule module;
  module.channels = 2;
  module.order = {0, 2, 1, 7};
  module.songLength = 3;
  for (int p = 0; p < 3; ++p)
    module.patterns.push_back(PatternOf(8, 2, {{0, Note(40 + p, 1)}, {1, Note(50 + p, 2)}, {2, NoteOnly(60)}, {3, NoteOnly(61)}}));
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(song.ChannelsCount(), 2);
  ASSERT_EQ(song.OrderLength(), 3);
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(song.Order(c, 0), 0);
    EXPECT_EQ(song.Order(c, 1), 2);
    EXPECT_EQ(song.Order(c, 2), 1);
  }
  EXPECT_TRUE(song.SongMode);
  EXPECT_EQ(song.CurrentPattern, 0);
}

TEST_F(XMImportTest, Order_EntryNamingAMissingPattern_BecomesEmpty) {
  XMModule module;
  module.channels = 1;
  module.instruments = 1;
  module.order = {0, 9, 0};
  module.patterns = {PatternOf(8, 1, {{0, Note(40, 1)}, {1, NoteOnly(41)}})};
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(song.OrderLength(), 3);
  EXPECT_EQ(song.Order(0, 0), 0);
  EXPECT_EQ(song.Order(0, 1), OrderEmpty);
  EXPECT_EQ(song.Order(0, 2), 0);
}

TEST_F(XMImportTest, Pack_RepeatedAndUnusedParts_MergedAndRemoved) {
  XMModule module;
  module.channels = 2;
  module.instruments = 3;
  module.order = {0, 1};
  // Instrument 1 plays the same in both patterns, instrument 2 does not, instrument 3 never plays.
  module.patterns = {PatternOf(8, 2, {{0, Note(49, 1)}, {1, Note(61, 2)}, {2, Note(51, 1)}}),
                     PatternOf(8, 2, {{0, Note(49, 1)}, {1, Note(63, 2)}, {2, Note(51, 1)}})};
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(song.ChannelsCount(), 2);
  ASSERT_EQ(song.PatternsCount(), 2);
  EXPECT_EQ(song.Order(0, 0), 0);
  EXPECT_EQ(song.Order(0, 1), 0);
  EXPECT_EQ(song.Order(1, 0), 0);
  EXPECT_EQ(song.Order(1, 1), 1);
  EXPECT_EQ(Cells(1, NoteTracksOf(0)[0]), (std::map<int, int>{}));
  EXPECT_EQ(song.GetMidiChannel(0), 0);
  EXPECT_EQ(song.GetMidiChannel(1), 1);
  EXPECT_TRUE(reporter.SaidStatus("Analyzing song ..."));
}

TEST_F(XMImportTest, Headers_LongerThanTheFieldsRead_AreSkippedByTheirLength) {
  XMModule module;
  module.channels = 1;
  module.instruments = 1;
  module.headerSize = 300;
  module.order = {0, 1};
  module.patterns = {PatternOf(8, 1, {{0, Note(49, 1)}, {1, NoteOnly(50)}}),
                     PatternOf(8, 1, {{2, Note(52, 1)}, {3, NoteOnly(53)}})};
  module.patterns[0].headerLength = 13;
  module.patterns[1].headerLength = 20;
  ASSERT_TRUE(Import(module));
  ASSERT_EQ(song.PatternsCount(), 2);
  EXPECT_EQ(Cells(0, 0), (std::map<int, int>{{0, 48}, {1, 49}}));
  EXPECT_EQ(Cells(1, 0), (std::map<int, int>{{2, 51}, {3, 52}}));
  EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(XMImportTest, Rows_PatternLengths_SetLastRowWithinOneTo256) {
  const std::pair<int, int> cases[] = {{64, 63}, {1, 0}, {256, 255}};
  for (const auto& [rows, lastRow] : cases) {
    SCOPED_TRACE(rows);
    XMModule module;
    module.channels = 1;
    module.instruments = 1;
    XMPattern pattern = PatternOf(1, 1, {{0, Note(49, 1)}});
    pattern.rows = rows;
    module.patterns = {pattern};
    ASSERT_TRUE(Import(module));
    EXPECT_EQ(song.LastRow(0), lastRow);
    EXPECT_EQ(Cells(0, 0), (std::map<int, int>{{0, 48}}));
  }
}

TEST_F(XMImportTest, Status_Reading_NamesTheFileTheModuleAndEachPattern) {
  XMModule module;
  module.name = std::string("Space tune  \0junk", 17);
  module.patterns = {PatternOf(4, 4, {{0, Note(49, 1)}}), PatternOf(4, 4, {{0, Note(50, 1)}})};
  module.order = {0, 1};
  ASSERT_TRUE(Import(module, "songs/space.xm"));
  EXPECT_TRUE(reporter.SaidStatus("Reading file songs/space.xm (Space tune)"));
  EXPECT_TRUE(reporter.SaidStatus("Reading file songs/space.xm (Space tune) Pattern: 0 from 2"));
  EXPECT_TRUE(reporter.SaidStatus("Reading file songs/space.xm (Space tune) Pattern: 1 from 2"));
  EXPECT_EQ(reporter.statuses.back().text, "Done. ");
}

TEST_F(XMImportTest, Refused_NotAModuleOrDamaged_SongUnchanged) {
  XMModule wrongId;
  wrongId.id = "Extended module: ";
  XMModule noChannels;
  noChannels.channels = 0;
  std::vector<uint8_t> headerCut = XMModule{}.Build();
  headerCut.resize(335);
  XMModule noRows;
  noRows.patterns = {PatternOf(1, 4, {})};
  noRows.patterns[0].rows = 0;
  struct Case {
    std::vector<uint8_t> bytes;
    std::string status, message;  // the refusal on the status bar or in a message
  };
  const Case cases[] = {
      {wrongId.Build(), "Not a valid file", ""},
      {{}, "Not a valid file", ""},
      {noChannels.Build(), "", "Damaged module: the number of channels 0 is outside 1..128"},
      {headerCut, "", "Damaged module: the file ends inside its header"},
      {noRows.Build(), "", "Damaged module: pattern 0 of 1 has 0 rows, outside 1..256"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status + c.message);
    test::MakeSong(song, 3, 32);
    song.SetCellData(1, 5, 60);
    song.Modified = false;
    reporter.Clear();
    EXPECT_FALSE(ImportXMBytes(song, c.bytes, "x.xm"));
    if (!c.status.empty()) {
      EXPECT_EQ(reporter.statuses.back().text, c.status);
    }
    EXPECT_EQ(reporter.messages, c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    EXPECT_EQ(song.ChannelsCount(), 3);
    EXPECT_EQ(song.LastRow(0), 31);
    EXPECT_EQ(song.GetCellData(1, 5), 60);
    EXPECT_FALSE(song.Modified);
  }
}

TEST_F(XMImportTest, TrackLimit_ManyInstrumentsWithChords_SaysTheLimitOnce) {
  XMModule module;
  module.channels = 2;
  module.instruments = 255;
  std::map<int, test::SlotBytes> slots;
  for (int i = 0; i < 4; ++i) {
    slots[2 * i] = Note(49, i + 1);
    slots[2 * i + 1] = Note(53, i + 1);
  }
  module.patterns = {PatternOf(8, 2, slots)};
  ASSERT_TRUE(Import(module));
  EXPECT_EQ(reporter.messages, (std::vector<std::string>{"Maximum number of tracks reached (256)",
                                                        "3 notes were left out: all 256 tracks are in use"}));
  ASSERT_EQ(song.ChannelsCount(), 4);
  EXPECT_EQ(NoteTracksOf(0).size(), 2u);  // the one chord that still found room
  EXPECT_EQ(NoteTracksOf(1).size(), 1u);
}

TEST_F(XMImportTest, File_ReadFromDisk_SameSongAsFromBytes) {
  XMModule module;
  module.patterns = {PatternOf(8, 4, {{0, Note(49, 1)}, {5, Note(60, 2)}, {9, NoteOnly(62)}})};
  const std::string path = test::TempPath("tune.xm");
  test::WriteFile(path, module.Build());
  ASSERT_TRUE(ImportXM(song, path));
  EXPECT_EQ(test::SongFault(song), "");
  TVNSong fromBytes;
  const std::vector<uint8_t> bytes = module.Build();
  ASSERT_TRUE(ImportXMBytes(fromBytes, bytes, path));
  EXPECT_EQ(song.EncodeFile(), fromBytes.EncodeFile());

  reporter.Clear();
  EXPECT_FALSE(ImportXM(song, test::TempPath("missing.xm")));
  EXPECT_EQ(reporter.messages.size(), 1u);
  EXPECT_EQ(song.EncodeFile(), fromBytes.EncodeFile());
}

}  // namespace
}  // namespace varnel
