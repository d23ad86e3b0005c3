// The .vnl writer: exact bytes of small songs, the empty-track flag, the encodings of loops, key,
// bank select and track parameters, string cuts, the device-name mapping and save/load round trips.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

using test::Bytes;
using test::RecordingReporter;

constexpr int kHeaderSize = 19 + 16 * 10;
const std::string kEnglishSynth = "Microsoft GS Wavetable Synth";

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}
// "Программный синтезатор звуковой" in code page 1251.
const std::string kLocalSynth = FromHex("cff0eee3f0e0ececedfbe920f1e8edf2e5e7e0f2eef020e7e2f3eaeee2eee9");

// Offset of the first differing byte, or -1; makes a mismatch readable.
long FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (a[i] != b[i]) return long(i);
  return a.size() == b.size() ? -1 : long(std::min(a.size(), b.size()));
}

size_t CellsOffset(const TVNSong& s) {
  return kHeaderSize + 4 * s.ChannelsCount() + 2 * s.PatternsCount() + 2 * s.ChannelsCount() * s.OrderLength() +
         2 * s.TracksCount();
}
// Sections 10..14 of a version 106 file sit at fixed distances from its end.
size_t LoopsOffset(const TVNSong& s, size_t fileSize) { return fileSize - (8 + 4 + 32 + 2 * s.TracksCount() + 1 + 320); }
size_t KeyOffset(const TVNSong& s, size_t fileSize) { return LoopsOffset(s, fileSize) + 8; }
size_t BankOffset(const TVNSong& s, size_t fileSize) { return KeyOffset(s, fileSize) + 4; }
size_t ParamsOffset(const TVNSong& s, size_t fileSize) { return BankOffset(s, fileSize) + 32; }
size_t ExtraMidiOffset(size_t fileSize) { return fileSize - 321; }

int GetU16(const std::vector<uint8_t>& b, size_t at) { return b[at] << 8 | b[at + 1]; }

// The worked example: 2 patterns, 3 channels, 3 tracks, order length 4, with every section filled.
void BuildExampleSong(TVNSong& s) {
  s.Reset(3, 4, true);
  ASSERT_TRUE(s.InsertPattern(1, 2));
  s.SetOrder(0, 3, 1);
  s.SetOrder(1, 1, 1);
  s.SetOrder(2, 2, OrderNoteOff);
  s.SetCellData(0, 1, 60);
  s.SetCellData(2, 3, CellNoteOff);
  s.StoreCell(1, 0, 5, 64);  // hidden: pattern 1 ends at row 1
  s.SetReleaseMode(0, 255);
  s.SetVelocity(1, 90);
  s.SetMidiChannel(2, 9);
  s.SetTranspose(2, -12);
  s.SetProgram(0, 5);
  s.SetMidiParam(0, 1, 64);
  s.SetProgram(20, 7);
  s.SetMidiParam(47, 9, 100);
  s.StoreBankSelect(0, 0, 0);
  s.StoreBankSelect(0, 1, 5);
  s.StoreBankSelect(1, 0, 255);
  s.StoreBankSelect(2, 0, 127);
  s.BPM = 140;
  s.SPD = 6;
  s.GridAdd = 0x102;
  s.SongMode = true;
  s.Octave = 3;
  s.SetChannelOn(1, false);
  s.DeviceName = "Synth";
  s.Tag.Title = "T";
  s.Tag.Year = "2024";
  s.Tag.Genre = "Pop";
  s.Tag.Comments = "Hi\r\nthere";
  s.Tag.ShowOnLoad = true;
  s.PatternLoopEnd = 0;
  s.OrderLoopStart = 3;
  s.OrderLoopEnd = 255;
  s.KeyTone = 9;
  s.KeyType = 1;
  s.SetTrackParam(1, 300);
  s.CurrentPattern = 1;
}

