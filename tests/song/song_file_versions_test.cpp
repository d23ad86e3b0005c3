// The .vnl reader on files built byte by byte: versions 102 to 107 and their optional sections,
// record sizes other than the song's own, refused and damaged files, and the save/load side effects
// (status texts, Modified, FileName, a failed save that must leave the old file alone).
#include <gtest/gtest.h>

#include <filesystem>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

using test::Bytes;
using test::RecordingReporter;

// A small song: 2 patterns (4 and 2 rows), 2 channels, 3 tracks (note + velocity on channel 0,
// note on channel 1), order length 2. Record bytes past the song's own sizes hold 0xEE.
struct FileLayout {
  std::string version = "106";
  int midiSize = 10, channelSize = 4, patternSize = 2;
  int headerRecords = 16;
  bool info = true, loops = true, key = true, bank = true, params = true;
  int extraCount = 48;  // section 14; 0 leaves it out
  int trueByte = 1;     // how ChannelOn, SongMode and ShowOnLoad say "true"
};

int MidiByte(int m, int i) { return i == 0 ? (m + 1) % 128 : (m * 3 + i) % 128; }

struct Built {
  std::vector<uint8_t> bytes;
  size_t end[15] = {};  // end[k]: offset just past section k (0: the fixed header)
};

Built BuildFile(const FileLayout& f) {
  Built out;
  Bytes b;
  auto record = [&](int size, auto byteAt) {
    for (int i = 0; i < size; ++i) b.u8(byteAt(i));
  };
  auto midiRecord = [&](int m) { record(f.midiSize, [&](int i) { return i < 10 ? MidiByte(m, i) : 0xEE; }); };
  b.text("VnlMd").text(f.version).u16(2).u16(2).u16(3).u16(2).u8(f.midiSize).u8(f.channelSize).u8(f.patternSize);
  for (int m = 0; m < f.headerRecords; ++m) midiRecord(m);
  out.end[0] = b.data.size();
  const int channelRecords[2][4] = {{0, 100, 0, 0}, {9, 80, 255, 92}};
  for (auto& rec : channelRecords) record(f.channelSize, [&](int i) { return i < 4 ? rec[i] : 0xEE; });
  out.end[1] = b.data.size();
  const int patternRecords[2][2] = {{3, 0}, {1, 0}};
  for (auto& rec : patternRecords) record(f.patternSize, [&](int i) { return i < 2 ? rec[i] : 0xEE; });
  out.end[2] = b.data.size();
  b.u16(0).u16(1).u16(1).u16(OrderNoteOff);
  out.end[3] = b.data.size();
  b.u8(ttNote).u8(0).u8(ttVelocity).u8(0).u8(ttNote).u8(1);
  out.end[4] = b.data.size();
  b.u8(0).u8(60).u8(128).u8(129).u8(62);
  b.u8(0).u8(100).u8(128).u8(128).u8(127);
  b.u8(1);
  b.u8(1).u8(1).u8(0).u8(72).u8(129);
  out.end[5] = b.data.size();
  b.u8(99).u8(3).u8(2).u8(1).u8(f.trueByte).u8(5);
  out.end[6] = b.data.size();
  b.u8(f.trueByte).u8(0);
  out.end[7] = b.data.size();
  b.shortString("Ext Synth");
  out.end[8] = b.data.size();
  if (f.info) {
    b.shortString("Title").shortString("Artist").shortString("Album").shortString("1999").shortString("Rock");
    b.longString("Line1\r\nLine2").u8(f.trueByte);
  }
  out.end[9] = b.data.size();
  if (f.loops) b.u16(1).u16(4).u16(0).u16(2);
  out.end[10] = b.data.size();
  if (f.key) b.u16(4).u16(1);
  out.end[11] = b.data.size();
  if (f.bank)
    for (int m = 0; m < 16; ++m) b.u8(m + 1).u8(129);
  out.end[12] = b.data.size();
  if (f.params) b.u16(0).u16(0).u16(75);
  out.end[13] = b.data.size();
  if (f.extraCount > 0) {
    b.u8(f.extraCount);
    for (int m = 16; m < f.extraCount; ++m) midiRecord(m);
  }
  out.end[14] = b.data.size();
  out.bytes = b.data;
  return out;
}

