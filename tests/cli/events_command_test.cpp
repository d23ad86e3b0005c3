// varnel-cli events: the engine's messages for a song, row by row, on a virtual clock.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_support.h"
#include "song/song.h"

namespace varnel::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> LinesOfRow(const std::string& text, int row) {
  std::vector<std::string> lines;
  const std::string prefix = std::to_string(row) + " ";
  for (const auto& line : Lines(text))
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  return lines;
}

// Two channels, a 4-row pattern: a note with a velocity track on channel 0, a note-off on row 2,
// a pan value on channel 1.
std::string SaveSmallSong() {
  TVNSong song;
  song.Reset(2, 4, true);
  song.AddTrack(0, ttVelocity, -1, -1);
  song.AddTrack(2, ttPan, -1, -1);
  song.SetCellData(0, 0, 60);
  song.SetCellData(1, 0, 90);
  song.SetCellData(0, 2, CellNoteOff);
  song.SetCellData(3, 1, 32);
  const std::string path = TempPath("small.vnl");
  EXPECT_TRUE(song.SaveToFile(path));
  return path;
}

TEST(EventsCommand, SmallSong_PrintsPreparationThenEachRowsMessages) {
  const auto result = RunCli({"events", SaveSmallSong(), "--rows", "5", "--mode", "pattern"});
  ASSERT_EQ(result.exit, 0) << result.err;
  const auto all = Lines(result.out);
  ASSERT_FALSE(all.empty());
  // Channel preparation of the start: pan preset default on MIDI channel 0 first.
  EXPECT_EQ(all.front(), "-1 B0 0A 40");
  EXPECT_EQ(LinesOfRow(result.out, 0), (std::vector<std::string>{"0 80 00 00", "0 90 3C 5A"}));
  EXPECT_EQ(LinesOfRow(result.out, 1), (std::vector<std::string>{"1 B1 0A 20"}));
  EXPECT_EQ(LinesOfRow(result.out, 2), (std::vector<std::string>{"2 80 3C 00"}));
  EXPECT_TRUE(LinesOfRow(result.out, 3).empty());
  // Four rows, then the pattern starts over.
  EXPECT_EQ(LinesOfRow(result.out, 4), (std::vector<std::string>{"4 80 3C 00", "4 90 3C 5A"}));
}

TEST(EventsCommand, Metronome_ClicksOnTheBeat) {
  const auto result = RunCli({"events", SaveSmallSong(), "--rows", "1", "--metronome"});
  ASSERT_EQ(result.exit, 0) << result.err;
  const auto row = LinesOfRow(result.out, 0);
  ASSERT_GE(row.size(), 2u);
  EXPECT_EQ(row[0], "0 89 3D 64");
  EXPECT_EQ(row[1], "0 99 3D 64");
}

TEST(EventsCommand, BadArguments_AreUsageErrors) {
  const std::string song = SaveSmallSong();
  EXPECT_EQ(RunCli({"events", song}).exit, 2);
  EXPECT_EQ(RunCli({"events", song, "--rows", "many"}).exit, 2);
  EXPECT_EQ(RunCli({"events", song, "--rows", "4", "--mode", "loop"}).exit, 2);
  const auto missing = RunCli({"events", TempPath("missing.vnl"), "--rows", "4"});
  EXPECT_EQ(missing.exit, 1);
  EXPECT_NE(missing.err.find("File not exists"), std::string::npos);
}

}  // namespace
}  // namespace varnel::test