std::vector<uint8_t> ExampleBytes() {
  Bytes b;
  b.text("VnlMd").text("106").u16(2).u16(3).u16(3).u16(4).u8(10).u8(4).u8(2);
  for (int m = 0; m < 16; ++m) {
    b.u8(m == 0 ? 5 : 0);
    for (int i = 1; i < 10; ++i) b.u8(m == 0 && i == 1 ? 64 : 255);
  }
  b.u8(0).u8(100).u8(255).u8(0).u8(1).u8(90).u8(0).u8(0).u8(9).u8(100).u8(0).u8(68);  // 1: channels
  b.u8(3).u8(0).u8(1).u8(0);                                                          // 2: patterns
  b.u16(0).u16(256).u16(256).u16(1);                                                  // 3: orders
  b.u16(0).u16(1).u16(256).u16(256);
  b.u16(0).u16(256).u16(257).u16(256);
  b.u8(0).u8(0).u8(0).u8(1).u8(0).u8(2);  // 4: track table
  b.u8(0).u8(128).u8(60).u8(128).u8(128);  // 5: pattern 0
  b.u8(1);
  b.u8(0).u8(128).u8(128).u8(128).u8(129);
  b.u8(1).u8(1).u8(1);  // pattern 1, the hidden row is not written
  b.u8(140).u8(6).u8(2).u8(1).u8(1).u8(3);  // 6
  b.u8(1).u8(0).u8(1);                       // 7
  b.shortString("Synth");                    // 8
  b.shortString("T").shortString("").shortString("").shortString("2024").shortString("Pop");  // 9
  b.longString("Hi\r\nthere").u8(1);
  b.u16(0).u16(1).u16(4).u16(256);  // 10
  b.u16(9).u16(1);                  // 11
  b.u8(1).u8(6).u8(0).u8(129).u8(128).u8(129);  // 12
  for (int m = 3; m < 16; ++m) b.u8(129).u8(129);
  b.u16(0).u16(301).u16(0);  // 13
  b.u8(48);                  // 14
  for (int m = 16; m < 48; ++m) {
    b.u8(m == 20 ? 7 : 0);
    for (int i = 1; i < 10; ++i) b.u8(m == 47 && i == 9 ? 100 : 255);
  }
  return b.data;
}

TEST(SongFileWrite, WorkedExample_HeaderAndSectionSizesAndEveryByte) {
  TVNSong song;
  BuildExampleSong(song);
  auto bytes = song.EncodeFile();
  auto expected = ExampleBytes();
  EXPECT_EQ(CellsOffset(song), size_t(179 + 12 + 4 + 24 + 6));
  ASSERT_GE(bytes.size(), size_t(kHeaderSize));
  EXPECT_EQ(FirstDifference(bytes, expected), -1) << "file size " << bytes.size() << ", expected " << expected.size();

  auto path = test::TempPath("example.vnl");
  ASSERT_TRUE(song.SaveToFile(path));
  EXPECT_EQ(test::ReadFile(path), expected);
}