// Sections 1 to 8 and MIDI channels 0..15, as every version holds them.
void ExpectBody(const TVNSong& s) {
  ASSERT_EQ(s.PatternsCount(), 2);
  ASSERT_EQ(s.ChannelsCount(), 2);
  ASSERT_EQ(s.TracksCount(), 3);
  ASSERT_EQ(s.OrderLength(), 2);
  for (int m = 0; m < 16; ++m)
    for (int i = 0; i < 10; ++i) EXPECT_EQ(s.MidiChannelParams(m, i), MidiByte(m, i)) << m << "/" << i;
  EXPECT_EQ(s.GetMidiChannel(0), 0);
  EXPECT_EQ(s.GetVelocity(0), 100);
  EXPECT_EQ(s.GetMidiChannel(1), 9);
  EXPECT_EQ(s.GetVelocity(1), 80);
  EXPECT_EQ(s.GetReleaseMode(1), 255);
  EXPECT_EQ(s.GetTranspose(1), 12);
  EXPECT_EQ(s.LastRow(0), 3);
  EXPECT_EQ(s.LastRow(1), 1);
  EXPECT_EQ(s.PatternParams(1, 1), 0);
  EXPECT_EQ(s.Order(0, 0), 0);
  EXPECT_EQ(s.Order(0, 1), 1);
  EXPECT_EQ(s.Order(1, 0), 1);
  EXPECT_EQ(s.Order(1, 1), OrderNoteOff);
  EXPECT_EQ(s.TrackType(1), ttVelocity);
  EXPECT_EQ(s.TrackChannel(1), 0);
  EXPECT_EQ(s.TrackChannel(2), 1);
  const int p0[3][4] = {{60, 128, 129, 62}, {100, 128, 128, 127}, {128, 128, 128, 128}};
  for (int t = 0; t < 3; ++t)
    for (int r = 0; r < 4; ++r) EXPECT_EQ(s.CellData(0, t, r), p0[t][r]) << t << "/" << r;
  EXPECT_EQ(s.CellData(0, 0, 4), CellEmpty);
  EXPECT_EQ(s.CellData(1, 0, 0), CellEmpty);
  EXPECT_EQ(s.CellData(1, 2, 0), 72);
  EXPECT_EQ(s.CellData(1, 2, 1), CellNoteOff);
  EXPECT_EQ(s.CellData(1, 2, 2), CellEmpty);
  EXPECT_EQ(int(s.BPM), 99);
  EXPECT_EQ(int(s.SPD), 3);
  EXPECT_EQ(int(s.GridAdd), 2);
  EXPECT_EQ(int(s.CurrentPattern), 1);
  EXPECT_EQ(int(s.Octave), 5);
  EXPECT_FALSE(s.ChannelOn(1));
  EXPECT_EQ(s.DeviceName, "Ext Synth");
  EXPECT_FALSE(s.Modified);
}

struct VersionCase {
  const char* name;
  FileLayout layout;
  bool info, loops, key, bank, params;
  int upperMidiFrom;  // 0: MIDI channels 16..47 keep the Reset values; 16: read from the file
};

FileLayout Layout(const char* version, int headerRecords, bool info, bool rest, int extra) {
  FileLayout f;
  f.version = version;
  f.headerRecords = headerRecords;
  f.info = info;
  f.loops = f.key = f.bank = f.params = rest;
  f.extraCount = extra;
  return f;
}

