// MIDI clock out: where the 24 clocks per quarter note fall between rows (also when a row is not a
// whole number of clocks, and across tempo changes), and the order of Start, Continue, Stop and
// Song Position Pointer around the rows, on a virtual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine_rig.h"
#include "midi/midi_clock.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/recording_output.h"
#include "midi/row_clock.h"
#include "song/song.h"
#include "support/recording_reporter.h"

namespace varnel {
namespace {

using Messages = std::vector<std::string>;
using std::chrono::nanoseconds;

// All clocks of `rows` rows of one period, the row-start ones included.
std::vector<MidiTime> Clocks(MidiClockPulses& pulses, MidiTime start, nanoseconds period, int spd, int rows) {
  std::vector<MidiTime> times;
  for (int r = 0; r < rows; ++r) {
    const MidiTime row = start + period * r;
    if (pulses.TakeRowStart(spd)) times.push_back(row);
    pulses.Row(row, period, spd, [&](MidiTime t) { times.push_back(t); });
  }
  return times;
}

TEST(MidiClockPulses, SteadyTempo_EveryClockAtItsExactTime) {
  const MidiTime start = MidiTime{} + std::chrono::hours(1);
  for (const int spd : {1, 2, 3, 4, 5, 7, 12, 24, 25, 96}) {
    SCOPED_TRACE("SPD " + std::to_string(spd));
    const nanoseconds period = RowPeriodFor(120, spd);
    MidiClockPulses pulses;
    pulses.Reset(0);
    const int rows = 4 * spd;  // four beats
    const auto times = Clocks(pulses, start, period, spd, rows);
    ASSERT_EQ(times.size(), 96u) << "24 clocks a beat";
    for (size_t k = 0; k < times.size(); ++k) {
      // Clock k lies k * SPD / 24 rows in: exact up to the nanosecond the division drops.
      const nanoseconds exact = period * int64_t(k) * spd / 24;
      EXPECT_LE(std::abs((times[k] - start - exact).count()), 1) << "clock " << k;
    }
    EXPECT_EQ(pulses.Next(), 0) << "after whole beats the next clock starts the next row";
  }
}

TEST(MidiClockPulses, SpeedFive_RowsCarryFourOrFiveClocks) {
  MidiClockPulses pulses;
  pulses.Reset(0);
  const MidiTime start = MidiTime{} + std::chrono::hours(1);
  const nanoseconds period = RowPeriodFor(120, 5);  // 100 ms a row, 20.833 ms a clock
  std::vector<int> perRow;
  for (int r = 0; r < 5; ++r) {
    int n = pulses.TakeRowStart(5) ? 1 : 0;
    pulses.Row(start + period * r, period, 5, [&](MidiTime) { ++n; });
    perRow.push_back(n);
  }
  EXPECT_EQ(perRow, (std::vector<int>{5, 5, 5, 5, 4}));
}

TEST(MidiClockPulses, TempoChange_MovesTheClocksFromTheNextRow) {
  MidiClockPulses pulses;
  pulses.Reset(0);
  const MidiTime start = MidiTime{} + std::chrono::hours(1);
  const nanoseconds slow = RowPeriodFor(120, 4), fast = RowPeriodFor(240, 4);
  std::vector<MidiTime> times;
  MidiTime row = start;
  for (const nanoseconds period : {slow, fast, fast}) {
    if (pulses.TakeRowStart(4)) times.push_back(row);
    pulses.Row(row, period, 4, [&](MidiTime t) { times.push_back(t); });
    row += period;
  }
  ASSERT_EQ(times.size(), 18u);
  for (int k = 0; k < 18; ++k) {
    const nanoseconds expected = k < 6 ? slow * k / 6 : slow + fast * (k - 6) / 6;
    EXPECT_EQ(times[size_t(k)] - start, expected) << "clock " << k;
  }
}

TEST(MidiClockPosition, SongPositionPointer_RoundsUpToTheNextSixteenth) {
  struct Case {
    int64_t rows;
    int spd;
    int sixteenths;
    int64_t units;  // where the first clock after the pointer lies, in 24ths of a row
  };
  const Case cases[] = {
      {0, 4, 0, 0},   {5, 4, 5, 0},      {3, 5, 3, 18},  {1, 8, 1, 24},   // SPD 8: half a sixteenth a row
      {1, 2, 2, 0},   {3, 96, 1, 504},   {100000, 1, 16383, 0},          // beyond the pointer's range
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows at SPD " + std::to_string(c.spd));
    EXPECT_EQ(SongPositionFor(c.rows, c.spd), c.sixteenths);
    EXPECT_EQ(ClockUnitsAfter(c.rows, c.spd, c.sixteenths), c.units);
  }
}

TEST(MidiClockPosition, RowsFromTop_SongModeAddsEachEarlierPositionsShortestPattern) {
  TVNSong song;
  song.Reset(2, 16, true);
  ASSERT_TRUE(song.InsertPattern(1, 32));
  song.SongMode = true;
  song.SetOrder(0, 0, 1);  // position 0: 32 and 16 rows -> 16
  song.SetOrder(1, 0, 0);
  song.SetOrder(0, 1, 1);  // position 1: 32 and nothing -> 32
  song.SetOrder(1, 1, OrderEmpty);
  song.SetOrder(0, 2, 0);
  song.PlayingOrder = 2;
  song.PlayingRow = 3;
  EXPECT_EQ(RowsFromTop(song), 16 + 32 + 3);
  song.SetChannelOn(1, false);  // muted channels do not play, so do not shorten
  EXPECT_EQ(RowsFromTop(song), 32 + 32 + 3);
  song.SongMode = false;
  EXPECT_EQ(RowsFromTop(song), 3);
}

class MidiClockEngineTest : public ::testing::Test, protected test::EngineRig {
 protected:
  MidiClockEngineTest() {
    song.Reset(1, 16, true);
    song.StoreCell(0, 0, 0, 60);
    devices.GetMidiOutDevices();
    EXPECT_TRUE(devices.OpenMidiOut(0));
    devices.SetOutputOptions("Recorder", {true, 0});
    rec().Clear();
  }
  // System messages and notes only (the channel preparation left out), in order.
  Messages Sent() {
    Messages m;
    for (const auto& e : rec().Events()) {
      const int kind = e.message.bytes[0] & 0xF0;
      if (kind == 0x80 || kind == 0x90 || kind == 0xF0) m.push_back(HexBytes(e.message));
    }
    rec().Clear();
    return m;
  }
  void PlayRows(int n) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(clock.Advance());
  }
  static Messages Clocks(int n) { return Messages(size_t(n), "F8"); }
  static Messages Join(std::initializer_list<Messages> parts) {
    Messages all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  }
};

TEST_F(MidiClockEngineTest, PlayPauseResumeStop_TransportMessagesAroundTheNotes) {
  engine.PlayPause();
  EXPECT_EQ(Sent(), Messages{"FA"}) << "Start, once the channels are prepared";
  PlayRows(2);
  // The row-start clock goes before the row's note; SPD 4 has six clocks a row.
  EXPECT_EQ(Sent(), Join({{"F8", "80 00 00", "90 3C 64"}, Clocks(5), Clocks(6)}));
  engine.PlayPause();
  EXPECT_EQ(Sent(), (Messages{"FC", "80 3C 00"}));
  engine.PlayPause();
  EXPECT_EQ(Sent(), Messages{"FB"}) << "resuming where it paused";
  PlayRows(1);
  EXPECT_EQ(Sent(), Clocks(6));
  engine.Stop();
  EXPECT_EQ(Sent(), Messages{"FC"});
  engine.PlayPause();
  EXPECT_EQ(Sent(), Messages{"FA"}) << "after a stop, from the top again";
  engine.Stop();
  engine.Stop();
  EXPECT_EQ(Sent(), Messages{"FC"}) << "one Stop for two stops";
}

TEST_F(MidiClockEngineTest, PlayFromAPosition_SongPositionPointerThenContinue) {
  song.SPD = 5;
  song.PlayingRow = 3;  // 2.4 sixteenths in: the receivers start at the third sixteenth
  engine.PlayPause();
  EXPECT_EQ(Sent(), (Messages{"F2 03 00", "FB"}));
  const MidiTime rowTime = clock.Now() + clock.Period();
  PlayRows(1);
  const auto events = rec().Events();
  std::vector<MidiTime> clocks;
  for (const auto& e : events)
    if (e.message.bytes[0] == 0xF8) clocks.push_back(e.when);
  // Clock 18 (the pointer's) lies 90 24ths of a row from the top, 18 into row 3; the next 5 later.
  ASSERT_EQ(clocks.size(), 2u);
  EXPECT_EQ(clocks[0], rowTime + clock.Period() * 18 / 24);
  EXPECT_EQ(clocks[1], rowTime + clock.Period() * 23 / 24);

  // Moved while paused: the new position is told before continuing.
  rec().Clear();
  engine.PlayPause();
  song.PlayingRow = 10;
  engine.PlayPause();
  EXPECT_EQ(Sent(), (Messages{"FC", "F2 08 00", "FB"}));
}

TEST_F(MidiClockEngineTest, RestartAroundAnEdit_SendsNoTransportMessage) {
  engine.PlayPause();
  PlayRows(1);
  Sent();
  engine.StopPlayTimer();
  engine.StartPlayTimer();
  PlayRows(1);
  EXPECT_EQ(Sent(), Clocks(6));
}

TEST_F(MidiClockEngineTest, ClockOff_SendsNoSystemMessages) {
  devices.SetOutputOptions("Recorder", {false, 0});
  engine.PlayPause();
  PlayRows(3);
  engine.PlayPause();
  engine.PlayPause();
  engine.Stop();
  EXPECT_EQ(Sent(), (Messages{"80 00 00", "90 3C 64", "80 3C 00"}));
}

TEST_F(MidiClockEngineTest, TempoCell_ClocksOfThatRowFollowTheNewTempo) {
  song.AddTrack(0, ttTempo, -1, -1);
  song.StoreCell(0, 1, 1, 240);  // row 1 doubles the tempo from 120
  engine.PlayPause();
  PlayRows(3);
  std::vector<nanoseconds> gaps;
  MidiTime last{};
  for (const auto& e : rec().Events()) {
    if (e.message.bytes[0] != 0xF8) continue;
    if (last != MidiTime{}) gaps.push_back(e.when - last);
    last = e.when;
  }
  ASSERT_EQ(gaps.size(), 17u);
  const nanoseconds slow = RowPeriodFor(120, 4) / 6, fast = RowPeriodFor(240, 4) / 6;
  for (size_t i = 0; i < gaps.size(); ++i) {
    EXPECT_LE(std::abs((gaps[i] - (i < 6 ? slow : fast)).count()), 2) << "gap " << i;
  }
}

// An output that places messages by time: what the device layer asks of it.
class TimestampingOutput final : public MidiOutput {
 public:
  struct Log {
    std::vector<nanoseconds> offsets;
    std::vector<MidiTime> cancels;
  };
  explicit TimestampingOutput(Log& log) : log_(log) {}
  void Send(const ShortMessage&, MidiTime) override {}
  nanoseconds Lead() const override { return std::chrono::milliseconds(3) + (offset_ < nanoseconds{} ? -offset_ : nanoseconds{}); }
  void SetLatencyOffset(nanoseconds offset) override {
    offset_ = offset;
    log_.offsets.push_back(offset);
  }
  void CancelAfter(MidiTime after) override { log_.cancels.push_back(after); }