TEST(SongFileRead, WorkedExample_ReadsBackEveryField) {
  TVNSong song;
  ASSERT_TRUE(song.LoadFromBytes(ExampleBytes(), "example.vnl"));
  EXPECT_EQ(song.PatternsCount(), 2);
  EXPECT_EQ(song.ChannelsCount(), 3);
  EXPECT_EQ(song.TracksCount(), 3);
  EXPECT_EQ(song.OrderLength(), 4);
  EXPECT_EQ(song.LastRow(0), 3);
  EXPECT_EQ(song.LastRow(1), 1);
  EXPECT_EQ(song.CellData(0, 0, 1), 60);
  EXPECT_EQ(song.CellData(0, 2, 3), CellNoteOff);
  EXPECT_EQ(song.CellData(1, 0, 5), CellEmpty);  // past LastRow
  EXPECT_EQ(song.Order(0, 3), 1);
  EXPECT_EQ(song.Order(2, 2), OrderNoteOff);
  EXPECT_EQ(song.GetReleaseMode(0), 255);
  EXPECT_EQ(song.GetVelocity(1), 90);
  EXPECT_EQ(song.GetMidiChannel(2), 9);
  EXPECT_EQ(song.GetTranspose(2), -12);
  EXPECT_EQ(song.GetProgram(0), 5);
  EXPECT_EQ(song.MidiChannelParams(0, 1), 64);
  EXPECT_EQ(song.GetProgram(20), 7);
  EXPECT_EQ(song.MidiChannelParams(47, 9), 100);
  EXPECT_EQ(song.BankSelect(0, 0), 0);
  EXPECT_EQ(song.BankSelect(0, 1), 5);
  EXPECT_EQ(song.BankSelect(1, 0), 255);
  EXPECT_EQ(song.BankSelect(2, 0), 127);
  EXPECT_EQ(song.BankSelect(3, 1), 128);
  EXPECT_EQ(int(song.BPM), 140);
  EXPECT_EQ(int(song.SPD), 6);
  EXPECT_EQ(int(song.GridAdd), 2);
  EXPECT_EQ(int(song.CurrentPattern), 1);
  EXPECT_TRUE(song.SongMode);
  EXPECT_EQ(int(song.Octave), 3);
  EXPECT_TRUE(song.ChannelOn(0));
  EXPECT_FALSE(song.ChannelOn(1));
  EXPECT_EQ(song.DeviceName, "Synth");
  EXPECT_EQ(song.LoadedDeviceName, "Synth");
  EXPECT_EQ(song.Tag.Title, "T");
  EXPECT_EQ(song.Tag.Year, "2024");
  EXPECT_EQ(song.Tag.Genre, "Pop");
  EXPECT_EQ(song.Tag.Comments, "Hi\r\nthere");
  EXPECT_TRUE(song.Tag.ShowOnLoad);
  EXPECT_EQ(int(song.PatternLoopStart), -1);
  EXPECT_EQ(int(song.PatternLoopEnd), 0);
  EXPECT_EQ(int(song.OrderLoopStart), 3);
  EXPECT_EQ(int(song.OrderLoopEnd), 255);
  EXPECT_EQ(int(song.KeyTone), 9);
  EXPECT_EQ(int(song.KeyType), 1);
  EXPECT_TRUE(song.KeyKnown);
  EXPECT_EQ(song.TrackParam(0), -1);
  EXPECT_EQ(song.TrackParam(1), 300);
  EXPECT_FALSE(song.Modified);
}

// ---- Empty-track flag ----

TEST(SongFileWrite, EmptyNoteTrack_IsTheSingleFlagByteOne) {
  TVNSong song;
  song.Reset(1, 8, true);
  auto b = song.EncodeFile();
  size_t at = CellsOffset(song);
  EXPECT_EQ(b[at], 1);
  EXPECT_EQ(b[at + 1], 120) << "section 6 (BPM) must follow the flag";
}

TEST(SongFileWrite, NoteTrackWithOneNote_IsFlagZeroAndLastRowPlusOneBytes) {
  TVNSong song;
  song.Reset(1, 8, true);
  song.SetCellData(0, 3, 60);
  auto b = song.EncodeFile();
  size_t at = CellsOffset(song);
  std::vector<uint8_t> cells(b.begin() + at, b.begin() + at + 10);
  EXPECT_EQ(cells, (std::vector<uint8_t>{0, 128, 128, 128, 60, 128, 128, 128, 128, 120}));
}

// A note track followed by a tempo track (channel 0); the tempo fill value of the file is 128.
void TempoSong(TVNSong& song) {
  song.Reset(1, 8, true);
  ASSERT_TRUE(song.AddTrack(0, ttTempo, -1, -1));
  ASSERT_EQ(song.TrackType(1), ttTempo);
}

