// Damaged MIDI files: cut short at every length, lengths that lie, bytes that make no event.
// Each imports as a clean failure or as a partial song that can be edited, played and saved.
#include <gtest/gtest.h>

#include <filesystem>

#include "exchange/midi_import.h"
#include "exchange/midi_import_files.h"
#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel::test {
namespace {

// A file with a bit of everything: tempo, key, texts, system exclusive, running status, chords.
std::vector<uint8_t> RichFile() {
  MidiTrack conductor;
  conductor.Tempo(0, 400000).Meta(0, 0x59, {0xFE, 1}).Text(0, 3, "Song").End(96 * 20);
  MidiTrack notes;
  notes.Control(0, 0, 7, 100).Event(0, {0xC0, 5}).Event(0, {0xF0, 2, 0x7E, 0xF7}).On(0, 0, 60).Raw({0, 64, 90});
  notes.Text(0, 1, "verse").Raw({0, 67, 80}).On(48, 9, 36).Event(0, {0xE0, 0, 0x40}).Off(48, 0, 60);
  notes.On(24, 0, 64, 0).On(0, 0, 67, 0).Off(0, 9, 36).On(96 * 17, 1, 50).End();
  return MidiFile(96, {conductor, notes});
}

struct Result {
  RecordingReporter reporter;
  TVNSong song{&reporter};
  bool ok = false;
};

void ImportBoth(Result& result, const std::vector<uint8_t>& file, int method) {
  result.ok = ImportMidiBytes(result.song, file, "damaged.mid", {0, 16, 4, method});
}

TEST(MidiImportDamage, FileCutAtEveryLength_ImportsWhatWasRead) {
  const std::vector<uint8_t> whole = RichFile();
  for (const int method : {0, 1}) {
    for (size_t size = 0; size <= whole.size(); ++size) {
      SCOPED_TRACE("size " + std::to_string(size) + " method " + std::to_string(method));
      Result result;
      ImportBoth(result, {whole.begin(), whole.begin() + ptrdiff_t(size)}, method);
      // Header, track header and the first event (a tempo of seven bytes): something usable.
      if (size >= 14 + 8 + 7) {
        ASSERT_TRUE(result.ok);
      }
      if (!result.ok) {
        EXPECT_EQ(result.reporter.messages, std::vector<std::string>{"Not valid MIDI file"});
        continue;
      }
      ExpectSoundSong(result.song);
      const std::string& info = result.reporter.messages.back();
      if (size < whole.size()) {
        const bool said = info.find("is damaged") != std::string::npos || info.find("The file ends after") != std::string::npos;
        EXPECT_TRUE(said) << info;
      }
    }
  }
}

TEST(MidiImportDamage, WholeRichFile_ImportsCompletely) {
  Result result;
  ImportBoth(result, RichFile(), 0);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.song.BPM, 150);
  EXPECT_EQ(result.song.KeyTone, 7);
  EXPECT_EQ(result.song.Tag.Comments, "Song\r\nverse\r\n");
  EXPECT_EQ(result.song.CellData(0, 0, 0), 60);
  EXPECT_EQ(result.song.CellData(0, 1, 0), 64);
  EXPECT_EQ(result.song.CellData(0, 2, 0), 67);
  EXPECT_EQ(result.song.GetProgram(0), 5);
  EXPECT_EQ(result.song.PatternsCount(), 6);  // the conductor track ends on row 80
  EXPECT_EQ(result.reporter.messages.back().find("damaged"), std::string::npos);
}

struct Lie {
  const char* name;
  std::vector<uint8_t> file;
};

