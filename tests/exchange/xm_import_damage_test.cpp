// Damaged and hostile modules: every prefix of a valid module, counts and lengths that lie, random
// byte damage and the inputs the fuzzer found. Each import ends as a refusal that says why and
// leaves the song alone, or as a song that keeps the song's invariants; never a crash, hang or
// overread.
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
// nothing is): a refusal must say "Not a valid file" or why the module is damaged, and leave the
// marker; an import must give a valid song.
std::string CheckedImport(std::span<const uint8_t> bytes, LastStatusReporter& reporter, bool* imported = nullptr) {
  TVNSong song(&reporter);
  test::MakeSong(song, 3, 32);
  song.SetCellData(2, 7, 77);
  song.Modified = false;
  const bool ok = ImportXMBytes(song, bytes, "damaged.xm");
  if (imported) *imported = ok;
  if (!ok) {
    const bool saidDamage = reporter.messages.size() == 1 && reporter.messages[0].rfind("Damaged module: ", 0) == 0;
    if (reporter.lastStatus != kNotValid && !saidDamage) return "refused without saying so";
    if (song.Modified) return "a refused import marked the song modified";
    if (song.ChannelsCount() != 3 || song.GetCellData(2, 7) != 77) return "a refused import changed the song";
    return "";
  }
  return test::SongFault(song);
}

TEST(XMImportDamageTest, Truncated_AtEveryLength_Refused) {
  const std::vector<uint8_t> full = ThreePatternModule().Build();
  for (size_t size = 0; size < full.size(); ++size) {
    SCOPED_TRACE(size);
    // A copy of exactly the prefix, so that the sanitizers catch any read past its end.
    const std::vector<uint8_t> prefix(full.begin(), full.begin() + ptrdiff_t(size));
    LastStatusReporter reporter;
    bool imported = true;
    ASSERT_EQ(CheckedImport(prefix, reporter, &imported), "");
    EXPECT_FALSE(imported);
    if (size >= 17) {
      ASSERT_EQ(reporter.messages.size(), 1u);
      const std::string& said = reporter.messages[0];
      EXPECT_TRUE(said == "Damaged module: the file ends inside its header" ||
                  said.rfind("Damaged module: the file ends inside pattern ", 0) == 0 ||
                  said.rfind("Damaged module: the file ends before pattern ", 0) == 0)
          << said;
    }
  }
  LastStatusReporter reporter;
  bool imported = false;
  ASSERT_EQ(CheckedImport(full, reporter, &imported), "");
  EXPECT_TRUE(imported);
  EXPECT_TRUE(reporter.messages.empty());
}

TEST(XMImportDamageTest, Truncated_InsideTheSecondPattern_NamesThatPattern) {
  XMModule module;
  module.channels = 1;
  module.instruments = 1;
  module.order = {0, 1};
  module.patterns = {PatternOf(8, 1, {{0, Note(49, 1)}, {1, NoteOnly(50)}}),
                     PatternOf(8, 1, {{0, Note(60, 1)}, {5, NoteOnly(62)}})};
  std::vector<uint8_t> bytes = module.Build();
  bytes.resize(bytes.size() - 4);  // cuts slot 5 off
  LastStatusReporter reporter;
  ASSERT_EQ(CheckedImport(bytes, reporter), "");
  EXPECT_EQ(reporter.messages, (std::vector<std::string>{"Damaged module: the file ends inside pattern 1 of 2"}));
}

struct LyingCase {
  std::string what;
  std::function<void(XMModule&)> damage;
  std::string refusal;  // the message of the refusal; empty: imported; "*": either
};