TEST(SongFileWrite, EmptyTempoTrackOfZeros_IsWrittenInFull) {
  TVNSong song;
  TempoSong(song);
  auto b = song.EncodeFile();
  size_t at = CellsOffset(song);
  EXPECT_EQ(b[at], 1);  // the note track
  std::vector<uint8_t> tempo(b.begin() + at + 1, b.begin() + at + 11);
  EXPECT_EQ(tempo, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 120}));
}

TEST(SongFileWrite, TempoTrackOfAll128_IsFlagOneAndReadsBackAs128) {
  TVNSong song;
  TempoSong(song);
  for (int r = 0; r < 8; ++r) song.SetCellData(1, r, 128);
  auto b = song.EncodeFile();
  size_t at = CellsOffset(song);
  EXPECT_EQ(b[at + 1], 1);
  EXPECT_EQ(b[at + 2], 120);

  TVNSong back;
  ASSERT_TRUE(back.LoadFromBytes(b, "t.vnl"));
  for (int r = 0; r < 8; ++r) EXPECT_EQ(back.CellData(0, 1, r), 128) << "row " << r;
  for (int r = 8; r < 256; ++r) ASSERT_EQ(back.CellData(0, 1, r), 0) << "row " << r;
}

TEST(SongFileWrite, RowsPastLastRow_AreNotWrittenAndReadBackAsEmptyValue) {
  TVNSong clean, song;
  TempoSong(clean);
  TempoSong(song);
  song.StoreCell(0, 0, 8, 60);
  song.StoreCell(0, 0, 255, 61);
  song.StoreCell(0, 1, 10, 200);
  auto b = song.EncodeFile();
  EXPECT_EQ(b, clean.EncodeFile());

  TVNSong back;
  ASSERT_TRUE(back.LoadFromBytes(b, "t.vnl"));
  EXPECT_EQ(back.CellData(0, 0, 8), CellEmpty);
  EXPECT_EQ(back.CellData(0, 0, 255), CellEmpty);
  EXPECT_EQ(back.CellData(0, 1, 10), 0);
}

// ---- Loops, key, bank select, track parameters, section 14 ----

TEST(SongFileWrite, LoopValues_AreStoredPlusOne) {
  TVNSong song;
  song.Reset(2, 4, true);
  song.PatternLoopStart = -1;
  song.PatternLoopEnd = 0;
  song.OrderLoopStart = 255;
  song.OrderLoopEnd = 1000;
  auto b = song.EncodeFile();
  size_t at = LoopsOffset(song, b.size());
  EXPECT_EQ(GetU16(b, at), 0);
  EXPECT_EQ(GetU16(b, at + 2), 1);
  EXPECT_EQ(GetU16(b, at + 4), 256);
  EXPECT_EQ(GetU16(b, at + 6), 1001);
}

TEST(SongFileWrite, Key_IsWrittenAsTwoU16) {
  TVNSong song;
  song.Reset(1, 4, true);
  song.KeyTone = 3;
  song.KeyType = 1;
  auto b = song.EncodeFile();
  EXPECT_EQ(GetU16(b, KeyOffset(song, b.size())), 3);
  EXPECT_EQ(GetU16(b, KeyOffset(song, b.size()) + 2), 1);
}

TEST(SongFileWrite, BankSelect_IsStoredPlusOneModulo256AndReadsBack) {
  const std::pair<int, int> cases[] = {{128, 129}, {0, 1}, {127, 128}, {255, 0}, {254, 255}};
  TVNSong song;
  song.Reset(1, 4, true);
  for (int m = 0; m < 5; ++m) {
    song.StoreBankSelect(m, 0, uint8_t(cases[m].first));
    song.StoreBankSelect(m, 1, uint8_t(cases[4 - m].first));
  }
  auto b = song.EncodeFile();
  size_t at = BankOffset(song, b.size());
  for (int m = 0; m < 5; ++m) {
    EXPECT_EQ(b[at + 2 * m], cases[m].second) << "MSB of MIDI channel " << m;
    EXPECT_EQ(b[at + 2 * m + 1], cases[4 - m].second) << "LSB of MIDI channel " << m;
  }
  EXPECT_EQ(b[at + 2 * 15], 129);  // never set: 128

  TVNSong back;
  ASSERT_TRUE(back.LoadFromBytes(b, "t.vnl"));
  for (int m = 0; m < 5; ++m) {
    EXPECT_EQ(back.BankSelect(m, 0), cases[m].first);
    EXPECT_EQ(back.BankSelect(m, 1), cases[4 - m].first);
  }
}

