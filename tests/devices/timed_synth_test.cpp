// The embedded synth's placement of events by time, driven by a simulated audio callback: the
// callback clock that smooths the call times, and where notes start in the rendered audio.
#include "devices/timed_synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "devices/gm_synth.h"

namespace varnel {
namespace {

using namespace std::chrono_literals;

constexpr double Rate = 48000;

TEST(CallbackClock, JitteredCalls_SettleOnTheTrueScheduleAndRate) {
  CallbackClock clock;
  std::mt19937 random(7);
  std::uniform_int_distribution<int64_t> jitter(0, 60'000);  // up to 60 us late
  const int frames = 64;
  const double period = frames * 1e9 / 48000.5;  // the card runs a little fast
  const int64_t start = 1'000'000'000;
  double worst = 0;
  for (int k = 0; k < 6000; ++k) {
    const int64_t ideal = start + int64_t(std::llround(k * period));
    clock.Update(ideal + jitter(random), frames, Rate);
    // The loop follows the mean lateness (30 us), not each call's.
    if (k > 3000) worst = std::max(worst, std::abs(double(clock.BufferStartNs() - ideal) - 30'000));
  }
  EXPECT_LT(worst, 10'000) << "ns off the schedule: under half a frame";
  EXPECT_NEAR(clock.FramesPerNs() * 1e9, 48000.5, 0.5);
  EXPECT_EQ(clock.Resets(), 0);

  // A stall (an xrun) starts the loop over instead of dragging it along.
  const int64_t later = start + int64_t(6000 * period) + 200'000'000;
  clock.Update(later, frames, Rate);
  EXPECT_EQ(clock.Resets(), 1);
  EXPECT_EQ(clock.BufferStartNs(), later);
}

class TimedSynthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (FindSoundFont("").empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
  }

  // Renders 40 buffers of 256 frames at a perfectly regular callback from time T0, with one note
  // (a side stick) meant to sound at global frame `frame` - the buffer of latency included - and
  // returns the frame of the first sound.
  static int Onset(double frame, std::chrono::nanoseconds offset = {}, bool cancel = false) {
    int result = 0;
    auto synth = GmSynth::Create(SynthSettings{"", "", Rate, 0.5, false}, result);
    EXPECT_NE(synth, nullptr);
    if (!synth) return -1;
    TimedSynth timed(*synth, Rate);
    timed.SetLatencyOffset(offset);
    const int buffer = 256;
    const MidiTime t0 = MidiTime{} + 1h;
    const auto at = t0 + std::chrono::nanoseconds(std::llround((frame - buffer) * 1e9 / Rate));
    timed.Push(MakeShortMessage(0x99, 37, 127), at);
    if (cancel) timed.CancelAfter(at - 1ns);
    std::vector<float> left(buffer * 40), right(buffer * 40);
    for (int k = 0; k < 40; ++k) {
      const auto now = t0 + std::chrono::nanoseconds(std::llround(k * buffer * 1e9 / Rate));
      timed.Render(left.data() + k * buffer, right.data() + k * buffer, buffer, now);
    }
    // An idle synth is not quite silent (its effects keep a noise floor near 1e-8).
    for (size_t i = 0; i < left.size(); ++i)
      if (std::abs(left[i]) > 1e-5f || std::abs(right[i]) > 1e-5f) return int(i);
    return -1;
  }
};

TEST_F(TimedSynthTest, Note_StartsAtTheSynthBlockNearestItsFrame) {
  const int base = Onset(1024);  // on a block boundary: the instrument's own start delay
  ASSERT_GE(base, 1024);
  ASSERT_LT(base, 1024 + 8);
  const int delay = base - 1024;
  struct Case {
    double frame;
    int boundary;
  };
  const Case cases[] = {{1030, 1024}, {1055.4, 1024}, {1056.6, 1088}, {1100, 1088},
                        {1119, 1088}, {1121, 1152}, {4000, 4032}, {300, 320}};
  for (const Case& c : cases) {
    SCOPED_TRACE("frame " + std::to_string(c.frame));
    EXPECT_EQ(Onset(c.frame) - delay, c.boundary);
  }
}

TEST_F(TimedSynthTest, LatencyOffset_MovesTheNoteByItsFrames) {
  const int base = Onset(2048);  // offsets of whole synth blocks: 8 ms is 384 frames, 6 blocks
  EXPECT_EQ(Onset(2048, 8ms), base + 384);
  EXPECT_EQ(Onset(2048, -16ms), base - 768);
}

TEST_F(TimedSynthTest, Cancelled_NoteNeverSounds) { EXPECT_EQ(Onset(2048, {}, true), -1); }

TEST_F(TimedSynthTest, LateNote_SoundsAtOnceRatherThanNever) {
  // Meant for before the audio started: it goes into the first block.
  const int onset = Onset(-5000);
  EXPECT_GE(onset, 0);
  EXPECT_LT(onset, 64 + 8);
}

}  // namespace
}  // namespace varnel
