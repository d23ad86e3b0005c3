// Rendering a song to WAV through a synth: the rows land at the right frames and the file is as
// long as the rows played.
#include "exchange/song_render.h"

#include <gtest/gtest.h>

#include <cmath>

#include "midi/recording_output.h"
#include "song/song.h"
#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

using test::ReadFile;
using test::RecordingReporter;
using test::TempPath;

// Remembers at which frame each note-on arrived, and renders a constant level so the file shows
// that every frame was written.
class FakeSynth final : public RenderSynth {
 public:
  void Send(const ShortMessage& message) override {
    if ((message.bytes[0] & 0xF0) == 0x90 && message.bytes[2] > 0) noteOns.push_back({frame, message.bytes[1]});
  }
  void Render(float* left, float* right, int frames) override {
    for (int i = 0; i < frames; ++i) left[i] = right[i] = 0.5f;
    frame += frames;
  }
  struct NoteOn {
    int64_t frame;
    int note;
  };
  std::vector<NoteOn> noteOns;
  int64_t frame = 0;
};

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

TEST(SongRender, PatternOfSixteenRows_LastsSixteenPeriodsWithNotesOnTheirRows) {
  TVNSong song;
  song.Reset(1, 16, true);
  song.SetCellData(0, 0, 60);
  song.SetCellData(0, 5, 62);
  FakeSynth synth;
  RenderOptions options;
  options.wholeSong = false;
  const std::string path = TempPath("pattern.wav");
  ASSERT_TRUE(RenderSong(song, synth, options, path));

  EXPECT_EQ(synth.frame, 88200);  // 16 rows x 125 ms at 44100 Hz
  ASSERT_EQ(synth.noteOns.size(), 2u);
  EXPECT_EQ(synth.noteOns[0].frame, 0);
  EXPECT_EQ(synth.noteOns[0].note, 60);
  EXPECT_EQ(synth.noteOns[1].frame, 27563);  // row 5 at 625 ms, rounded to the nearest frame
  const auto bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 44u + 88200u * 4u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(U32At(bytes, 4), 36u + 88200u * 4u);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(U32At(bytes, 24), 44100u);
  EXPECT_EQ(U32At(bytes, 40), 88200u * 4u);
  EXPECT_EQ(int16_t(bytes[44] | bytes[45] << 8), 16384);  // 0.5 of full scale
}

TEST(SongRender, TempoCell_TheRowsAfterItTakeTheNewPeriod) {
  TVNSong song;
  song.Reset(1, 8, true);
  ASSERT_TRUE(song.AddTrack(0, ttTempo, -1, -1));
  song.SetCellData(1, 3, 60);  // from row 3 on: 60 BPM, 250 ms a row
  FakeSynth synth;
  RenderOptions options;
  options.wholeSong = false;
  const RenderLength length = MeasureRender(song, options);
  EXPECT_EQ(length.rows, 8);
  // Rows 0..2 at 125 ms; row 3 plays the tempo cell and waits the new period, as the clock does.
  EXPECT_EQ(length.frames, std::llround((3 * 0.125 + 5 * 0.25) * 44100));
}

TEST(SongRender, SongModeOnce_AndPatternLooped_PlayTheirRows) {
  TVNSong song;
  song.Reset(2, 16, true);
  ASSERT_TRUE(song.InsertPattern(1, 32));
  song.SetOrder(0, 1, 1);
  song.SetOrder(1, 1, 1);
  RenderOptions whole;
  EXPECT_EQ(MeasureRender(song, whole).rows, 16 + 32);
  RenderOptions looped;
  looped.wholeSong = false;
  looped.pattern = 1;
  looped.loops = 3;
  EXPECT_EQ(MeasureRender(song, looped).rows, 3 * 32);
  looped.sampleRate = 48000;
  EXPECT_EQ(MeasureRender(song, looped).frames, 3 * 32 * 6000);
}

TEST(SongRender, UnwritablePath_SaysErrorSavingFile) {
  RecordingReporter reporter;
  TVNSong song(&reporter);
  FakeSynth synth;
  EXPECT_FALSE(RenderSong(song, synth, {}, TempPath("no-such-folder/out.wav")));
  EXPECT_EQ(reporter.messages, std::vector<std::string>{"Error saving file"});
}

}  // namespace
}  // namespace varnel