 private:
  Log& log_;
  nanoseconds offset_{};
};

class TimestampingBackend final : public MidiBackend {
 public:
  std::vector<std::string> OutputNames() override { return {"Far Synth", "Near Synth"}; }
  std::vector<std::string> InputNames() override { return {}; }
  std::unique_ptr<MidiOutput> OpenOutput(int, int& result) override {
    result = 0;
    return std::make_unique<TimestampingOutput>(log);
  }
  std::unique_ptr<MidiInput> OpenInput(int, MidiInputHandler, int& result) override {
    result = 2;
    return nullptr;
  }
  TimestampingOutput::Log log;
};

TEST(OutputOptions, PerDevice_OffsetReachesTheOutputAndMovesTheLead) {
  TVNSong song;
  TimestampingBackend backend;
  MidiDevices devices(backend, song);
  devices.GetMidiOutDevices();
  devices.SetOutputOptions("Far Synth", {true, -12.5});
  devices.SetOutputOptions("Near Synth", {false, 2000});  // beyond the range: clamped
  EXPECT_EQ(devices.GetOutputOptions("Near Synth").latencyOffsetMs, 1000);
  EXPECT_EQ(devices.GetOutputOptions("Unknown"), OutputOptions{});

  devices.SelectOutDevice(0, "Far &Synth");
  EXPECT_EQ(devices.OutDeviceName(), "Far Synth");
  EXPECT_TRUE(devices.MidiClockEnabled());
  EXPECT_EQ(backend.log.offsets.back(), std::chrono::microseconds(-12500));
  EXPECT_EQ(devices.OutputLead(), std::chrono::microseconds(15500));

  devices.SelectOutDevice(1, "Near Synth");
  EXPECT_FALSE(devices.MidiClockEnabled());
  EXPECT_EQ(backend.log.offsets.back(), std::chrono::seconds(1));
  devices.SetOutputOptions("Near Synth", {false, 0});  // the open device: applies at once
  EXPECT_EQ(backend.log.offsets.back(), nanoseconds{});
}

TEST(OutputOptions, Engine_RunsTheRowClockAheadAndWithdrawsWhatAStopMustNotPlay) {
  TVNSong song;
  TimestampingBackend backend;
  MidiDevices devices(backend, song);
  devices.GetMidiOutDevices();
  ASSERT_TRUE(devices.OpenMidiOut(0));
  ManualRowClock clock;
  PlaybackEngine engine(song, devices, clock);
  engine.PlayPause();
  EXPECT_EQ(clock.Lead(), std::chrono::milliseconds(3));
  const MidiTime before = MidiClock::now();
  engine.PlayPause();
  engine.PlayPause();
  engine.Stop();
  ASSERT_EQ(backend.log.cancels.size(), 2u);
  for (const MidiTime cancel : backend.log.cancels) {
    EXPECT_GE(cancel, before);
    EXPECT_LE(cancel, MidiClock::now());
  }
}

// An output whose sample clock runs slow against MidiClock, as a JACK server's may.
class SlowClockOutput final : public MidiOutput {
 public:
  explicit SlowClockOutput(MidiRecorder& recorder, double ratio) : recorder_(recorder), ratio_(ratio) {}
  void Send(const ShortMessage& message, MidiTime when) override { recorder_.Record(message, when); }
  double ClockRatio() const override { return ratio_; }

