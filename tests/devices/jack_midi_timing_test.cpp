// Varnel's own JACK ports on a JACK server of the test's own: messages land on the frames of their
// intended times, an input stamps messages by their frames, the listing matches RtMidi's, and MIDI
// clock's transport messages arrive in order around the notes. Messages are given well ahead of
// their time, so where they land does not depend on how busy the machine is; a run with xruns
// (the server itself missed its time) is skipped rather than judged.
#include <RtMidi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include "devices/device_results.h"
#include "devices/jack_capture.h"
#include "devices/jack_midi_backend.h"
#include "devices/system_midi_backend.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/row_clock.h"
#include "song/song.h"
#include "support/jack_test_server.h"
#include "support/recording_reporter.h"

namespace varnel {
namespace {

using namespace std::chrono_literals;
using Events = std::vector<JackCapture::MidiEvent>;

// Where a message lands is worked out from JACK's estimate of each cycle's start, which wobbles by a
// frame or so with the process thread's wake-ups (more under sanitizers). A wrong placement is off
// by far more: a period, or the gap between two rows.
constexpr double Tolerance = 3;

class JackTiming : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { suite_ = new test::JackSuiteServer; }
  static void TearDownTestSuite() {
    delete suite_;
    suite_ = nullptr;
  }
  void SetUp() override {
    if (!suite_->Why().empty()) GTEST_SKIP() << suite_->Why();
    capture = JackCapture::Open("VarnelTestCapture", 4096, 0);
    ASSERT_NE(capture, nullptr);
    rate = capture->SampleRate();
    cycle = std::chrono::nanoseconds(int64_t(1e9 * capture->Period() / rate));
  }
  std::unique_ptr<JackMidiOutput> OpenOutput() {
    int result = -1;
    auto output = JackMidiOutput::Open(capture->MidiPort(), "out", result);
    EXPECT_EQ(result, DeviceOk);
    return output;
  }
  int64_t Frames(std::chrono::nanoseconds span) const { return std::llround(double(span.count()) * rate / 1e9); }
  // Waits until `count` events have come (or a few seconds passed) and stops recording.
  Events Collect(size_t count) {
    for (int i = 0; i < 400 && capture->Midi().size() < count; ++i) std::this_thread::sleep_for(10ms);
    capture->Stop();
    return capture->Midi();
  }

  std::unique_ptr<JackCapture> capture;
  double rate = 48000;
  std::chrono::nanoseconds cycle{};
  static inline test::JackSuiteServer* suite_ = nullptr;
};

TEST_F(JackTiming, Output_MessagesGivenAhead_LandOnTheFramesOfTheirTimes) {
  auto output = OpenOutput();
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(output->Lead(), JackScheduleMargin);
  capture->Start();
  // Uneven gaps, two at the same time, one given out of order. A new output learns how late its
  // callback wakes over its first few hundred cycles: the first message comes after that.
  const std::chrono::microseconds offsets[] = {0us, 10'000us, 10'000us, 23'417us, 61'003us, 40'000us, 250'000us};
  const MidiTime base = MidiClock::now() + 4 * cycle + 600ms;
  for (size_t i = 0; i < std::size(offsets); ++i)
    output->Send(MakeShortMessage(0x90, uint8_t(i), 1), base + offsets[i]);
  // A latency offset moves everything sent from then on.
  output->SetLatencyOffset(5ms);
  output->Send(MakeShortMessage(0x90, 100, 1), base + 300ms);
  const Events events = Collect(std::size(offsets) + 1);
  if (capture->Xruns() > 0) GTEST_SKIP() << "the server had xruns";
  ASSERT_EQ(events.size(), std::size(offsets) + 1);
  const std::vector<int> order = {0, 1, 2, 3, 5, 4, 6, 100};
  const std::chrono::microseconds at[] = {0us, 10'000us, 10'000us, 23'417us, 40'000us, 61'003us, 250'000us, 305'000us};
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].message.bytes[1], order[i]) << "event " << i;
    // The frame clock follows the callback's wake-ups, which a loaded machine moves by tens of
    // microseconds over a few hundred milliseconds.
    const double tolerance = at[i] < 200ms ? Tolerance : 2 * Tolerance;
    EXPECT_NEAR(double(events[i].frame - events[0].frame), double(Frames(at[i])), tolerance) << "event " << i;
  }
}

TEST_F(JackTiming, Output_CancelAfter_WithdrawsOnlyLaterMessagesSentBefore) {
  auto output = OpenOutput();
  ASSERT_NE(output, nullptr);
  capture->Start();
  const MidiTime base = MidiClock::now() + 4 * cycle + 100ms;
  output->Send(MakeShortMessage(0x90, 1, 1), base);
  output->Send(MakeShortMessage(0x90, 2, 1), base + 100ms);
  output->Send(MakeShortMessage(0x90, 3, 1), base + 200ms);
  output->CancelAfter(base + 50ms);
  output->Send(MakeShortMessage(0x80, 2, 0), base + 150ms);  // sent after the cancel: kept
  const Events events = Collect(2);
  std::this_thread::sleep_for(250ms);
  if (capture->Xruns() > 0) GTEST_SKIP() << "the server had xruns";
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].message.bytes[0], 0x90);
  EXPECT_EQ(events[1].message.bytes[0], 0x80);
  EXPECT_EQ(capture->Midi().size(), 2u) << "nothing later came";
}