TEST(SongFileRead, BankSelectOfChannels16Up_IsNotStoredAndReadsAsUnset) {
  TVNSong song;
  song.Reset(1, 4, true);
  song.StoreBankSelect(20, 0, 5);
  auto b = song.EncodeFile();
  TVNSong back;
  back.StoreBankSelect(20, 0, 7);
  ASSERT_TRUE(back.LoadFromBytes(b, "t.vnl"));
  EXPECT_EQ(back.BankSelect(20, 0), 128);
}

TEST(SongFileWrite, TrackParam_IsStoredPlusOne) {
  TVNSong song;
  song.Reset(1, 4, true);
  ASSERT_TRUE(song.AddTrack(0, ttControlChange, 74, -1));
  ASSERT_TRUE(song.AddTrack(1, ttNRPN, 16383, -1));
  auto b = song.EncodeFile();
  size_t at = ParamsOffset(song, b.size());
  EXPECT_EQ(GetU16(b, at), 0);
  EXPECT_EQ(GetU16(b, at + 2), 75);
  EXPECT_EQ(GetU16(b, at + 4), 16384);
  TVNSong back;
  ASSERT_TRUE(back.LoadFromBytes(b, "t.vnl"));
  EXPECT_EQ(back.TrackParam(0), -1);
  EXPECT_EQ(back.TrackParam(1), 74);
  EXPECT_EQ(back.TrackParam(2), 16383);
}

TEST(SongFileWrite, Section14_HoldsCount48AndMidiChannels16To47) {
  TVNSong song;
  song.Reset(1, 4, true);
  song.SetProgram(16, 3);
  song.SetMidiParam(47, 9, 100);
  song.SetProgram(15, 9);
  auto b = song.EncodeFile();
  size_t at = ExtraMidiOffset(b.size());
  EXPECT_EQ(b[at], 48);
  EXPECT_EQ(b[at + 1], 3);
  EXPECT_EQ(b[at + 2], 255);
  EXPECT_EQ(b.back(), 100);
  EXPECT_EQ(b[kHeaderSize - 10], 9);  // MIDI channel 15 stays in the header
}

// ---- Strings and low bytes ----

TEST(SongFileWrite, LocalizedSynthName_IsWrittenAsEnglishNameAndKeptInSong) {
  TVNSong song;
  song.Reset(1, 1, true);
  song.DeviceName = kLocalSynth;
  ASSERT_EQ(kLocalSynth.size(), 31u);
  auto path = test::TempPath("synth.vnl");
  ASSERT_TRUE(song.SaveToFile(path));
  auto b = test::ReadFile(path);
  size_t at = CellsOffset(song) + 1 + 6 + 1;  // flag, section 6, section 7
  ASSERT_GT(b.size(), at + 29);
  EXPECT_EQ(b[at], 28);
  EXPECT_EQ(std::string(b.begin() + at + 1, b.begin() + at + 29), kEnglishSynth);
  EXPECT_EQ(song.DeviceName, kEnglishSynth);
}

