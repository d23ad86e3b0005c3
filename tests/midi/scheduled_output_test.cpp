// Outputs that can only send at once, given messages meant for later (MIDI clocks between rows):
// due messages pass straight through, later ones go at their time, in time order, and a stop
// withdraws them. Order and "not before its time" are checked, not how exact the times are.
#include "midi/scheduled_output.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace varnel {
namespace {

using namespace std::chrono_literals;

struct Sent {
  uint8_t note;
  MidiTime at;
};

class LogOutput final : public MidiOutput {
 public:
  explicit LogOutput(std::vector<Sent>& log, std::mutex& mutex) : log_(log), mutex_(mutex) {}
  void Send(const ShortMessage& message, MidiTime when) override {
    EXPECT_EQ(when, SendNow) << "the inner output only ever sends at once";
    std::scoped_lock lock(mutex_);
    log_.push_back({message.bytes[1], MidiClock::now()});
  }

 private:
  std::vector<Sent>& log_;
  std::mutex& mutex_;
};

class ScheduledOutputTest : public ::testing::Test {
 protected:
  std::vector<Sent> Log() {
    std::scoped_lock lock(mutex_);
    return log_;
  }
  static ShortMessage Note(int n) { return MakeShortMessage(0x90, uint8_t(n), 1); }
  std::mutex mutex_;
  std::vector<Sent> log_;
  ScheduledOutput output{std::make_unique<LogOutput>(log_, mutex_)};
};

TEST_F(ScheduledOutputTest, DueMessages_GoStraightThrough) {
  output.Send(Note(1), SendNow);
  output.Send(Note(2), MidiClock::now() - 1s);
  output.Send(Note(3), MidiClock::now());
  const auto log = Log();
  ASSERT_EQ(log.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(log[size_t(i)].note, i + 1);
  EXPECT_EQ(output.Waiting(), 0u);
}

TEST_F(ScheduledOutputTest, LaterMessages_GoAtTheirTimeInTimeOrder) {
  const MidiTime base = MidiClock::now() + 30ms;
  const int offsetsMs[] = {40, 10, 30, 10, 20};
  for (int i = 0; i < 5; ++i) output.Send(Note(i), base + std::chrono::milliseconds(offsetsMs[i]));
  output.Send(Note(9), SendNow);  // due now: before all of them
  for (int i = 0; i < 200 && Log().size() < 6; ++i) std::this_thread::sleep_for(5ms);
  const auto log = Log();
  ASSERT_EQ(log.size(), 6u);
  const int order[] = {9, 1, 3, 4, 2, 0};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(log[i].note, order[i]) << "message " << i;
  for (size_t i = 1; i < 6; ++i) {
    const int ms = offsetsMs[log[i].note];
    EXPECT_GE(log[i].at, base + std::chrono::milliseconds(ms)) << "note " << int(log[i].note) << " went early";
  }
}

TEST_F(ScheduledOutputTest, CancelAfter_WithdrawsOnlyLaterMessages) {
  const MidiTime base = MidiClock::now() + 50ms;
  output.Send(Note(1), base);
  output.Send(Note(2), base + 10s);
  output.Send(Note(3), base + 20s);
  output.CancelAfter(base + 1s);
  EXPECT_EQ(output.Waiting(), 1u);
  for (int i = 0; i < 200 && Log().empty(); ++i) std::this_thread::sleep_for(5ms);
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_EQ(Log()[0].note, 1);
}

TEST(ScheduledOutput, Destroyed_WhatStillWaitsIsNotSent) {
  std::mutex mutex;
  std::vector<Sent> log;
  {
    ScheduledOutput output(std::make_unique<LogOutput>(log, mutex));
    output.Send(MakeShortMessage(0xF8, 0, 0), MidiClock::now() + 1h);
  }
  EXPECT_TRUE(log.empty());
}

}  // namespace
}  // namespace varnel