const VersionCase kVersionCases[] = {
    {"v106", Layout("106", 16, true, true, 48), true, true, true, true, true, 16},
    {"v106WithoutSection14", Layout("106", 16, true, true, 0), true, true, true, true, true, 0},
    {"v106Section14Count16", Layout("106", 16, true, true, 16), true, true, true, true, true, 0},
    {"v107ReadLike106", Layout("107", 16, true, true, 48), true, true, true, true, true, 16},
    {"v105With48HeaderRecords", Layout("105", 48, true, true, 0), true, true, true, true, true, 16},
    {"v104", Layout("104", 16, true, true, 0), true, true, true, true, true, 0},
    {"v104IgnoresSection14", Layout("104", 16, true, true, 48), true, true, true, true, true, 0},
    {"v104EndingAfterSection8", Layout("104", 16, false, false, 0), false, false, false, false, false, 0},
    {"v104EndingAfterSection9", Layout("104", 16, true, false, 0), true, false, false, false, false, 0},
    {"v105EndingAfterSection8", Layout("105", 48, false, false, 0), false, false, false, false, false, 16},
    {"v103", Layout("103", 16, true, false, 0), true, false, false, false, false, 0},
    {"v103IgnoresLaterSections", Layout("103", 16, true, true, 0), true, false, false, false, false, 0},
    {"v103EndingAfterSection8", Layout("103", 16, false, false, 0), false, false, false, false, false, 0},
    {"v102WithoutOptionalSections", Layout("102", 16, false, false, 0), false, false, false, false, false, 0},
    {"v102IgnoresSongInformation", Layout("102", 16, true, false, 0), false, false, false, false, false, 0},
};

class SongFileVersions : public ::testing::TestWithParam<VersionCase> {};

TEST_P(SongFileVersions, Load_ReadsTheSectionsOfItsVersion) {
  const auto& c = GetParam();
  TVNSong song;
  RecordingReporter rep;
  song.SetReporter(&rep);
  song.KeyKnown = true;
  ASSERT_TRUE(song.LoadFromBytes(BuildFile(c.layout).bytes, "v.vnl")) << ::testing::PrintToString(rep.messages);
  EXPECT_TRUE(rep.messages.empty());
  ExpectBody(song);
  EXPECT_EQ(song.Tag.Title, c.info ? "Title" : "");
  EXPECT_EQ(song.Tag.Artist, c.info ? "Artist" : "");
  EXPECT_EQ(song.Tag.Album, c.info ? "Album" : "");
  EXPECT_EQ(song.Tag.Year, c.info ? "1999" : "");
  EXPECT_EQ(song.Tag.Genre, c.info ? "Rock" : "");
  EXPECT_EQ(song.Tag.Comments, c.info ? "Line1\r\nLine2" : "");
  EXPECT_EQ(song.Tag.ShowOnLoad, c.info);
  EXPECT_EQ(int(song.PatternLoopStart), c.loops ? 0 : -1);
  EXPECT_EQ(int(song.PatternLoopEnd), c.loops ? 3 : -1);
  EXPECT_EQ(int(song.OrderLoopStart), -1);
  EXPECT_EQ(int(song.OrderLoopEnd), c.loops ? 1 : -1);
  EXPECT_EQ(bool(song.KeyKnown), c.key);
  EXPECT_EQ(int(song.KeyTone), c.key ? 4 : 0);
  EXPECT_EQ(int(song.KeyType), c.key ? 1 : 0);
  for (int m = 0; m < 16; ++m) {
    EXPECT_EQ(song.BankSelect(m, 0), c.bank ? m : 128) << m;
    EXPECT_EQ(song.BankSelect(m, 1), 128) << m;
  }
  EXPECT_EQ(song.TrackParam(0), -1);
  EXPECT_EQ(song.TrackParam(2), c.params ? 74 : -1);
  for (int m = 16; m < 48; ++m)
    for (int i = 0; i < 10; ++i)
      EXPECT_EQ(song.MidiChannelParams(m, i), c.upperMidiFrom ? MidiByte(m, i) : i == 0 ? 0 : 255) << m << "/" << i;
}

