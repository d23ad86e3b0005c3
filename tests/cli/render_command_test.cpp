// varnel-cli render: a 16-channel song through the embedded synth into a WAV file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/cli_support.h"
#include "song/song.h"

namespace varnel::test {
namespace {

struct Wav {
  uint32_t rate = 0;
  uint32_t frames = 0;
  int peak = 0;
};

Wav ReadWav(const std::string& path) {
  const auto bytes = ReadFile(path);
  Wav wav;
  if (bytes.size() < 44) return wav;
  auto u32 = [&](size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
  };
  wav.rate = u32(24);
  wav.frames = u32(40) / 4;
  for (size_t i = 44; i + 1 < bytes.size(); i += 2) wav.peak = std::max(wav.peak, std::abs(int16_t(bytes[i] | bytes[i + 1] << 8)));
  return wav;
}

std::string SixteenChannelSong() {
  TVNSong song;
  song.Reset(16, 16, true);
  for (int c = 0; c < 16; ++c) {
    song.SetProgram(c, uint8_t(c * 8));
    for (int r = 0; r < 16; r += 4) song.SetCellData(c, r, 48 + c + r);
  }
  const std::string path = TempPath("sixteen.vnl");
  EXPECT_TRUE(song.SaveToFile(path));
  return path;
}

TEST(RenderCommand, SixteenChannels_NonSilentAndExactlyAsLongAsTheRows) {
  const std::string out = TempPath("sixteen.wav");
  const auto result = RunCli({"render", SixteenChannelSong(), out});
  if (result.exit == 1 && result.err.find("No General MIDI SoundFont") != std::string::npos)
    GTEST_SKIP() << result.err;
  ASSERT_EQ(result.exit, 0) << result.err;
  const Wav wav = ReadWav(out);
  EXPECT_EQ(wav.rate, 44100u);
  EXPECT_EQ(wav.frames, 16u * 5512u + 8u);  // 16 rows of 125 ms: 2 s
  EXPECT_GT(wav.peak, 300) << "the synth should be heard";
}

TEST(RenderCommand, PatternLoopsAtFortyEightKilohertz) {
  const std::string out = TempPath("loops.wav");
  const auto result = RunCli({"render", SixteenChannelSong(), out, "--pattern", "0", "--loops", "2", "--rate", "48000"});
  if (result.exit == 1 && result.err.find("No General MIDI SoundFont") != std::string::npos)
    GTEST_SKIP() << result.err;
  ASSERT_EQ(result.exit, 0) << result.err;
  const Wav wav = ReadWav(out);
  EXPECT_EQ(wav.rate, 48000u);
  EXPECT_EQ(wav.frames, 2u * 16u * 6000u);
}

TEST(RenderCommand, WrongUse_IsExplained) {
  const std::string song = SixteenChannelSong();
  EXPECT_EQ(RunCli({"render", song}).exit, 2);
  EXPECT_EQ(RunCli({"render", song, TempPath("x.wav"), "--rate", "22050"}).exit, 2);
  EXPECT_EQ(RunCli({"render", song, TempPath("x.wav"), "--loops", "2"}).exit, 2);
  const auto missingPattern = RunCli({"render", song, TempPath("x.wav"), "--pattern", "3"});
  EXPECT_EQ(missingPattern.exit, 1);
  EXPECT_NE(missingPattern.err.find("there is no pattern 3"), std::string::npos);
}

}  // namespace
}  // namespace varnel::test
