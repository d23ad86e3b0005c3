// varnel-cli import: the format told by content, the MIDI options, packing, and failures.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_support.h"
#include "exchange/midi_import_files.h"
#include "exchange/song_render.h"
#include "exchange/xm_import_builder.h"

namespace varnel::test {
namespace {

// Channel 2: C-5 on row 4 of the default import, released two rows later; the track ends on row 150.
std::vector<uint8_t> SmallMidi() {
  return MidiFile(96, {MidiTrack().Tempo(0, 400000).On(96, 2, 60).Off(48, 2, 60).End(96 * 36)});
}

std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = TempPath(name);
  WriteFile(path, bytes);
  return path;
}

bool Load(TVNSong& song, const std::string& path) { return song.LoadFromFile(path); }

TEST(ImportCommand, MidiFile_IsSavedAsASong) {
  const std::string in = Write("in.mid", SmallMidi()), out = TempPath("out.vnl");
  const CliResult run = RunCli({"import", in, out});
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, "");
  // The information text, with plain line ends.
  EXPECT_NE(run.err.find(in + ": Format 1\nTracks 1\nDelta 96\nTrack 0 Length: "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\r'), std::string::npos);
  TVNSong song;
  ASSERT_TRUE(Load(song, out));
  EXPECT_EQ(song.CellData(0, 2, 4), 60);
  EXPECT_EQ(song.CellData(0, 2, 6), CellNoteOff);
  EXPECT_EQ(song.PatternsCount(), 3);
  EXPECT_EQ(song.LastRow(0), 63);
  EXPECT_EQ(song.BPM, 150);
  EXPECT_TRUE(song.SongMode);
}

TEST(ImportCommand, MidiOptions_ReachTheImport) {
  const std::string in = Write("in.mid", SmallMidi()), out = TempPath("out.vnl");
  const CliResult run =
      RunCli({"import", in, out, "--start-row", "2", "--rows", "32", "--spd", "8", "--method", "1"});
  ASSERT_EQ(run.exit, 0) << run.err;
  TVNSong song;
  ASSERT_TRUE(Load(song, out));
  EXPECT_EQ(song.LastRow(0), 31);
  EXPECT_EQ(song.SPD, 8);
  EXPECT_EQ(song.CellData(0, 2, 6), 60);  // row 8 at eight rows per quarter, two cut off
  EXPECT_EQ(song.CellData(0, 2, 10), CellNoteOff);
}

TEST(ImportCommand, Pack_RemovesThePatternsLeftEmptyAndKeepsTheSilentBars) {
  const std::string in = Write("in.mid", SmallMidi());
  int64_t rows[2] = {0, 0};
  for (const bool pack : {false, true}) {
    const std::string out = TempPath(pack ? "packed.vnl" : "plain.vnl");
    std::vector<std::string> args{"import", in, out};
    if (pack) args.push_back("--pack");
    const CliResult run = RunCli(args);
    ASSERT_EQ(run.exit, 0) << run.err;
    TVNSong song;
    ASSERT_TRUE(Load(song, out));
    EXPECT_EQ(song.PatternsCount(), pack ? 1 : 3);
    EXPECT_EQ(song.CellData(0, 2, 4), 60);
    rows[pack] = MeasureRender(song, RenderOptions{}).rows;
  }
  EXPECT_EQ(rows[0], 3 * 64);  // the two silent patterns after the note play as long when packed
  EXPECT_EQ(rows[1], rows[0]);
}

TEST(ImportCommand, ContentNotName_ChoosesTheFormat) {
  XMModule module;
  module.channels = 2;
  module.patterns = {PatternOf(16, 2, {{0, Note(49, 1)}})};
  const std::string moduleNamedMid = Write("module.mid", module.Build());
  const std::string midiNamedXm = Write("song.xm", SmallMidi());
  const std::string out1 = TempPath("from-module.vnl"), out2 = TempPath("from-midi.vnl");

  const CliResult fromModule = RunCli({"import", moduleNamedMid, out1});
  ASSERT_EQ(fromModule.exit, 0) << fromModule.err;
  TVNSong song;
  ASSERT_TRUE(Load(song, out1));
  EXPECT_EQ(song.LastRow(0), 15);  // the module's pattern length

  const CliResult fromMidi = RunCli({"import", midiNamedXm, out2, "--pack"});
  ASSERT_EQ(fromMidi.exit, 0) << fromMidi.err;
  ASSERT_TRUE(Load(song, out2));
  EXPECT_EQ(song.CellData(0, 2, 4), 60);
}

TEST(ImportCommand, MidiOptionsForAModule_AreWrongUse) {
  XMModule module;
  module.patterns = {PatternOf(16, 4, {})};
  const std::string in = Write("module.xm", module.Build()), out = TempPath("out.vnl");
  const CliResult run = RunCli({"import", in, out, "--rows", "32"});
  EXPECT_EQ(run.exit, 2);
  EXPECT_NE(run.err.find("are for MIDI files"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(ImportCommand, FilesThatCannotBeImported_FailWithoutWriting) {
  std::vector<uint8_t> badHeader = SmallMidi();
  badHeader[7] = 9;
  XMModule fastModule;
  fastModule.bpm = 2;
  fastModule.patterns = {PatternOf(16, 4, {{0, Note(49, 1)}})};
  XMModule module;
  module.patterns = {PatternOf(16, 4, {{0, Note(49, 1)}})};
  std::vector<uint8_t> cutModule = module.Build();
  cutModule.resize(cutModule.size() - 10);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool exists;
    const char* message;
  };
  const Case cases[] = {
      {"missing.mid", {}, false, "cannot be read"},
      {"text.mid", {'h', 'e', 'l', 'l', 'o'}, true, "Neither a MIDI file nor an extended module"},
      {"empty.mid", {}, true, "Neither a MIDI file nor an extended module"},
      {"header.mid", badHeader, true, "Not valid MIDI file"},
      {"no-tracks.mid", MidiFile(96, {}), true, "Not valid MIDI file"},
      {"fast.xm", fastModule.Build(), true, "Damaged module: the tempo 2 is outside 32..255"},
      {"cut.xm", cutModule, true, "Damaged module: the file ends inside pattern 0 of 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = TempPath(c.name), out = TempPath(std::string(c.name) + ".vnl");
    if (c.exists) WriteFile(in, c.bytes);
    const CliResult run = RunCli({"import", in, out});
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

TEST(ImportCommand, WrongArguments_AreWrongUse) {
  const std::string in = Write("in.mid", SmallMidi()), out = TempPath("out.vnl");
  const std::vector<std::vector<std::string>> wrong = {
      {"import", in},
      {"import", in, out, "--rows", "0"},
      {"import", in, out, "--rows", "257"},
      {"import", in, out, "--spd", "x"},
      {"import", in, out, "--method", "2"},
      {"import", in, out, "--start-row", "-1"},
      {"import", in, out, "--quantize"},
  };
  for (const auto& args : wrong) {
    const CliResult run = RunCli(args);
    EXPECT_EQ(run.exit, 2) << args.back();
    EXPECT_NE(run.err.find("Usage: varnel-cli import"), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(ImportCommand, UnwritableOutput_FailsWithTheSaveMessage) {
  const std::string in = Write("in.mid", SmallMidi());
  const CliResult run = RunCli({"import", in, TempPath("missing") + "/folder/out.vnl"});
  EXPECT_EQ(run.exit, 1);
  EXPECT_NE(run.err.find("Error saving file"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace varnel::test