std::vector<Lie> LyingFiles() {
  const MidiTrack good = MidiTrack().On(0, 0, 60).Off(1, 0, 60).End();
  std::vector<Lie> lies;
  auto withChunkLength = [&](uint32_t length) {
    std::vector<uint8_t> file = MidiFile(96, {good});
    file[18] = uint8_t(length >> 24), file[19] = uint8_t(length >> 16), file[20] = uint8_t(length >> 8);
    file[21] = uint8_t(length);
    return file;
  };
  lies.push_back({"chunk length beyond the file", withChunkLength(0xFFFFFFFF)});
  lies.push_back({"chunk length too short", withChunkLength(5)});
  lies.push_back({"chunk length zero", withChunkLength(0)});
  lies.push_back({"meta length beyond the chunk", MidiFile(96, {MidiTrack().On(0, 0, 60).Raw({0, 0xFF, 1, 0xFF, 0xFF, 0xFF, 0x7F, 'a'})})});
  lies.push_back({"system exclusive length beyond the chunk",
                  MidiFile(96, {MidiTrack().On(0, 0, 60).Raw({0, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 1, 2})})});
  lies.push_back({"escape length beyond the chunk", MidiFile(96, {MidiTrack().On(0, 0, 60).Raw({0, 0xF7, 0x7F})})});
  lies.push_back({"delta time of endless continuation bytes",
                  MidiFile(96, {MidiTrack().On(0, 0, 60).Raw({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})})});
  lies.push_back({"65535 tracks declared, one present", MidiFile(96, {good}, 1, 65535)});
  lies.push_back({"division zero", MidiFile(0, {good})});
  lies.push_back({"status bytes where data belongs",
                  MidiFile(96, {MidiTrack().Raw({0, 0x90, 0x90, 0x40, 0, 0xB0, 7, 0x85, 0, 0xC0, 0xC0}).On(0, 1, 61).End()})});
  lies.push_back({"system messages that do not belong in a file",
                  MidiFile(96, {MidiTrack().Raw({0, 0xF8, 0, 0, 0xF2, 0}).On(0, 1, 61).End()})});
  lies.push_back({"no end-of-track event, then a second track",
                  MidiFile(96, {MidiTrack().On(0, 0, 60), MidiTrack().On(0, 1, 61).End()})});
  return lies;
}

TEST(MidiImportDamage, LyingLengthsAndStrayBytes_EndTheReadCleanly) {
  for (const Lie& lie : LyingFiles()) {
    for (const int method : {0, 1}) {
      SCOPED_TRACE(lie.name);
      Result result;
      ImportBoth(result, lie.file, method);
      ASSERT_TRUE(result.ok);
      ExpectSoundSong(result.song);
      EXPECT_LE(result.song.PatternsCount(), 2);
    }
  }
}

TEST(MidiImportDamage, StatusByteInsideAnEvent_DropsOnlyThatEvent) {
  Result result;
  ImportBoth(result, LyingFiles()[9].file, 0);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.song.CellData(0, 1, 0), 61);
  EXPECT_EQ(result.song.GetMidiParam(0, 2), -1);
  EXPECT_EQ(result.song.GetProgram(0), 0);
}

// Three tracks of one note each on their own channels; the first chunk's length lies.
std::vector<uint8_t> ThreeTracksFirstLengthLying(uint32_t length) {
  std::vector<uint8_t> file = MidiFile(96, {MidiTrack().Text(0, 3, "Lead").On(0, 0, 60).Off(96, 0, 60).End(),
                                            MidiTrack().On(24, 1, 62).Off(96, 1, 62).End(),
                                            MidiTrack().On(48, 2, 64).Off(96, 2, 64).End()});
  file[18] = uint8_t(length >> 24), file[19] = uint8_t(length >> 16), file[20] = uint8_t(length >> 8);
  file[21] = uint8_t(length);
  return file;
}

TEST(MidiImportDamage, WrongChunkLength_KeepsTheLaterTracksAndNamesTheDamagedOne) {
  const uint32_t real = 20;  // text 8, note on 4, note off 4, end of track 4
  const std::vector<uint8_t> good = ThreeTracksFirstLengthLying(real);
  // Too long by a little (reaching into the second track), by a lot, beyond the file; too short,
  // ending inside an event, and zero.
  for (const uint32_t length : {real + 12, real + 30, 0xFFFFFFFFu, 9u, 5u, 0u}) {
    for (const int method : {0, 1}) {
      SCOPED_TRACE("length " + std::to_string(length) + " method " + std::to_string(method));
      Result result;
      ImportBoth(result, ThreeTracksFirstLengthLying(length), method);
      ASSERT_TRUE(result.ok);
      ExpectSoundSong(result.song);
      EXPECT_EQ(result.song.CellData(0, 0, 0), 60);
      EXPECT_EQ(result.song.CellData(0, 0, 4), CellNoteOff);
      EXPECT_EQ(result.song.CellData(0, 1, 1), 62);
      EXPECT_EQ(result.song.CellData(0, 1, 5), CellNoteOff);
      EXPECT_EQ(result.song.CellData(0, 2, 2), 64);
      EXPECT_EQ(result.song.CellData(0, 2, 6), CellNoteOff);
      EXPECT_EQ(result.song.Tag.Comments, "Lead\r\n");
      const std::string& info = result.reporter.messages.back();
      EXPECT_NE(info.find("Track 0 is damaged: its chunk length " + std::to_string(length) + " disagrees"),
                std::string::npos)
          << info;
      EXPECT_EQ(info.find("Track 1 is damaged"), std::string::npos) << info;
      EXPECT_NE(info.find("Track 2 Length: "), std::string::npos) << info;
      EXPECT_EQ(info.find("The file ends after"), std::string::npos) << info;
    }
  }
  Result result;
  ImportBoth(result, good, 0);
  EXPECT_EQ(result.reporter.messages.back().find("damaged"), std::string::npos) << result.reporter.messages.back();
}

