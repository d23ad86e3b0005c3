// Damaged and hostile modules: every prefix of a valid module, counts and lengths that lie, random
// byte damage and the inputs the fuzzer found. Each import ends as a refusal that leaves the song
// alone or as a partial song that keeps the song's invariants; never a crash, hang or overread.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "exchange/xm_import.h"
#include "support/recording_reporter.h"
#include "support/song_builders.h"
#include "xm_import_builder.h"

namespace varnel {
namespace {

using test::Note;
using test::NoteOnly;
using test::PatternOf;
using test::RecordingReporter;
using test::Unpacked;
using test::XMModule;

const std::string kNotValid = "Not a valid file";

// Keeps the messages and only the last status: packing a song of many channels says a lot.
class LastStatusReporter final : public Reporter {
 public:
  void Status(const std::string& text, int) override { lastStatus = text; }
  void Message(const std::string& text) override { messages.push_back(text); }
  bool Question(const std::string&) override { return false; }
  std::string lastStatus;
  std::vector<std::string> messages;
};

XMModule ThreePatternModule() {
  XMModule module;
  module.channels = 2;
  module.instruments = 3;
  module.order = {0, 1, 2, 1};
  module.patterns = {PatternOf(8, 2, {{0, Note(49, 1)}, {1, Note(61, 2)}, {2, NoteOnly(51)}, {5, Unpacked(97, 2)}}),
                     PatternOf(4, 2, {{0, Note(50, 3)}, {3, Note(62, 1)}, {6, NoteOnly(97)}}),
                     PatternOf(16, 2, {{4, Note(55, 2)}, {5, Unpacked(57, 3, 0x20, 1, 1)}, {31, NoteOnly(60)}})};
  module.patterns[1].headerLength = 11;
  return module;
}

// Imports bytes into a song that holds a marker, returns what is wrong afterwards (empty when
// nothing is): a refusal must say "Not a valid file" and leave the marker, an import must give a
// valid song.
std::string CheckedImport(std::span<const uint8_t> bytes, LastStatusReporter& reporter, bool* imported = nullptr) {
  TVNSong song(&reporter);
  test::MakeSong(song, 3, 32);
  song.SetCellData(2, 7, 77);
  const bool ok = ImportXMBytes(song, bytes, "damaged.xm");
  if (imported) *imported = ok;
  if (!ok) {
    if (reporter.lastStatus != kNotValid) return "refused without saying so";
    if (song.ChannelsCount() != 3 || song.GetCellData(2, 7) != 77) return "a refused import changed the song";
    return "";
  }
  return test::SongFault(song);
}

TEST(XMImportDamageTest, Truncated_AtEveryLength_RefusedInTheHeaderPartialAfterIt) {
  const std::vector<uint8_t> full = ThreePatternModule().Build();
  for (size_t size = 0; size < full.size(); ++size) {
    SCOPED_TRACE(size);
    // A copy of exactly the prefix, so that the sanitizers catch any read past its end.
    const std::vector<uint8_t> prefix(full.begin(), full.begin() + ptrdiff_t(size));
    LastStatusReporter reporter;
    bool imported = false;
    ASSERT_EQ(CheckedImport(prefix, reporter, &imported), "");
    EXPECT_EQ(imported, size >= 336);
    if (imported) {
      ASSERT_FALSE(reporter.messages.empty());
      EXPECT_EQ(reporter.messages.back().rfind("File ends early: ", 0), 0u) << reporter.messages.back();
    }
  }
  LastStatusReporter reporter;
  ASSERT_EQ(CheckedImport(full, reporter), "");
  EXPECT_TRUE(reporter.messages.empty());
}

TEST(XMImportDamageTest, Truncated_InsideTheSecondPattern_KeepsTheFirst) {
  XMModule module;
  module.channels = 1;
  module.instruments = 1;
  module.order = {0, 1};
  module.patterns = {PatternOf(8, 1, {{0, Note(49, 1)}, {1, NoteOnly(50)}}),
                     PatternOf(8, 1, {{0, Note(60, 1)}, {5, NoteOnly(62)}})};
  std::vector<uint8_t> bytes = module.Build();
  bytes.resize(bytes.size() - 4);  // cuts slot 5 off
  RecordingReporter reporter;
  TVNSong song(&reporter);
  ASSERT_TRUE(ImportXMBytes(song, bytes, "cut.xm"));
  ASSERT_EQ(test::SongFault(song), "");
  ASSERT_EQ(song.PatternsCount(), 2);
  EXPECT_EQ(song.CellData(0, 0, 0), 48);
  EXPECT_EQ(song.CellData(0, 0, 1), 49);
  EXPECT_EQ(song.CellData(1, 0, 0), 59);
  EXPECT_EQ(song.CellData(1, 0, 5), CellEmpty);
  EXPECT_EQ(reporter.messages, (std::vector<std::string>{"File ends early: 2 of 2 patterns read"}));
}

struct LyingCase {
  std::string what;
  std::function<void(XMModule&)> damage;
  std::vector<std::string> messages;  // the messages expected; {"*"}: anything
};

TEST(XMImportDamageTest, LyingCountsAndLengths_EndTheReadCleanly) {
  const LyingCase cases[] = {
      {"65535 patterns", [](XMModule& m) { m.patternCount = 65535; },
       {"Only the first 256 patterns are read", "File ends early: 3 of 256 patterns read"}},
      {"200 patterns", [](XMModule& m) { m.patternCount = 200; }, {"File ends early: 3 of 200 patterns read"}},
      {"packed size past the end", [](XMModule& m) { m.patterns[2].packedSize = 65535; },
       {"File ends early: 3 of 3 patterns read"}},
      {"packed size short", [](XMModule& m) { m.patterns[0].packedSize = 3; }, {"*"}},
      {"pattern header length 4 GiB", [](XMModule& m) { m.patterns[1].headerLength = 0xFFFFFFFF; },
       {"File ends early: 1 of 3 patterns read"}},
      {"pattern header length 0", [](XMModule& m) { m.patterns[1].headerLength = 0; }, {"*"}},
      {"module header size 4 GiB", [](XMModule& m) { m.headerSize = 0xFFFFFFFF; },
       {"File ends early: 0 of 3 patterns read"}},
      {"module header size 0", [](XMModule& m) { m.headerSize = 0; }, {}},
      {"65535 instruments", [](XMModule& m) { m.instruments = 65535; }, {}},
      {"no instruments", [](XMModule& m) { m.instruments = 0; }, {}},
      {"65535 channels", [](XMModule& m) { m.channels = 65535; }, {}},
      {"one channel", [](XMModule& m) { m.channels = 1; }, {}},
      {"song length 65535", [](XMModule& m) { m.songLength = 65535; }, {}},
      {"65535 rows", [](XMModule& m) { m.patterns[0].rows = 65535; }, {}},
      {"tempo 65535, BPM 65535", [](XMModule& m) { m.tempo = m.bpm = 65535; }, {}},
  };
  for (const LyingCase& c : cases) {
    SCOPED_TRACE(c.what);
    XMModule module = ThreePatternModule();
    c.damage(module);
    const std::vector<uint8_t> bytes = module.Build();
    LastStatusReporter reporter;
    bool imported = false;
    ASSERT_EQ(CheckedImport(bytes, reporter, &imported), "");
    EXPECT_TRUE(imported);
    if (c.messages != std::vector<std::string>{"*"}) {
      EXPECT_EQ(reporter.messages, c.messages);
    }
  }
}

TEST(XMImportDamageTest, Slots_MoreThanAPatternHolds_StopAtRow255) {
  XMModule module;
  module.channels = 1;
  module.instruments = 1;
  test::XMPattern pattern = PatternOf(64, 1, {});
  pattern.data.clear();
  for (int slot = 0; slot < 300; ++slot)
    for (uint8_t b : Note(1 + slot % 96, 1)) pattern.data.push_back(b);
  module.patterns = {pattern};
  RecordingReporter reporter;
  TVNSong song(&reporter);
  ASSERT_TRUE(ImportXMBytes(song, module.Build(), "long.xm"));
  ASSERT_EQ(test::SongFault(song), "");
  EXPECT_EQ(song.LastRow(0), 63);
  EXPECT_EQ(song.CellData(0, 0, 255), 255 % 96);
}

TEST(XMImportDamageTest, RandomDamage_ToAValidModule_NeverBreaksTheSong) {
  const std::vector<uint8_t> full = ThreePatternModule().Build();
  std::mt19937 random(20240611);
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> bytes = full;
    const int flips = 1 + int(random() % 8);
    for (int i = 0; i < flips; ++i) {
      // Mostly the header counts and the pattern data, where the reader makes its decisions.
      const size_t at = random() % 2 ? 60 + random() % 20 : 336 + random() % (bytes.size() - 336);
      bytes[at] = uint8_t(random());
    }
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    SCOPED_TRACE(round);
    LastStatusReporter reporter;
    ASSERT_EQ(CheckedImport(bytes, reporter), "");
  }
}

// Inputs that once broke or stalled the import (fuzzer finds and others), kept next to this file.
TEST(XMImportDamageTest, SavedRegressions_ImportCleanly) {
  const std::filesystem::path folder = std::filesystem::path(__FILE__).parent_path() / "regressions" / "xm";
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::vector<uint8_t> bytes = test::ReadFile(entry.path().string());
    LastStatusReporter reporter;
    ASSERT_EQ(CheckedImport(bytes, reporter), "");
    ++count;
  }
  EXPECT_GT(count, 0);
}

}  // namespace
}  // namespace varnel