TEST(SongFileRead, DeviceName_EnglishSynthMapsToLocalizedNameOthersStay) {
  const std::pair<std::string, std::string> cases[] = {
      {kEnglishSynth, kLocalSynth}, {kLocalSynth, kLocalSynth}, {"USB MIDI", "USB MIDI"}, {"", ""}};
  for (const auto& [stored, expected] : cases) {
    TVNSong song;
    song.Reset(1, 1, true);
    song.DeviceName = stored;
    auto b = song.EncodeFile();
    TVNSong back;
    ASSERT_TRUE(back.LoadFromBytes(b, "t.vnl")) << stored;
    EXPECT_EQ(back.LoadedDeviceName, stored);
    EXPECT_EQ(back.DeviceName, expected) << stored;
  }
}

TEST(SongFileWrite, ShortStringsLongerThan255_AreCutTo255Bytes) {
  std::string TVNSongTag::*fields[] = {&TVNSongTag::Title, &TVNSongTag::Artist, &TVNSongTag::Album,
                                      &TVNSongTag::Year, &TVNSongTag::Genre};
  std::string longText;
  for (int i = 0; i < 300; ++i) longText.push_back(char('a' + i % 26));
  TVNSong plain;
  plain.Reset(1, 4, true);
  const size_t plainSize = plain.EncodeFile().size();
  for (int f = 0; f <= 5; ++f) {
    TVNSong song;
    song.Reset(1, 4, true);
    if (f < 5) song.Tag.*fields[f] = longText;
    else song.DeviceName = longText;
    auto path = test::TempPath("long.vnl");
    ASSERT_TRUE(song.SaveToFile(path));
    auto b = test::ReadFile(path);
    EXPECT_EQ(b.size(), plainSize + 255) << "field " << f;
    TVNSong back;
    ASSERT_TRUE(back.LoadFromBytes(b, path)) << "field " << f;
    std::string got = f < 5 ? back.Tag.*fields[f] : back.LoadedDeviceName;
    EXPECT_EQ(got, longText.substr(0, 255)) << "field " << f;
  }
}

TEST(SongFileWrite, LongComments_RoundTripExactly) {
  TVNSong song;
  song.Reset(1, 4, true);
  for (int i = 0; i < 5000; ++i) song.Tag.Comments.push_back(char(i % 256));
  TVNSong back;
  ASSERT_TRUE(back.LoadFromBytes(song.EncodeFile(), "t.vnl"));
  EXPECT_EQ(back.Tag.Comments, song.Tag.Comments);
}

// A comment longer than its u16 length can hold must never give a file that reads back as garbage.
TEST(SongFileWrite, CommentsOver65535Bytes_SaveFailsOrFileStillLoads) {
  TVNSong song;
  song.Reset(1, 4, true);
  song.Tag.Comments.assign(70000, 'x');
  song.Tag.ShowOnLoad = true;
  song.KeyTone = 7;
  RecordingReporter rep;
  song.SetReporter(&rep);
  auto path = test::TempPath("huge.vnl");
  if (!song.SaveToFile(path)) {
    EXPECT_EQ(rep.Headlines(), std::vector<std::string>{"Error saving file"});
    return;
  }
  TVNSong back;
  ASSERT_TRUE(back.LoadFromFile(path));
  EXPECT_TRUE(back.Tag.ShowOnLoad);
  EXPECT_EQ(int(back.KeyTone), 7);
  EXPECT_EQ(back.Tag.Comments, std::string(back.Tag.Comments.size(), 'x'));
}

TEST(SongFileWrite, CurrentPatternAndGridAdd_KeepOnlyTheirLowByte) {
  TVNSong song;
  song.Reset(1, 4, true);
  ASSERT_TRUE(song.InsertPattern(1, 4));
  song.CurrentPattern = 0x101;
  song.GridAdd = 300;
  auto b = song.EncodeFile();
  size_t at = CellsOffset(song) + 2;  // two empty-track flags
  EXPECT_EQ(b[at + 2], 300 & 0xFF);
  EXPECT_EQ(b[at + 3], 1);
  TVNSong back;
  ASSERT_TRUE(back.LoadFromBytes(b, "t.vnl"));
  EXPECT_EQ(int(back.CurrentPattern), 1);
  EXPECT_EQ(int(back.GridAdd), 44);
}