 private:
  MidiRecorder& recorder_;
  double ratio_;
};

class SlowClockBackend final : public MidiBackend {
 public:
  explicit SlowClockBackend(double ratio) : ratio_(ratio) {}
  std::vector<std::string> OutputNames() override { return {"Slow"}; }
  std::vector<std::string> InputNames() override { return {}; }
  std::unique_ptr<MidiOutput> OpenOutput(int, int& result) override {
    result = 0;
    return std::make_unique<SlowClockOutput>(recorder, ratio_);
  }
  std::unique_ptr<MidiInput> OpenInput(int, MidiInputHandler, int& result) override {
    result = 1;
    return nullptr;
  }
  MidiRecorder recorder;

 private:
  double ratio_;
};

TEST(OutputClockRatio, RowsAndClocksStretchToTheOutputsSampleClock) {
  struct Case {
    double ratio;
    int spd;
  };
  for (const Case c : {Case{1.0, 4}, Case{1.0036, 4}, Case{0.9991, 5}, Case{1.5, 4}}) {
    SCOPED_TRACE(testing::Message() << "ratio " << c.ratio << ", SPD " << c.spd);
    TVNSong song;
    song.Reset(1, 16, true);
    song.StoreCell(0, 0, 0, 60);
    song.SPD = uint8_t(c.spd);
    SlowClockBackend backend(c.ratio);
    MidiDevices devices(backend, song);
    devices.GetMidiOutDevices();
    devices.SetOutputOptions("Slow", {true, 0});
    ASSERT_TRUE(devices.OpenMidiOut(0));
    ManualRowClock clock;
    PlaybackEngine engine(song, devices, clock);
    engine.PlayPause();
    const nanoseconds exact = RowPeriodFor(song.BPM, song.SPD);
    // A ratio far from any sound card's (a broken measurement) leaves the tempo alone.
    const double applied = c.ratio > 0.9 && c.ratio < 1.1 ? c.ratio : 1.0;
    const nanoseconds stretched(std::llround(double(exact.count()) * applied));
    EXPECT_EQ(clock.Period(), stretched);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(clock.Advance());
    std::vector<MidiTime> clocks;
    for (const auto& e : backend.recorder.Events())
      if (e.message.bytes[0] == 0xF8) clocks.push_back(e.when);
    ASSERT_EQ(clocks.size(), size_t(10 * 24 / c.spd));
    for (size_t i = 1; i < clocks.size(); ++i)
      EXPECT_LE(std::abs((clocks[i] - clocks[0] - stretched * int(i) * c.spd / 24).count()), 2) << "clock " << i;
  }
}

}  // namespace
}  // namespace varnel