TEST(XMImportDamageTest, LyingCountsAndLengths_RefusedOrReadCleanly) {
  const LyingCase cases[] = {
      {"65535 patterns", [](XMModule& m) { m.patternCount = 65535; },
       "Damaged module: the number of patterns 65535 is outside 1..256"},
      {"200 patterns", [](XMModule& m) { m.patternCount = 200; }, "Damaged module: the file ends before pattern 3 of 200"},
      {"packed size past the end", [](XMModule& m) { m.patterns[2].packedSize = 65535; },
       "Damaged module: the file ends inside pattern 2 of 3"},
      {"packed size short", [](XMModule& m) { m.patterns[0].packedSize = 3; }, "*"},
      {"pattern header length 4 GiB", [](XMModule& m) { m.patterns[1].headerLength = 0xFFFFFFFF; },
       "Damaged module: the file ends inside pattern 1 of 3"},
      {"pattern header length 0", [](XMModule& m) { m.patterns[1].headerLength = 0; }, ""},
      {"module header size 4 GiB", [](XMModule& m) { m.headerSize = 0xFFFFFFFF; },
       "Damaged module: the file ends before pattern 0 of 3"},
      {"module header size 0", [](XMModule& m) { m.headerSize = 0; }, ""},
      {"65535 instruments", [](XMModule& m) { m.instruments = 65535; },
       "Damaged module: the number of instruments 65535 is outside 0..255"},
      {"no instruments", [](XMModule& m) { m.instruments = 0; }, ""},
      {"65535 channels", [](XMModule& m) { m.channels = 65535; },
       "Damaged module: the number of channels 65535 is outside 1..128"},
      {"one channel", [](XMModule& m) { m.channels = 1; },
       "Damaged module: the data of pattern 0 of 3 does not fit its 8 rows of 1 channel"},
      {"song length 65535", [](XMModule& m) { m.songLength = 65535; }, ""},
      {"65535 rows", [](XMModule& m) { m.patterns[0].rows = 65535; },
       "Damaged module: pattern 0 of 3 has 65535 rows, outside 1..256"},
      {"tempo 65535, BPM 65535", [](XMModule& m) { m.tempo = m.bpm = 65535; },
       "Damaged module: the speed 65535 is outside 1..31"},
  };
  for (const LyingCase& c : cases) {
    SCOPED_TRACE(c.what);
    XMModule module = ThreePatternModule();
    c.damage(module);
    const std::vector<uint8_t> bytes = module.Build();
    LastStatusReporter reporter;
    bool imported = false;
    ASSERT_EQ(CheckedImport(bytes, reporter, &imported), "");
    if (c.refusal == "*") continue;
    EXPECT_EQ(imported, c.refusal.empty());
    EXPECT_EQ(reporter.messages, c.refusal.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.refusal});
  }
}

TEST(XMImportDamageTest, RandomBytesAfterTheId_Refused) {
  std::mt19937 random(20240612);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> bytes(17 + 400 + random() % 2000);
    for (auto& b : bytes) b = uint8_t(random());
    std::copy_n("Extended Module: ", 17, bytes.begin());
    SCOPED_TRACE(round);
    LastStatusReporter reporter;
    bool imported = true;
    ASSERT_EQ(CheckedImport(bytes, reporter, &imported), "");
    EXPECT_FALSE(imported);
  }
}

TEST(XMImportDamageTest, Slots_MoreThanAPatternHolds_Refused) {
  XMModule module;
  module.channels = 1;
  module.instruments = 1;
  test::XMPattern pattern = PatternOf(64, 1, {});
  pattern.data.clear();
  for (int slot = 0; slot < 300; ++slot)
    for (uint8_t b : Note(1 + slot % 96, 1)) pattern.data.push_back(b);
  module.patterns = {pattern};
  LastStatusReporter reporter;
  ASSERT_EQ(CheckedImport(module.Build(), reporter), "");
  EXPECT_EQ(reporter.messages,
            (std::vector<std::string>{"Damaged module: the data of pattern 0 of 1 does not fit its 64 rows of 1 channel"}));
}

TEST(XMImportDamageTest, SlotCutOffAtTheEndOfThePatternData_Refused) {
  XMModule module;
  module.channels = 2;
  module.instruments = 1;
  module.patterns = {PatternOf(4, 2, {{0, Note(49, 1)}})};
  module.patterns[0].data.push_back(0x83);  // a ninth slot whose note and instrument are missing
  LastStatusReporter reporter;
  ASSERT_EQ(CheckedImport(module.Build(), reporter), "");
  EXPECT_EQ(reporter.messages,
            (std::vector<std::string>{"Damaged module: the data of pattern 0 of 1 does not fit its 4 rows of 2 channels"}));
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
  const std::filesystem::path folder = std::filesystem::path(VARNEL_EXCHANGE_REGRESSIONS) / "xm";
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
