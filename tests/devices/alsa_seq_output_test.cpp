// The ALSA sequencer output's scheduling against a fake sequencer (these machines have no ALSA
// sequencer): queue times from intended times, the latency offset, cancelling, and the addresses
// of listed port names.
#include "devices/alsa_seq_output.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "devices/device_results.h"
#include "midi/timed_queue.h"

namespace varnel {
namespace {

using namespace std::chrono_literals;

// A queue that started `startedAgo` before the fake was made, on MidiClock itself.
class FakeSequencer final : public AlsaSequencer {
 public:
  struct Scheduled {
    ShortMessage message;
    int64_t queueNs;
  };
  struct Log {
    std::vector<Scheduled> scheduled;
    std::vector<int64_t> removedAfter;
    int queueReads = 0;
    int pending = 0;
  };
  FakeSequencer(Log& log, std::chrono::nanoseconds startedAgo)
      : log_(log), startNs_(ToNs(MidiClock::now() - startedAgo)) {}
  int Open(int, int) override { return DeviceOk; }
  int64_t QueueTimeNs() override {
    ++log_.queueReads;
    return ToNs(MidiClock::now()) - startNs_;
  }
  bool Schedule(const ShortMessage& message, int64_t queueNs) override {
    log_.scheduled.push_back({message, queueNs});
    return true;
  }
  void RemoveAfter(int64_t queueNs) override { log_.removedAfter.push_back(queueNs); }
  int Pending() override { return log_.pending; }

  int64_t StartNs() const { return startNs_; }

 private:
  Log& log_;
  int64_t startNs_;
};

class AlsaSeqOutputTest : public ::testing::Test {
 protected:
  AlsaSeqOutputTest() {
    auto fake = std::make_unique<FakeSequencer>(log, 5s);
    startNs = fake->StartNs();
    output = std::make_unique<AlsaSeqOutput>(std::move(fake));
  }
  // The queue time a MidiClock time should get; the offset measurement may be off by the time one
  // reading takes, far less than this tolerance.
  int64_t QueueTimeOf(MidiTime t) const { return ToNs(t) - startNs; }
  static constexpr int64_t tolerance = 1'000'000;

  FakeSequencer::Log log;
  int64_t startNs = 0;
  std::unique_ptr<AlsaSeqOutput> output;
};

TEST_F(AlsaSeqOutputTest, Send_IntendedTimes_ScheduledAtTheQueueTimeInOrder) {
  const MidiTime now = MidiClock::now();
  const MidiTime times[] = {now + 40ms, now + 10ms, now - 2s};
  for (int i = 0; i < 3; ++i) output->Send(MakeShortMessage(0x90, uint8_t(60 + i), 100), times[i]);
  output->Send(MakeShortMessage(0xF8, 0, 0), SendNow);
  ASSERT_EQ(log.scheduled.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(log.scheduled[size_t(i)].message.bytes[1], 60 + i) << "in the order sent";
    EXPECT_NEAR(double(log.scheduled[size_t(i)].queueNs), double(QueueTimeOf(times[i])), tolerance) << i;
  }
  EXPECT_NEAR(double(log.scheduled[3].queueNs), double(QueueTimeOf(MidiClock::now())), 5 * tolerance);
}

TEST_F(AlsaSeqOutputTest, BeforeTheQueueStarted_ScheduledAtZero) {
  output->Send(MakeShortMessage(0x80, 1, 0), MidiClock::now() - 1h);
  ASSERT_EQ(log.scheduled.size(), 1u);
  EXPECT_EQ(log.scheduled[0].queueNs, 0);
}

TEST_F(AlsaSeqOutputTest, LatencyOffset_MovesEveryMessageAndNegativeOnesRaiseTheLead) {
  struct Case {
    std::chrono::milliseconds offset;
    std::chrono::nanoseconds lead;
  };
  const Case cases[] = {{0ms, AlsaScheduleMargin}, {25ms, AlsaScheduleMargin}, {-25ms, AlsaScheduleMargin + 25ms}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.offset.count()) + " ms");
    output->SetLatencyOffset(c.offset);
    EXPECT_EQ(output->Lead(), c.lead);
    const MidiTime t = MidiClock::now() + 100ms;
    output->Send(MakeShortMessage(0x90, 1, 1), t);
    EXPECT_NEAR(double(log.scheduled.back().queueNs), double(QueueTimeOf(t + c.offset)), tolerance);
  }
}

TEST_F(AlsaSeqOutputTest, CancelAfter_RemovesFromTheQueueTimeOfThatMoment) {
  output->SetLatencyOffset(10ms);
  const MidiTime t = MidiClock::now() + 1s;
  output->CancelAfter(t);
  ASSERT_EQ(log.removedAfter.size(), 1u);
  EXPECT_NEAR(double(log.removedAfter[0]), double(QueueTimeOf(t + 10ms)), tolerance);
}

TEST_F(AlsaSeqOutputTest, ClockOffset_MeasuredAgainAfterTheResyncInterval) {
  const int reads = log.queueReads;
  output->Send(MakeShortMessage(0xF8, 0, 0), SendNow);
  EXPECT_EQ(log.queueReads, reads) << "no reading per message";
  std::this_thread::sleep_for(AlsaSeqOutput::ResyncInterval + 10ms);
  output->Send(MakeShortMessage(0xF8, 0, 0), SendNow);
  EXPECT_GT(log.queueReads, reads);
}

TEST(AlsaAddress, ListedNames_TrailingClientAndPort) {
  struct Case {
    const char* name;
    bool ok;
    int client, port;
  };
  const Case cases[] = {
      {"Midi Through:Midi Through Port-0 14:0", true, 14, 0},
      {"FLUID Synth (1234):Synth input port (1234:0) 128:0", true, 128, 0},
      {"USB MIDI:USB MIDI MIDI 1 20:1", true, 20, 1},
      {"255:255", true, 255, 255},
      {"Something 256:0", false, 0, 0},
      {"VarnelTestReceiver:in", false, 0, 0},
      {"Port 14:", false, 0, 0},
      {"Port :3", false, 0, 0},
      {"Port 1a:3", false, 0, 0},
      {"", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int client = -1, port = -1;
    EXPECT_EQ(ParseAlsaAddress(c.name, client, port), c.ok);
    if (c.ok) {
      EXPECT_EQ(client, c.client);
      EXPECT_EQ(port, c.port);
    }
  }
}

TEST(AlsaAddress, OpenByName_NotAnAlsaAddressOrNoSequencer_FailsWithACode) {
  int result = 0;
  EXPECT_EQ(OpenAlsaSeqOutput("VarnelTestReceiver:in", result), nullptr);
  EXPECT_EQ(result, DeviceBadId);
  // These machines have no sequencer; where one exists, port 0:0 (the system timer) refuses us.
  result = 0;
  auto output = OpenAlsaSeqOutput("System:Timer 0:0", result);
  if (!output) {
    EXPECT_NE(result, DeviceOk);
  }
}

}  // namespace
}  // namespace varnel
