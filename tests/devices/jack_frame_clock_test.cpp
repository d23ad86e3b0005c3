// Where a JACK server's frames fall on MidiClock, from the process callback's wake-ups alone:
// jitter averages out, a slow sample clock is measured, a late cycle that the server catches up
// moves nothing, and a frame clock that has jumped is followed at once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "devices/jack_time.h"

namespace varnel {
namespace {

constexpr double Rate = 48000;
constexpr uint32_t Period = 64;
constexpr double PeriodNs = Period * 1e9 / Rate;

// Wake-ups of a server whose cycle k is due at start + k * period * ratio, each late by a
// deterministic jitter of 0..80 us.
struct Server {
  double ratio = 1.0;
  double startNs = 5e9;
  uint32_t frame = 1000;
  int64_t cycle = 0;
  uint32_t seed = 12345;
  double Jitter() {
    seed = seed * 1664525u + 1013904223u;
    return double(seed >> 8) / double(1u << 24) * 80'000;
  }
  double Due(int64_t k) const { return startNs + double(k) * PeriodNs * ratio; }
  // The next cycle, `extraNs` late on top of the jitter.
  void Step(JackFrameClock& clock, double extraNs = 0) {
    clock.Update(int64_t(Due(cycle) + Jitter() + extraNs), frame, Period, Rate);
    frame += Period;
    ++cycle;
  }
  void Run(JackFrameClock& clock, double seconds) {
    for (int i = 0; i < int(seconds * Rate / Period); ++i) Step(clock);
  }
  // How far the clock's idea of the next cycle's frame is from when it is due (the mean jitter,
  // 40 us, is a constant latency and counts as none).
  double ErrorNs(const JackFrameClock& clock) const { return double(clock.TimeOf(frame)) - Due(cycle) - 40'000; }
};

TEST(JackFrameClock, JitteredWakeUps_SettleOnTheScheduleAndTheRate) {
  for (const double ratio : {1.0, 1.0036, 0.9995}) {
    SCOPED_TRACE(ratio);
    Server server;
    server.ratio = ratio;
    JackFrameClock clock;
    EXPECT_FALSE(clock.Ready());
    EXPECT_EQ(clock.Ratio(Rate), 1.0);
    server.Run(clock, 10);
    ASSERT_TRUE(clock.Ready());
    EXPECT_NEAR(clock.Ratio(Rate), ratio, 2e-5);
    EXPECT_NEAR(server.ErrorNs(clock), 0, 10'000);
    // Ten milliseconds ahead (a row): within a small part of a frame.
    const double ahead = double(clock.TimeOf(server.frame + 480)) - server.Due(server.cycle) - 40'000 - 480 * 1e9 / Rate * ratio;
    EXPECT_NEAR(ahead, 0, 10'000);
  }
}

TEST(JackFrameClock, LateCycleCaughtUp_MovesNothing) {
  Server server;
  JackFrameClock clock;
  server.Run(clock, 5);
  const double before = server.ErrorNs(clock);
  // One cycle 5 ms late; the server then runs the ones it owes back to back until it is on time.
  server.Step(clock, 5e6);
  for (int i = 1; i < 4; ++i) server.Step(clock, 5e6 - i * PeriodNs);
  server.Run(clock, 0.5);
  EXPECT_NEAR(server.ErrorNs(clock), before, 5'000);
  EXPECT_NEAR(clock.Ratio(Rate), 1.0, 2e-5);
}

TEST(JackFrameClock, FrameClockJumps_FollowedAfterAFewCyclesNotDraggedAlong) {
  Server server;
  JackFrameClock clock;
  server.Run(clock, 5);
  const double before = server.ErrorNs(clock);
  // From here on every frame comes 3 ms later: the cycles it lost are gone (an xrun).
  server.startNs += 3e6;
  server.Step(clock);
  server.Step(clock);
  EXPECT_NEAR(server.ErrorNs(clock), before - 3e6, 5'000) << "two late cycles are not yet a jump";
  server.Step(clock);
  server.Step(clock);
  EXPECT_NEAR(server.ErrorNs(clock), 0, 80'000) << "the fourth moves the clock at once";
  server.Run(clock, 2);
  EXPECT_NEAR(server.ErrorNs(clock), 0, 10'000);
  EXPECT_NEAR(clock.Ratio(Rate), 1.0, 5e-5);
}

TEST(JackFrameClock, FrameClockJumpsOnAMachineThatWakesLate_StillFollowed) {
  Server server;
  JackFrameClock clock;
  server.Run(clock, 5);
  // An idle virtual machine: after the jump no two wake-ups agree, each late by 0.3..2 ms more.
  server.startNs += 8e6;
  const double lates[] = {1.7e6, 0.3e6, 1.1e6, 2e6, 0.6e6, 1.4e6};
  for (int i = 0; i < 24; ++i) server.Step(clock, lates[i % 6]);
  EXPECT_NEAR(server.ErrorNs(clock), 0.3e6, 100'000) << "on the earliest wake-up's phase, not the old one";
}

TEST(JackFrameClock, ScatteredOutliers_NeverCountAsAJump) {
  Server server;
  JackFrameClock clock;
  server.Run(clock, 5);
  const double before = server.ErrorNs(clock);
  // Late wake-ups of different lengths, three in a row at most: not one new phase.
  const double lates[] = {1e6, 2.5e6, 4e6, 0, 3e6, 600'000, 0, 0};
  for (int round = 0; round < 20; ++round)
    for (const double late : lates) server.Step(clock, late);
  EXPECT_NEAR(server.ErrorNs(clock), before, 5'000);
}

}  // namespace
}  // namespace varnel
