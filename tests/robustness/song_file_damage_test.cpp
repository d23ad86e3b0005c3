// Damaged and hostile song files: every prefix of valid files, random byte flips, absurd counts and
// the saved fuzzer finds. Each load must end as a clean failure or as a valid song, never crash or
// hang, and never need more than 256 MiB of heap.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel::test {
bool AllocationCountingOn();
void ResetAllocationPeak();
size_t AllocationPeakAboveBaseline();
}  // namespace varnel::test

namespace varnel {
namespace {

using test::Bytes;
using test::RecordingReporter;

constexpr size_t kLoadHeapLimit = size_t(256) << 20;
const std::string kReadFault = "Error reading file (1)";

// The invariants of the song model that every later operation relies on; empty when all hold.
std::string SongFault(const TVNSong& s) {
  if (s.PatternsCount() < 1) return "PatternsCount < 1";
  if (s.TracksCount() < 1 || s.TracksCount() > MaxTracks) return "TracksCount " + std::to_string(s.TracksCount());
  if (s.ChannelsCount() < 1) return "ChannelsCount < 1";
  if (s.OrderLength() < 1) return "OrderLength < 1";
  for (int t = 0; t < s.TracksCount(); ++t) {
    const int channel = s.TrackChannel(t);
    if (channel >= s.ChannelsCount()) return "track " + std::to_string(t) + " names a missing channel";
    if (t > 0 && channel < s.TrackChannel(t - 1)) return "tracks not grouped by ascending channel";
    if (s.TrackType(t) == ttVelocity &&
        (t == 0 || s.TrackType(t - 1) != ttNote || s.TrackChannel(t - 1) != channel))
      return "velocity track " + std::to_string(t) + " not right of a note track of its channel";
  }
  for (int c = 0; c < s.ChannelsCount(); ++c) {
    if (s.GetMidiChannel(c) > 47) return "MIDI channel above 47 on channel " + std::to_string(c);
    // An entry may name a pattern that does not exist (the order editor takes any number up to
    // 255, and playback treats such an entry as "nothing"); only values past OrderNoteOff are wrong.
    for (int pos = 0; pos < s.OrderLength(); ++pos) {
      const int e = s.Order(c, pos);
      if (e > OrderNoteOff) return "order entry " + std::to_string(e) + " of channel " + std::to_string(c);
    }
  }
  return "";
}

// Loads bytes into song and returns what is wrong afterwards, empty when nothing is: the heap
// bound, a valid song either way, at most one message, and on success a round trip that re-encodes
// identically.
std::string CheckedLoad(TVNSong& song, std::span<const uint8_t> bytes, bool* loaded = nullptr) {
  RecordingReporter rep;
  song.SetReporter(&rep);
  test::ResetAllocationPeak();
  const bool ok = song.LoadFromBytes(bytes, "damaged.vnl");
  song.SetReporter(nullptr);
  if (loaded) *loaded = ok;
  if (test::AllocationCountingOn() && test::AllocationPeakAboveBaseline() > kLoadHeapLimit)
    return "the load needed " + std::to_string(test::AllocationPeakAboveBaseline() >> 20) + " MiB";
  if (auto fault = SongFault(song); !fault.empty()) return fault + (ok ? " (loaded)" : " (after a failed load)");
  if (rep.messages.size() > 1) return "more than one message";
  if (!ok) return "";
  auto first = song.EncodeFile();
  TVNSong again;
  if (!again.LoadFromBytes(first, "again.vnl")) return "the saved song does not load";
  if (again.EncodeFile() != first) return "the loaded song re-encodes differently";
  return "";
}

// Counts problems over many loads and shows the first few in full.
struct Problems {
  int count = 0;
  void Check(const std::string& problem, const std::string& what) {
    if (problem.empty()) return;
    if (++count <= 5) ADD_FAILURE() << what << ": " << problem;
  }
  ~Problems() { EXPECT_EQ(count, 0) << "inputs with problems"; }
};

// A few KB: every section present, velocity and automation tracks, three patterns.
TVNSong& SampleSong() {
  static TVNSong song;
  static bool built = false;
  if (built) return song;
  built = true;
  song.Reset(3, 16, true);
  EXPECT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  EXPECT_TRUE(song.AddTrack(2, ttControlChange, 74, -1));
  EXPECT_TRUE(song.AddTrack(3, ttTempo, -1, -1));
  EXPECT_TRUE(song.InsertPattern(1, 64));
  EXPECT_TRUE(song.InsertPattern(2, 3));
  for (int p = 0; p < song.PatternsCount(); ++p)
    for (int t = 0; t < song.TracksCount(); ++t)
      for (int r = 0; r <= song.LastRow(p); r += 1 + (p + t) % 3) song.StoreCell(p, t, r, (p * 37 + t * 11 + r) % 128);
  for (int pos = 0; pos < 6; ++pos) song.SetOrder(pos % 3, pos, pos % 3);
  song.Tag.Title = "Damage";
  song.Tag.Comments = "A comment that runs for a while.";
  song.DeviceName = "Synth";
  song.PatternLoopStart = 1;
  song.KeyTone = 2;
  song.SetProgram(30, 5);
  return song;
}

size_t OptionalSectionsSize(const TVNSong& s) {
  const auto& tag = s.Tag;
  size_t info = 5 + tag.Title.size() + tag.Artist.size() + tag.Album.size() + tag.Year.size() + tag.Genre.size() +
                2 + tag.Comments.size() + 1;
  return info + 8 + 4 + 32 + 2 * s.TracksCount() + 1 + 320;
}

// The sample as versions 106, 105 (48 header records, no section 14) and 104 (no section 14).
std::vector<std::vector<uint8_t>> SampleFiles() {
  auto v106 = SampleSong().EncodeFile();
  const size_t header = 19 + 160, extra = v106.size() - 321;
  std::vector<uint8_t> v105(v106.begin(), v106.begin() + header);
  v105.insert(v105.end(), v106.begin() + long(extra) + 1, v106.end());
  v105.insert(v105.end(), v106.begin() + header, v106.begin() + long(extra));
  v105[7] = '5';
  std::vector<uint8_t> v104(v106.begin(), v106.begin() + long(extra));
  v104[7] = '4';
  return {v106, v105, v104};
}

// The heap bound below means nothing unless the counter sees allocations.
TEST(SongFileDamage, AllocationCounter_SeesAnAllocation) {
  if (!test::AllocationCountingOn()) GTEST_SKIP() << "a sanitizer owns the allocator";
  test::ResetAllocationPeak();
  auto block = std::make_unique<std::vector<uint8_t>>(size_t(3) << 20);
  EXPECT_GE(test::AllocationPeakAboveBaseline(), size_t(3) << 20);
  EXPECT_EQ(block->size(), size_t(3) << 20);
}

TEST(SongFileDamage, SampleFiles_LoadWhole) {
  TVNSong song;
  for (const auto& file : SampleFiles()) {
    bool ok = false;
    EXPECT_EQ(CheckedLoad(song, file, &ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(song.GetProgram(30), file[7] == '4' ? 0 : 5);
    EXPECT_EQ(song.Tag.Title, "Damage");
  }
}

TEST(SongFileDamage, EveryPrefix_FailsInsideMandatorySectionsAndNeverBreaksTheSong) {
  TVNSong song;
  Problems problems;
  for (const auto& file : SampleFiles()) {
    const size_t optional = OptionalSectionsSize(SampleSong()) - (file[7] == '6' ? 0 : 321);
    const size_t mandatoryEnd = file.size() - optional;
    for (size_t n = 0; n < file.size(); ++n) {
      const std::string what = "version 10" + std::string(1, char(file[7])) + " prefix " + std::to_string(n);
      bool ok = false;
      problems.Check(CheckedLoad(song, std::span(file.data(), n), &ok), what);
      if (n < mandatoryEnd && ok) problems.Check("loaded although it ends inside a mandatory section", what);
      if (n == mandatoryEnd && !ok) problems.Check("a file ending after section 8 did not load", what);
      if (n >= 8 && n < mandatoryEnd) {
        RecordingReporter rep;
        song.SetReporter(&rep);
        song.LoadFromBytes(std::span(file.data(), n), "cut.vnl");
        song.SetReporter(nullptr);
        if (rep.Headlines() != std::vector<std::string>{kReadFault})
          problems.Check("message " + ::testing::PrintToString(rep.messages), what);
      }
    }
  }
}

TEST(SongFileDamage, RandomByteFlips_LoadAsFailureOrValidSong) {
  TVNSong song;
  Problems problems;
  const auto files = SampleFiles();
  std::mt19937 random(20240611);
  int loaded = 0;
  for (int i = 0; i < 4000; ++i) {
    auto bytes = files[size_t(i) % files.size()];
    const int flips = 1 + int(random() % 4);
    for (int f = 0; f < flips; ++f) {
      const size_t at = random() % bytes.size();
      const uint32_t kind = random() % 4;
      bytes[at] = kind == 0 ? 0 : kind == 1 ? 0xFF : uint8_t(random());
    }
    if (random() % 8 == 0) bytes.resize(random() % bytes.size());
    bool ok = false;
    problems.Check(CheckedLoad(song, bytes, &ok), "flip case " + std::to_string(i));
    loaded += ok;
  }
  EXPECT_GT(loaded, 1000) << "almost nothing loaded: the damage never reaches a loadable song";
}

// A file whose header claims the given counts, followed by plausible data for them when full is set.
std::vector<uint8_t> ClaimingFile(int patterns, int channels, int tracks, int orderLength, bool full) {
  Bytes b;
  b.text("VnlMd").text("106").u16(patterns).u16(channels).u16(tracks).u16(orderLength).u8(10).u8(4).u8(2);
  b.fill(160, 0);
  if (!full) return b.fill(64, 1).data;
  const int c = channels & 0xFF;
  for (int i = 0; i < c; ++i) b.u8(0).u8(100).u8(0).u8(0);
  for (int i = 0; i < patterns; ++i) b.u8(0).u8(0);
  for (long i = 0; i < long(c) * orderLength; ++i) b.u16(0);
  for (int i = 0; i < tracks; ++i) b.u8(ttNote).u8(0);
  b.fill(size_t(patterns) * size_t(tracks), 1);
  b.u8(120).u8(4).u8(0).u8(0).u8(0).u8(4).fill(size_t(c), 1).shortString("");
  return b.data;
}

TEST(SongFileDamage, CountsAboveTheSongLimits_AreReadFaults) {
  struct Case { const char* name; int p, c, t, l; bool full; };
  const Case cases[] = {
      {"65535 tracks, tiny body", 1, 1, 65535, 1, false},
      {"65535 tracks, full body", 1, 1, 65535, 1, true},
      {"257 tracks, full body", 1, 1, 257, 1, true},
      {"32767 patterns x 256 tracks, tiny body", 32767, 1, 256, 1, false},
      {"255 channels x 65535 positions, tiny body", 1, 255, 1, 65535, false},
      {"65535 everything, tiny body", 65535, 65535, 65535, 65535, false},
  };
  for (const auto& c : cases) {
    const auto bytes = ClaimingFile(c.p, c.c, c.t, c.l, c.full);
    TVNSong song;
    RecordingReporter rep;
    song.SetReporter(&rep);
    test::ResetAllocationPeak();
    EXPECT_FALSE(song.LoadFromBytes(bytes, "claims.vnl")) << c.name;
    EXPECT_EQ(rep.Headlines(), std::vector<std::string>{kReadFault}) << c.name;
    if (test::AllocationCountingOn()) {
      EXPECT_LE(test::AllocationPeakAboveBaseline(), kLoadHeapLimit) << c.name;
    }
    EXPECT_EQ(SongFault(song), "") << c.name;
  }
}

TEST(SongFileDamage, OddCountsAndRecordSizes_LoadAsFailureOrValidSong) {
  TVNSong song;
  Problems problems;
  for (int p : {0, 1, 256, 0x8000})
    for (int c : {0, 1, 255, 256})
      for (int t : {0, 1, 256})
        for (int l : {0, 1, 3}) {
          if (size_t(p & 0x7FFF) * size_t(t) > 70000) continue;
          problems.Check(CheckedLoad(song, ClaimingFile(p, c, t, l, true)),
                         "counts " + std::to_string(p) + "/" + std::to_string(c) + "/" + std::to_string(t) + "/" +
                          std::to_string(l));
        }
  auto file = SampleSong().EncodeFile();
  for (int at : {16, 17, 18})
    for (int size : {0, 1, 3, 11, 255}) {
      auto bytes = file;
      bytes[size_t(at)] = uint8_t(size);
      problems.Check(CheckedLoad(song, bytes), "record size byte " + std::to_string(at) + " = " + std::to_string(size));
    }
}

TEST(SongFileDamage, Section14CountAbove48_NeverWritesPastTheMidiChannels) {
  auto file = SampleSong().EncodeFile();
  const size_t at = file.size() - 321;
  for (int count : {49, 100, 255}) {
    auto bytes = file;
    bytes[at] = uint8_t(count);
    for (int m = 48; m < count; ++m) bytes.insert(bytes.end(), 10, uint8_t(m));
    TVNSong song;
    bool ok = false;
    EXPECT_EQ(CheckedLoad(song, bytes, &ok), "") << "section 14 count " << count;
    if (ok) {
      EXPECT_EQ(song.GetProgram(30), 5);
      EXPECT_EQ(song.GetProgram(47), 0);
    }
  }
}

TEST(SongFileDamage, SavedFuzzerFinds_LoadWithoutCrashing) {
  const std::filesystem::path dir = VARNEL_FUZZ_REGRESSIONS;
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  TVNSong song;
  Problems problems;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().filename() == "README.md") continue;
    problems.Check(CheckedLoad(song, test::ReadFile(entry.path().string())), entry.path().filename().string());
    ++count;
  }
  RecordProperty("files", count);
}

}  // namespace
}  // namespace varnel
