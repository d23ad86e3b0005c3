// varnel-cli export-midi: the song or one pattern as a MIDI file, and its failures.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_support.h"
#include "exchange/midi_export.h"
#include "exchange/midi_export_mido.h"

namespace varnel::test {
namespace {

// Two channels; pattern 0 (16 rows) at both positions of the order, pattern 1 (8 rows) unused.
std::string SaveSong(const std::string& name) {
  TVNSong song;
  MakeSong(song, 2, 16);
  EXPECT_TRUE(song.InsertPattern(1, 8));
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 1, 8, 64);
  song.StoreCell(1, 1, 2, 67);
  song.SetOrder(0, 1, 0);
  song.SetOrder(1, 1, 0);
  const std::string path = TempPath(name);
  EXPECT_TRUE(song.SaveToFile(path));
  return path;
}

// What the core writes for the saved song, the whole order or one pattern.
std::vector<uint8_t> Expected(const std::string& songPath, int pattern) {
  TVNSong song;
  EXPECT_TRUE(song.LoadFromFile(songPath));
  if (pattern >= 0) song.CurrentPattern = uint16_t(pattern);
  return EncodeMidiFile(song, pattern < 0);
}

TEST(ExportMidiCommand, WholeSong_WritesTheOrderOnceAndSaysNothing) {
  const std::string song = SaveSong("song.vnl"), out = TempPath("song.mid");
  const CliResult run = RunCli({"export-midi", song, out});
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(out), Expected(song, -1));
  ExpectMidoSees(
      out, 3,
      {"1 0 note_on 0 60 100", "1 1532 note_off 0 60 0", "1 1536 note_on 0 60 100", "1 3068 note_off 0 60 0",
       "2 768 note_on 1 64 100", "2 2300 note_off 1 64 0", "2 2304 note_on 1 64 100", "2 3068 note_off 1 64 0"});
}

TEST(ExportMidiCommand, Pattern_WritesThatPatternOnce) {
  const std::string song = SaveSong("song.vnl"), out = TempPath("pattern.mid");
  const CliResult run = RunCli({"export-midi", song, out, "--pattern", "1"});
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(ReadFile(out), Expected(song, 1));
  ExpectMidoSees(out, 3, {"2 192 note_on 1 67 100", "2 764 note_off 1 67 0"});
}

TEST(ExportMidiCommand, Verbose_ShowsTheProgressTexts) {
  const std::string song = SaveSong("song.vnl"), out = TempPath("verbose.mid");
  const CliResult run = RunCli({"--verbose", "export-midi", song, out});
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, "");
  for (const std::string& text : std::vector<std::string>{
           "Generating file " + out + " Row:0", "Generating file " + out + " Row:16", "Saving file " + out, "Done."})
    EXPECT_NE(run.err.find(text + "\n"), std::string::npos) << text << " in\n" << run.err;
  ExpectMidoSees(
      out, 3,
      {"1 0 note_on 0 60 100", "1 1532 note_off 0 60 0", "1 1536 note_on 0 60 100", "1 3068 note_off 0 60 0",
       "2 768 note_on 1 64 100", "2 2300 note_off 1 64 0", "2 2304 note_on 1 64 100", "2 3068 note_off 1 64 0"});
}

TEST(ExportMidiCommand, Failures_SayWhyWriteNothingAndExitWithOne) {
  const std::string song = SaveSong("song.vnl");
  const std::string missing = TempPath("missing.vnl");
  const std::string noFolder = TempPath("no-folder") + "/out.mid";
  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string message;
  };
  const Case cases[] = {
      {{"export-midi", song, TempPath("p2.mid"), "--pattern", "2"},
       TempPath("p2.mid"),
       song + ": there is no pattern 2 (the song has 2 patterns)"},
      {{"export-midi", missing, TempPath("m.mid")}, TempPath("m.mid"), missing},
      {{"export-midi", song, noFolder}, noFolder, noFolder + ": Error saving .mid"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const CliResult run = RunCli(c.args);
    EXPECT_EQ(run.exit, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(c.out));
  }
}

TEST(ExportMidiCommand, WrongUse_PrintsUsageAndExitsWithTwo) {
  const std::string song = SaveSong("song.vnl"), out = TempPath("never.mid");
  const std::vector<std::vector<std::string>> wrong = {
      {"export-midi"},
      {"export-midi", song},
      {"export-midi", song, out, out},
      {"export-midi", song, out, "--pattern"},
      {"export-midi", song, out, "--pattern", "one"},
      {"export-midi", song, out, "--pattern", "-1"},
      {"export-midi", song, out, "--pattern", "256"},
      {"export-midi", song, out, "--loops", "2"},
  };
  for (const auto& args : wrong) {
    SCOPED_TRACE(args.back());
    const CliResult run = RunCli(args);
    EXPECT_EQ(run.exit, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Usage: varnel-cli export-midi SONG.vnl OUT.mid [--pattern N]"), std::string::npos)
        << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace varnel::test