// ---- Round trips ----

// Every track type, velocity tracks, patterns of 64, 1, 17 and 256 rows, long comments, every setting.
void BuildRichSong(TVNSong& s) {
  s.Reset(4, 64, true);
  ASSERT_TRUE(s.AddTrack(0, ttVelocity, -1, -1));
  for (int type = ttPan; type <= ttTempo; ++type)
    ASSERT_TRUE(s.AddTrack(2, type, type == ttControlChange ? 7 : type == ttNRPN ? 1000 : type == ttRPN ? 5 : -1, -1));
  auto firstOf = [&](int channel) {
    int first = 0, end = 0;
    s.ChannelTracks(channel, first, end);
    return first;
  };
  ASSERT_TRUE(s.AddTrack(firstOf(2), ttVelocity, -1, -1));
  ASSERT_TRUE(s.AddTrack(firstOf(3), ttNote, -1, -1));
  ASSERT_TRUE(s.InsertPattern(1, 1));
  ASSERT_TRUE(s.InsertPattern(2, 17));
  ASSERT_TRUE(s.InsertPattern(3, 256));
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  for (int p = 0; p < s.PatternsCount(); ++p)
    for (int t = 0; t < s.TracksCount(); ++t) {
      if ((p + t) % 5 == 0) continue;  // left empty: written as one flag byte
      int type = s.TrackType(t);
      for (int r = 0; r < 256; ++r) {
        int v = type == ttNote ? int(next(130)) : type == ttTempo ? int(next(255)) : int(next(129));
        if (next(3) == 0) v = EmptyValue(type);
        s.StoreCell(p, t, r, v);
      }
    }
  const int orderValues[] = {0, 1, 2, 3, OrderEmpty, OrderNoteOff};
  for (int c = 0; c < 4; ++c)
    for (int pos = 0; pos < 10; ++pos) s.SetOrder(c, pos, orderValues[(c + pos) % 6]);
  for (int m = 0; m < MidiChannelCount; ++m) {
    s.SetProgram(m, uint8_t(m * 2 % 128));
    for (int i = 1; i < 10; ++i) s.SetMidiParam(m, i, (m + i) % 3 == 0 ? -1 : (m * 7 + i) % 128);
    if (m < 16) {
      s.StoreBankSelect(m, 0, uint8_t(m * 17));
      s.StoreBankSelect(m, 1, uint8_t(255 - m));
    }
  }
  s.SetMidiChannel(3, 47);
  s.SetVelocity(1, 1);
  s.SetReleaseMode(2, 255);
  s.SetTranspose(0, 36);
  s.SetTranspose(1, -36);
  s.SetChannelOn(2, false);
  s.Tag = {"Title", "Artist", "Album", "1999", "Genre", "", "", true};
  for (int i = 0; i < 3000; ++i) s.Tag.Comments.push_back(char(i * 31 % 256));
  s.DeviceName = "Some Synth";
  s.PatternLoopStart = 2;
  s.PatternLoopEnd = 9;
  s.OrderLoopStart = 0;
  s.OrderLoopEnd = 4;
  s.KeyTone = 11;
  s.KeyType = 1;
  s.BPM = 250;
  s.SPD = 96;
  s.GridAdd = 64;
  s.SongMode = true;
  s.Octave = 8;
  s.CurrentPattern = 3;
}

void BuildMaxTracksSong(TVNSong& s) {
  s.Reset(255, 16, true);
  ASSERT_TRUE(s.AddTrack(254, ttNote, -1, -1));
  ASSERT_EQ(s.TracksCount(), 256);
  for (int t = 0; t < 256; ++t) s.StoreCell(0, t, t % 16, t % 128);
}