TEST_F(JackTiming, Input_StampsMessagesWithTheTimesOfTheirFrames) {
  int result = -1;
  auto output = JackMidiOutput::Open("", "stamps", result);
  ASSERT_NE(output, nullptr) << "rc " << result;
  std::mutex mutex;
  std::vector<MidiTime> stamps;
  auto input = JackMidiInput::Open(
      output->PortName(),
      [&](const ShortMessage&, MidiTime when) {
        std::scoped_lock lock(mutex);
        stamps.push_back(when);
      },
      result);
  ASSERT_NE(input, nullptr) << "rc " << result;
  capture->Start();  // only for its xrun count
  const MidiTime base = MidiClock::now() + 4 * cycle + 100ms;
  for (int i = 0; i < 5; ++i) output->Send(MakeShortMessage(0x90, uint8_t(i), 1), base + i * 10ms + i * i * 1ms);
  for (int i = 0; i < 400; ++i) {
    std::this_thread::sleep_for(10ms);
    std::scoped_lock lock(mutex);
    if (stamps.size() >= 5) break;
  }
  capture->Stop();
  if (capture->Xruns() > 0) GTEST_SKIP() << "the server had xruns";
  std::scoped_lock lock(mutex);
  ASSERT_EQ(stamps.size(), 5u);
  for (int i = 1; i < 5; ++i) {
    const auto expected = std::chrono::nanoseconds(i * 10ms + i * i * 1ms);
    EXPECT_NEAR(double((stamps[size_t(i)] - stamps[0]).count()), double(expected.count()), Tolerance * 1e9 / rate) << i;
  }
  // One period after the intended time, plus the one the input stamps back: within a period.
  EXPECT_NEAR(double((stamps[0] - base).count()), 0.0, double(cycle.count()) * 1.1);
}

TEST_F(JackTiming, Listing_NativeAndRtMidi_SameNamesInTheSameOrder) {
  RtMidiOut sender(RtMidi::UNIX_JACK, "VarnelTestSender");
  sender.openVirtualPort("out");
  SystemMidiBackend native, rtmidi;
  rtmidi.SetNativeJack(false);
  const auto outputs = native.OutputNames();
  EXPECT_NE(std::find(outputs.begin(), outputs.end(), capture->MidiPort()), outputs.end());
  EXPECT_EQ(outputs, rtmidi.OutputNames());
  const auto inputs = native.InputNames();
  EXPECT_NE(std::find(inputs.begin(), inputs.end(), "VarnelTestSender:out"), inputs.end());
  EXPECT_EQ(inputs, rtmidi.InputNames());
}

TEST_F(JackTiming, MidiClock_TransportMessagesInOrderAroundTheNotes) {
  test::RecordingReporter reporter;
  TVNSong song(&reporter);
  song.Reset(1, 256, true);  // long enough not to come round to its note again
  song.StoreCell(0, 0, 0, 60);
  song.BPM = 240;  // a row every 62.5 ms, a clock every 10.4 ms
  SystemMidiBackend backend;
  MidiDevices devices(backend, song);
  const auto names = devices.GetMidiOutDevices();
  const auto it = std::find(names.begin(), names.end(), capture->MidiPort());
  ASSERT_NE(it, names.end());
  devices.SetOutputOptions(capture->MidiPort(), {true, 0});
  ASSERT_TRUE(devices.OpenMidiOut(int(it - names.begin())));
  ThreadRowClock clock;
  PlaybackEngine engine(song, devices, clock);
  capture->Start();
  const auto rows = [&](int n) { std::this_thread::sleep_for(n * 62500us + 2 * cycle); };
  engine.PlayPause();  // Start
  rows(3);
  engine.PlayPause();  // Stop
  engine.PlayPause();  // Continue
  rows(2);
  engine.Stop();       // Stop
  song.PlayingRow = 4;
  engine.PlayPause();  // Song Position Pointer 4, Continue
  rows(2);
  engine.Stop();
  std::this_thread::sleep_for(4 * cycle + 50ms);
  capture->Stop();

  // The transport messages, notes and the clocks between them, by kind.
  std::string seen;
  char last = 0;
  for (const auto& e : capture->Midi()) {
    const uint8_t status = e.message.bytes[0];
    char c = 0;
    if (status == 0xFA) c = 'S';
    else if (status == 0xFB) c = 'C';
    else if (status == 0xFC) c = 'T';
    else if (status == 0xF2) c = 'P';
    else if (status == 0xF8) c = 'k';
    else if ((status & 0xF0) == 0x90 && e.message.bytes[2] > 0) c = 'N';
    else if ((status & 0xF0) == 0x80 && e.message.bytes[1] == 60) c = 'O';
    if (c && !(c == 'k' && last == 'k')) seen += c;  // a run of clocks counts once
    if (c) last = c;
  }
  // Start, the first clock before the first note, clocks; Stop and the note's own note-off;
  // Continue and clocks; Stop; the pointer, Continue, clocks; Stop.
  if (capture->Xruns() > 0) GTEST_SKIP() << "the server had xruns";
  EXPECT_EQ(seen, "SkNkTOCkTPCkT");
  for (const auto& e : capture->Midi()) {
    if (e.message.bytes[0] == 0xF2) {
      EXPECT_EQ(e.message.bytes[1], 4);
      EXPECT_EQ(e.message.bytes[2], 0);
    }
  }
}

}  // namespace
}  // namespace varnel