TEST(MidiImportDamage, TrackWithoutEndOfTrack_LeavesTheNextTrackToItself) {
  Result result;
  ImportBoth(result, LyingFiles().back().file, 0);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.song.CellData(0, 0, 0), 60);
  EXPECT_EQ(result.song.CellData(0, 1, 0), 61);
  const std::string& info = result.reporter.messages.back();
  EXPECT_NE(info.find("Track 0 is damaged: it ends before its end-of-track event"), std::string::npos) << info;
  EXPECT_NE(info.find("Track 1 Length: "), std::string::npos) << info;
  EXPECT_EQ(info.find("Track 1 is damaged"), std::string::npos) << info;
}

TEST(MidiImportDamage, PaddingAfterTheEndOfTrack_IsNoDamage) {
  std::vector<uint8_t> file = MidiFile(96, {MidiTrack().On(0, 0, 60).End().Raw({0, 0, 0, 0}), MidiTrack().On(0, 1, 61).End()});
  Result result;
  ImportBoth(result, file, 0);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.song.CellData(0, 1, 0), 61);
  EXPECT_EQ(result.reporter.messages.back().find("damaged"), std::string::npos) << result.reporter.messages.back();
}

TEST(MidiImportDamage, ValidHeaderWithNothingUsable_RefusedAndTheSongStays) {
  std::vector<uint8_t> alienOnly = MidiFile(96, {});
  PutChunk(alienOnly, "XFIH", {1, 2, 3});
  alienOnly[11] = 1;
  const std::vector<std::vector<uint8_t>> files = {
      MidiFile(96, {}),
      MidiFile(96, {MidiTrack().End(), MidiTrack().End()}),
      MidiFile(96, {MidiTrack().Raw({0, 0x40, 0x40})}),  // data without a status
      alienOnly,
  };
  for (const auto& file : files) {
    Result result;
    result.song.BPM = 99;
    result.song.StoreCell(0, 3, 5, 70);
    result.song.Modified = false;
    ImportBoth(result, file, 0);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reporter.messages, std::vector<std::string>{"Not valid MIDI file"});
    EXPECT_EQ(result.song.BPM, 99);
    EXPECT_EQ(result.song.CellData(0, 3, 5), 70);
    EXPECT_FALSE(result.song.Modified);
  }
}

TEST(MidiImportDamage, MissingTracks_AreCountedInTheInformation) {
  Result result;
  ImportBoth(result, LyingFiles()[7].file, 0);
  EXPECT_NE(result.reporter.messages.back().find("The file ends after 1 of 65535 tracks\r\n"), std::string::npos);
}

// Inputs the fuzzer found troublesome; each must import cleanly.
TEST(MidiImportDamage, FuzzRegressions_ImportCleanly) {
  const auto folder = std::filesystem::path(VARNEL_EXCHANGE_REGRESSIONS) / "midi";
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') continue;
    SCOPED_TRACE(entry.path().filename().string());
    for (const int method : {0, 1}) {
      Result result;
      result.ok = ImportMidiBytes(result.song, ReadFile(entry.path().string()), "fuzz.mid", {0, 64, 4, method});
      if (result.ok) {
        ExpectSoundSong(result.song);
      } else {
        EXPECT_EQ(result.reporter.messages, std::vector<std::string>{"Not valid MIDI file"});
      }
    }
    ++count;
  }
  EXPECT_GT(count, 0);
}

}  // namespace
}  // namespace varnel::test