INSTANTIATE_TEST_SUITE_P(Files, SongFileVersions, ::testing::ValuesIn(kVersionCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Record sizes other than the song's own ----

TEST(SongFileRead, SmallerRecordSizes_FillTheMissingBytes) {
  FileLayout f;
  f.midiSize = 5;
  f.channelSize = 2;
  f.patternSize = 1;
  TVNSong song;
  ASSERT_TRUE(song.LoadFromBytes(BuildFile(f).bytes, "s.vnl"));
  for (int m : {0, 15, 16, 47}) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(song.MidiChannelParams(m, i), MidiByte(m, i)) << m;
    for (int i = 5; i < 10; ++i) EXPECT_EQ(song.MidiChannelParams(m, i), 255) << m << "/" << i;
  }
  EXPECT_EQ(song.GetMidiChannel(1), 9);
  EXPECT_EQ(song.GetVelocity(1), 80);
  EXPECT_EQ(song.GetReleaseMode(1), 0);
  EXPECT_EQ(song.GetTranspose(1), 0);
  EXPECT_EQ(song.LastRow(0), 3);
  EXPECT_EQ(song.PatternParams(0, 1), 0);
  EXPECT_EQ(song.CellData(1, 2, 0), 72);
  EXPECT_EQ(song.Tag.Title, "Title");
}

TEST(SongFileRead, LargerRecordSizes_SkipTheExtraBytes) {
  FileLayout f;
  f.midiSize = 12;
  f.channelSize = 6;
  f.patternSize = 3;
  TVNSong song;
  RecordingReporter rep;
  song.SetReporter(&rep);
  ASSERT_TRUE(song.LoadFromBytes(BuildFile(f).bytes, "l.vnl")) << ::testing::PrintToString(rep.messages);
  ExpectBody(song);
  for (int m = 16; m < 48; ++m)
    for (int i = 0; i < 10; ++i) EXPECT_EQ(song.MidiChannelParams(m, i), MidiByte(m, i)) << m << "/" << i;
  EXPECT_EQ(song.Tag.Title, "Title");
  EXPECT_EQ(song.TrackParam(2), 74);
}

// ---- Single values ----

void PutU16(std::vector<uint8_t>& b, size_t at, int v) {
  b[at] = uint8_t(v >> 8);
  b[at + 1] = uint8_t(v);
}

TEST(SongFileRead, LoopValues_StoredValueMinusOneAndAbove256IsUnset) {
  const std::pair<int, int> cases[] = {{0, -1}, {1, 0}, {256, 255}, {257, 256}, {258, -1}, {300, -1}, {65535, -1}};
  const auto built = BuildFile(FileLayout{});
  for (auto [stored, expected] : cases) {
    auto b = built.bytes;
    for (int i = 0; i < 4; ++i) PutU16(b, built.end[9] + 2 * i, stored);
    TVNSong song;
    ASSERT_TRUE(song.LoadFromBytes(b, "loops.vnl")) << stored;
    EXPECT_EQ(int(song.PatternLoopStart), expected) << stored;
    EXPECT_EQ(int(song.PatternLoopEnd), expected) << stored;
    EXPECT_EQ(int(song.OrderLoopStart), expected) << stored;
    EXPECT_EQ(int(song.OrderLoopEnd), expected) << stored;
  }
}

TEST(SongFileRead, KeyValues_OutOfRangeBecomeZeroAndKeyIsKnown) {
  struct Case { int tone, type, expectTone, expectType; };
  const Case cases[] = {{11, 1, 11, 1}, {0, 0, 0, 0}, {12, 2, 0, 0}, {65535, 65535, 0, 0}, {5, 2, 5, 0}};
  const auto built = BuildFile(FileLayout{});
  for (const auto& c : cases) {
    auto b = built.bytes;
    PutU16(b, built.end[10], c.tone);
    PutU16(b, built.end[10] + 2, c.type);
    TVNSong song;
    song.KeyKnown = false;
    ASSERT_TRUE(song.LoadFromBytes(b, "key.vnl"));
    EXPECT_EQ(int(song.KeyTone), c.expectTone) << c.tone;
    EXPECT_EQ(int(song.KeyType), c.expectType) << c.type;
    EXPECT_TRUE(song.KeyKnown);
  }
}

TEST(SongFileRead, Section14WithCount20_ReadsFourRecordsAndKeepsTheRestReset) {
  FileLayout f;
  f.extraCount = 20;
  TVNSong song;
  for (int m = 16; m < 48; ++m) song.SetProgram(m, 99);
  ASSERT_TRUE(song.LoadFromBytes(BuildFile(f).bytes, "n20.vnl"));
  for (int m = 16; m < 20; ++m)
    for (int i = 0; i < 10; ++i) EXPECT_EQ(song.MidiChannelParams(m, i), MidiByte(m, i)) << m;
  for (int m = 20; m < 48; ++m) {
    EXPECT_EQ(song.GetProgram(m), 0) << m;
    EXPECT_EQ(song.MidiChannelParams(m, 1), 255) << m;
  }
}

TEST(SongFileRead, BoolByteOtherThanOne_ReadsAsFalse) {
  FileLayout f;
  f.trueByte = 2;
  TVNSong song;
  ASSERT_TRUE(song.LoadFromBytes(BuildFile(f).bytes, "b.vnl"));
  EXPECT_FALSE(song.ChannelOn(0));
  EXPECT_FALSE(song.SongMode);
  EXPECT_FALSE(song.Tag.ShowOnLoad);
}

TEST(SongFileRead, EmptyFlagByteTwo_MeansCellsFollow) {
  const auto built = BuildFile(FileLayout{});
  auto bytes = built.bytes;
  size_t flag = built.end[5] - 6;  // pattern 0, track 2: pattern 1 takes the last 5 bytes
  ASSERT_EQ(bytes[flag], 1);
  bytes[flag] = 2;
  const uint8_t cells[] = {61, 128, 128, 128};
  bytes.insert(bytes.begin() + long(flag) + 1, std::begin(cells), std::end(cells));
  TVNSong song;
  ASSERT_TRUE(song.LoadFromBytes(bytes, "f.vnl"));
  EXPECT_EQ(song.CellData(0, 2, 0), 61);
  EXPECT_EQ(song.CellData(1, 2, 0), 72);
  EXPECT_EQ(int(song.BPM), 99);
}

TEST(SongFileRead, TrackOnChannelPastTheCount_AddsChannelsWithDefaults) {
  Bytes b;
  b.text("VnlMd").text("106").u16(1).u16(1).u16(2).u16(1).u8(10).u8(4).u8(2).fill(160, 0);
  b.u8(5).u8(90).u8(0).u8(0);  // channel 0
  b.u8(0).u8(0);               // pattern 0: one row
  b.u16(0);
  b.u8(ttNote).u8(0).u8(ttNote).u8(2);
  b.u8(1).u8(1);
  b.u8(120).u8(4).u8(0).u8(0).u8(0).u8(4).u8(1).shortString("");
  TVNSong song;
  ASSERT_TRUE(song.LoadFromBytes(b.data, "fit.vnl"));
  ASSERT_EQ(song.ChannelsCount(), 3);
  EXPECT_EQ(song.GetMidiChannel(0), 5);
  for (int c = 1; c < 3; ++c) {
    EXPECT_EQ(song.GetMidiChannel(c), c);
    EXPECT_EQ(song.GetVelocity(c), 100);
    EXPECT_TRUE(song.ChannelOn(c));
    EXPECT_EQ(song.Order(c, 0), 0);
  }
  EXPECT_FALSE(song.KeyKnown);
}

// ---- Refused and damaged files ----

// What LoadFromFile leaves after a refusal: the empty song of Reset(16, DefaultPatternLength, true).
void ExpectEmptyResetSong(const TVNSong& song) {
  TVNSong fresh;
  EXPECT_EQ(song.ChannelsCount(), 16);
  EXPECT_EQ(song.TracksCount(), 16);
  EXPECT_EQ(song.PatternsCount(), 1);
  EXPECT_EQ(song.OrderLength(), 1);
  EXPECT_EQ(song.EncodeFile(), fresh.EncodeFile());
  EXPECT_EQ(song.FileName, "");
}

// A song with data in it, so that a failed load has something to clear.
void FillSong(TVNSong& song) {
  song.Reset(3, 32, true);
  ASSERT_TRUE(song.InsertPattern(1, 100));
  song.StoreCell(0, 1, 5, 60);
  song.StoreCell(1, 2, 90, 61);
  song.Tag.Title = "Old";
  song.FileName = "old.vnl";
}

TEST(SongFileRead, OldVersions100And101_AreRefusedWithAMessage) {
  for (const char* version : {"100", "101"}) {
    FileLayout f;
    f.version = version;
    auto path = test::TempPath(std::string("old") + version + ".vnl");
    test::WriteFile(path, BuildFile(f).bytes);
    TVNSong song;
    FillSong(song);
    RecordingReporter rep;
    song.SetReporter(&rep);
    EXPECT_FALSE(song.LoadFromFile(path));
    EXPECT_EQ(rep.messages,
              std::vector<std::string>{"Not supported anymore. Use MIDI export in old version and click import\n" + path});
    ExpectEmptyResetSong(song);
  }
}

TEST(SongFileRead, WrongMagic_SaysItIsNoSongAndLeavesTheEmptySong) {
  auto bytes = BuildFile(FileLayout{}).bytes;
  bytes[4] = 'e';
  auto path = test::TempPath("magic.vnl");
  test::WriteFile(path, bytes);
  TVNSong song;
  FillSong(song);
  RecordingReporter rep;
  song.SetReporter(&rep);
  EXPECT_FALSE(song.LoadFromFile(path));
  EXPECT_EQ(rep.messages, std::vector<std::string>{"Error reading file (1)\n" + path + "\nthe file is not a Varnel song"});
  ExpectEmptyResetSong(song);
}

TEST(SongFileRead, MissingFile_SaysFileNotExistsAndKeepsTheSong) {
  TVNSong song;
  FillSong(song);
  RecordingReporter rep;
  song.SetReporter(&rep);
  EXPECT_FALSE(song.LoadFromFile(test::TempPath("no-such-file.vnl")));
  EXPECT_EQ(rep.messages, std::vector<std::string>{"File not exists\n" + test::TempPath("no-such-file.vnl")});
  EXPECT_EQ(song.FileName, "");
  EXPECT_EQ(song.PatternsCount(), 2);
  EXPECT_EQ(song.CellData(1, 2, 90), 61);
  EXPECT_EQ(song.Tag.Title, "Old");
}

TEST(SongFileRead, FileEndingInsideAMandatorySection_IsAReadFaultAndLeavesAnEmptySong) {
  const auto built = BuildFile(FileLayout{});
  const size_t cuts[] = {9,  12, 18, 100, built.end[0] + 2, built.end[1] + 1, built.end[2] + 3, built.end[3] + 1,
                         built.end[4] + 3, built.end[5] - 1, built.end[5] + 3, built.end[6] + 1, built.end[7],
                         built.end[8] - 2};
  for (size_t cut : cuts) {
    auto path = test::TempPath("cut.vnl");
    test::WriteFile(path, std::vector<uint8_t>(built.bytes.begin(), built.bytes.begin() + long(cut)));
    TVNSong song;
    FillSong(song);
    song.Modified = true;
    RecordingReporter rep;
    song.SetReporter(&rep);
    EXPECT_FALSE(song.LoadFromFile(path)) << "cut at " << cut;
    EXPECT_EQ(rep.Headlines(), std::vector<std::string>{"Error reading file (1)"}) << "cut at " << cut;
    ASSERT_EQ(rep.messages.size(), 1u);
    EXPECT_EQ(rep.messages[0].substr(rep.messages[0].find('\n') + 1, path.size() + 21), path + "\nthe file ends inside")
        << rep.messages[0];
    EXPECT_EQ(song.FileName, "");
    ASSERT_GE(song.PatternsCount(), 1);
    ASSERT_GE(song.TracksCount(), 1);
    ASSERT_GE(song.ChannelsCount(), 1);
    ASSERT_GE(song.OrderLength(), 1);
    for (int p = 0; p < song.PatternsCount(); ++p)
      for (int t = 0; t < song.TracksCount(); ++t) {
        ASSERT_LT(song.TrackChannel(t), song.ChannelsCount());
        for (int r = 0; r <= song.LastRow(p); ++r)
          ASSERT_EQ(song.CellData(p, t, r), EmptyValue(song.TrackType(t))) << "cut at " << cut;
      }
    EXPECT_TRUE(song.Tag.Title.empty());
    TVNSong back;  // and it saves as a loadable file
    EXPECT_TRUE(back.LoadFromBytes(song.EncodeFile(), "again.vnl")) << "cut at " << cut;
  }
}

// ---- Side effects of saving and loading ----

TEST(SongFileSave, Success_ReportsStatusClearsModifiedAndTakesThePath) {
  TVNSong song;
  RecordingReporter rep;
  song.SetReporter(&rep);
  song.Modified = true;
  auto path = test::TempPath("saved.vnl");
  ASSERT_TRUE(song.SaveToFile(path));
  EXPECT_FALSE(song.Modified);
  EXPECT_EQ(song.FileName, path);
  ASSERT_EQ(rep.statuses.size(), 2u);
  EXPECT_EQ(rep.statuses[0].text, "Saving " + path);
  EXPECT_EQ(rep.statuses[1].text, path + " saved");
  EXPECT_TRUE(rep.messages.empty());
}

TEST(SongFileLoad, Success_ClearsModifiedTakesThePathAndShowsTheLoadingCaption) {
  auto path = test::TempPath("load.vnl");
  test::WriteFile(path, BuildFile(FileLayout{}).bytes);
  TVNSong song;
  RecordingReporter rep;
  song.SetReporter(&rep);
  song.Modified = true;
  ASSERT_TRUE(song.LoadFromFile(path));
  EXPECT_FALSE(song.Modified);
  EXPECT_EQ(song.FileName, path);
  EXPECT_EQ(rep.busy, (std::vector<std::string>{"Loading " + path, "<end>"}));
  EXPECT_TRUE(rep.messages.empty());
}

// A save that cannot complete must say so, with the file and why, leave what was on disk untouched
// and leave the song named as it was.
void ExpectFailedSave(const std::string& target, TVNSong& song) {
  RecordingReporter rep;
  song.SetReporter(&rep);
  song.Modified = true;
  song.FileName = "before.vnl";
  EXPECT_FALSE(song.SaveToFile(target));
  EXPECT_EQ(rep.Headlines(), std::vector<std::string>{"Error saving file"});
  ASSERT_EQ(rep.messages.size(), 1u);
  EXPECT_EQ(rep.messages[0].rfind("Error saving file\n" + target + "\n", 0), 0u) << rep.messages[0];
  EXPECT_GT(rep.messages[0].size(), target.size() + 19) << "a reason follows";
  EXPECT_TRUE(song.Modified);
  EXPECT_EQ(song.FileName, "before.vnl");
  EXPECT_FALSE(rep.SaidStatus(target + " saved"));
}

TEST(SongFileSave, ParentIsARegularFile_ReportsErrorSavingFile) {
  auto parent = test::TempPath("plain-file");
  test::WriteFile(parent, {1, 2, 3});
  TVNSong song;
  ExpectFailedSave(parent + "/song.vnl", song);
  EXPECT_EQ(test::ReadFile(parent), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(SongFileSave, TargetIsADirectory_ReportsErrorSavingFileAndKeepsTheDirectory) {
  auto dir = test::TempPath("a-folder.vnl");
  std::filesystem::create_directories(dir);
  test::WriteFile(dir + "/inside", {7});
  TVNSong song;
  ExpectFailedSave(dir, song);
  EXPECT_TRUE(std::filesystem::is_directory(dir));
  EXPECT_EQ(test::ReadFile(dir + "/inside"), std::vector<uint8_t>{7});
}

TEST(SongFileSave, WriteFailsPartWay_KeepsTheExistingFileByteIdentical) {
  auto target = test::TempPath("existing.vnl");
  std::vector<uint8_t> old(3000);
  for (size_t i = 0; i < old.size(); ++i) old[i] = uint8_t(i * 7);
  test::WriteFile(target, old);
  TVNSong song;
  song.Reset(40, 256, true);
  for (int t = 0; t < 40; ++t) song.StoreCell(0, t, 7, 60);  // about 10 KB: past the limit below
  // Every write past 4 KB fails (EFBIG) while the limit is in force.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ExpectFailedSave(target, song);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(test::ReadFile(target), old);
}

}  // namespace
}  // namespace varnel
