// varnel-cli resave, files that cannot be loaded, and wrong use of the tool.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "cli/cli_support.h"

namespace varnel::test {
namespace {

// A small song with notes, song information and a few sound settings, saved by the core.
std::string SaveSong(const std::string& name) {
  TVNSong song;
  MakeSong(song, 3, 32);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 2, 7, CellNoteOff);
  song.BPM = 99;
  song.Tag.Title = "Title";
  song.Tag.Comments = "\xC0\xE1\xE2";
  song.SetTranspose(1, 5);
  song.PatternLoopStart = 2;
  song.KeyTone = 4;
  const std::string path = TempPath(name);
  EXPECT_TRUE(song.SaveToFile(path));
  return path;
}

TEST(Resave, SongSavedByVarnel_WritesTheSameBytes) {
  const std::string in = SaveSong("in.vnl"), out = TempPath("out.vnl");
  const CliResult run = RunCli({"resave", in, out});
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(out), ReadFile(in));
}

TEST(Resave, Version104File_IsWrittenAsVersion106) {
  const std::string original = SaveSong("original.vnl");
  std::vector<uint8_t> bytes = ReadFile(original);
  // Version 104 has no extra MIDI-channel section: its count byte and 32 records of 10.
  const size_t extra = 1 + 32 * 10;
  ASSERT_GT(bytes.size(), extra);
  std::vector<uint8_t> old(bytes.begin(), bytes.end() - ptrdiff_t(extra));
  old[5] = '1', old[6] = '0', old[7] = '4';
  const std::string in = TempPath("old.vnl"), out = TempPath("new.vnl");
  WriteFile(in, old);

  const CliResult run = RunCli({"resave", in, out});
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(ReadFile(out), bytes);
}

TEST(Resave, Verbose_SaysSavingOnStandardErrorOnly) {
  const std::string in = SaveSong("in.vnl"), out = TempPath("out.vnl");
  const CliResult run = RunCli({"resave", "--verbose", in, out});
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("Saving " + out), std::string::npos) << run.err;
}

TEST(Resave, OutputFolderMissing_FailsWithTheSaveMessage) {
  const std::string in = SaveSong("in.vnl");
  const std::string out = TempPath("missing") + "/folder/out.vnl";
  const CliResult run = RunCli({"resave", in, out});
  EXPECT_EQ(run.exit, 1);
  EXPECT_NE(run.err.find("Error saving file"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(out));
}

struct BadFile {
  const char* name;
  std::function<std::vector<uint8_t>(const std::vector<uint8_t>& valid)> bytes;  // nullptr: no file at all
  const char* message;  // what standard error must say; "" = any text
};

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& valid, size_t n) {
  return {valid.begin(), valid.begin() + ptrdiff_t(std::min(n, valid.size()))};
}

TEST(LoadFailure, EveryCommand_SaysWhyAndExitsWithOne) {
  const std::vector<uint8_t> valid = ReadFile(SaveSong("valid.vnl"));
  const BadFile cases[] = {
      {"missing", nullptr, "File not exists"},
      {"wrong_magic", [](const auto&) { return Bytes().text("RIFF1234WAVE").data; }, "the file is not a Varnel song"},
      {"empty", [](const auto&) { return std::vector<uint8_t>(); }, ""},
      {"version_100", [](const auto& v) { auto b = v; b[7] = '0'; b[6] = '0'; return b; },
       "Not supported anymore. Use MIDI export in old version and click import"},
      {"version_101", [](const auto& v) { auto b = v; b[7] = '1'; b[6] = '0'; return b; },
       "Not supported anymore. Use MIDI export in old version and click import"},
      {"cut_in_header", [](const auto& v) { return Prefix(v, 100); }, "Error reading file (1)"},
      {"cut_in_cells", [](const auto& v) { return Prefix(v, 19 + 160 + 12 + 2 + 6 + 6 + 3); }, "Error reading file (1)"},
      {"65535_tracks", [](const auto& v) { auto b = v; b[12] = 0xFF; b[13] = 0xFF; return b; }, "Error reading file (1)"},
  };
  for (const BadFile& bad : cases) {
    SCOPED_TRACE(bad.name);
    const std::string path = TempPath(std::string(bad.name) + ".vnl");
    if (bad.bytes) WriteFile(path, bad.bytes(valid));
    const std::string out = TempPath(std::string(bad.name) + "-out.vnl");
    for (const auto& args : {std::vector<std::string>{"info", path}, std::vector<std::string>{"info", path, "--json", "--cells"},
                             std::vector<std::string>{"resave", path, out}}) {
      SCOPED_TRACE(args[0]);
      const CliResult run = RunCli(args);
      EXPECT_EQ(run.exit, 1);
      EXPECT_EQ(run.out, "");
      EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
      EXPECT_NE(run.err.find(path), std::string::npos) << "names the file: " << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

TEST(LoadFailure, FolderInsteadOfSong_FailsCleanly) {
  const std::string folder = TempPath("a-folder.vnl");
  std::filesystem::create_directories(folder);
  const CliResult run = RunCli({"info", folder, "--json"});
  EXPECT_EQ(run.exit, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err, "");
}

TEST(Usage, WrongUse_PrintsUsageOnStandardErrorAndExitsWithTwo) {
  const std::string song = SaveSong("song.vnl");
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"play-backwards", song},
      {"info"},
      {"info", song, song},
      {"info", song, "--xml"},
      {"resave", song},
      {"resave", song, song, song},
      {"resave", "-x", song, song},
  };
  for (const auto& args : wrong) {
    SCOPED_TRACE(args.empty() ? "(none)" : args[0] + (args.size() > 1 ? " " + args.back() : ""));
    const CliResult run = RunCli(args);
    EXPECT_EQ(run.exit, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Usage: varnel-cli"), std::string::npos) << run.err;
  }
}

TEST(Usage, Help_PrintsEveryCommandOnStandardOutput) {
  const CliResult run = RunCli({"--help"});
  EXPECT_EQ(run.exit, 0);
  EXPECT_EQ(run.err, "");
  for (const char* text : {"Usage: varnel-cli", "info SONG.vnl [--json] [--cells]", "resave IN.vnl OUT.vnl"})
    EXPECT_NE(run.out.find(text), std::string::npos) << text;
}

}  // namespace
}  // namespace varnel::test