void BuildFullSingleTrack(TVNSong& s) {
  s.Reset(1, 256, true);
  for (int r = 0; r < 256; ++r) s.StoreCell(0, 0, r, r % 130);
}

// Field by field on top of the byte comparison, so that a fault shared by writer and reader shows.
void ExpectSameVisibleSong(const TVNSong& a, const TVNSong& b) {
  ASSERT_EQ(a.PatternsCount(), b.PatternsCount());
  ASSERT_EQ(a.TracksCount(), b.TracksCount());
  ASSERT_EQ(a.ChannelsCount(), b.ChannelsCount());
  ASSERT_EQ(a.OrderLength(), b.OrderLength());
  for (int t = 0; t < a.TracksCount(); ++t) {
    EXPECT_EQ(a.TrackType(t), b.TrackType(t));
    EXPECT_EQ(a.TrackChannel(t), b.TrackChannel(t));
    EXPECT_EQ(a.TrackParam(t), b.TrackParam(t));
  }
  for (int p = 0; p < a.PatternsCount(); ++p) {
    ASSERT_EQ(a.LastRow(p), b.LastRow(p));
    for (int t = 0; t < a.TracksCount(); ++t)
      for (int r = 0; r <= a.LastRow(p); ++r)
        ASSERT_EQ(a.CellData(p, t, r), b.CellData(p, t, r)) << "pattern " << p << " track " << t << " row " << r;
  }
  for (int c = 0; c < a.ChannelsCount(); ++c)
    for (int pos = 0; pos < a.OrderLength(); ++pos) EXPECT_EQ(a.Order(c, pos), b.Order(c, pos));
  for (int m = 0; m < MidiChannelCount; ++m)
    for (int i = 0; i < 10; ++i) EXPECT_EQ(a.MidiChannelParams(m, i), b.MidiChannelParams(m, i));
  EXPECT_EQ(a.Tag.Comments, b.Tag.Comments);
  EXPECT_EQ(int(a.OrderLoopEnd), int(b.OrderLoopEnd));
  EXPECT_EQ(int(a.SPD), int(b.SPD));
}

class SongFileRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(SongFileRoundTrip, SaveLoadSave_GivesIdenticalBytesAndTheSameSong) {
  TVNSong song;
  if (GetParam() == 0) BuildRichSong(song);
  if (GetParam() == 1) BuildMaxTracksSong(song);
  if (GetParam() == 2) BuildFullSingleTrack(song);
  ASSERT_FALSE(HasFatalFailure());
  auto first = test::TempPath("first.vnl"), second = test::TempPath("second.vnl");
  ASSERT_TRUE(song.SaveToFile(first));
  auto bytes = test::ReadFile(first);
  EXPECT_EQ(bytes, song.EncodeFile());

  TVNSong back;  // holds a different, larger song before the load
  back.Reset(40, 128, true);
  ASSERT_TRUE(back.InsertPattern(1, 200));
  back.StoreCell(1, 39, 100, 64);
  ASSERT_TRUE(back.LoadFromFile(first));
  ExpectSameVisibleSong(song, back);
  ASSERT_TRUE(back.SaveToFile(second));
  EXPECT_EQ(FirstDifference(test::ReadFile(second), bytes), -1);
}

std::string RoundTripName(const ::testing::TestParamInfo<int>& info) {
  const char* names[] = {"RichSong", "MaxTracks", "FullSingleTrack"};
  return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Songs, SongFileRoundTrip, ::testing::Values(0, 1, 2), RoundTripName);

TEST(SongFileWrite, DefaultSong_RoundTripsIdentically) {
  TVNSong song;
  auto bytes = song.EncodeFile();
  TVNSong back;
  back.Reset(3, 32, true);
  ASSERT_TRUE(back.LoadFromBytes(bytes, "d.vnl"));
  ExpectSameVisibleSong(song, back);
  EXPECT_EQ(back.EncodeFile(), bytes);
}

}  // namespace
}  // namespace varnel
