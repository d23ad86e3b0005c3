#include "midi/clock_follower.h"

#include <cmath>

#include "midi/midi_clock.h"
#include "midi/timed_queue.h"

namespace varnel {

namespace {
// How far past the last clock a prediction may go, beyond the engine's lead: room for a clock
// that comes late by the jitter of a busy master.
constexpr double PredictionSlackNs = 2'000'000;
constexpr int GapBeats = 2;
}  // namespace

bool ClockFollower::Receive(const ShortMessage& message, MidiTime when) {
  const uint8_t status = message.bytes[0];
  if (status != MidiTimingClock && status != MidiStart && status != MidiContinue && status != MidiStop &&
      status != MidiSongPosition)
    return false;
  std::function<void()> wake;
  {
    std::scoped_lock lock(mutex_);
    if (!enabled_) return false;
    const int64_t ns = ToNs(when);
    if (status == MidiTimingClock) {
      const int clocks = loop_.Arrive(ns);
      if (clocks == 0) return true;  // counted already
      for (int lost = clocks - 1; lost > 0; --lost) {  // where the lost ones should have come
        arrivals_[size_t(clocks_ % int64_t(arrivals_.size()))] = ns - int64_t(std::llround(lost * loop_.Period()));
        ++clocks_;
      }
      arrivals_[size_t(clocks_ % int64_t(arrivals_.size()))] = ns;
      ++clocks_;
    } else {
      FollowCommand command;
      command.clocks = clocks_;
      command.timeNs = ns;
      if (status == MidiStart) command.kind = FollowCommand::Kind::Start;
      if (status == MidiContinue) command.kind = FollowCommand::Kind::Continue;
      if (status == MidiStop) command.kind = FollowCommand::Kind::Stop;
      if (status == MidiSongPosition) {
        if (message.size < 3) return true;
        command.kind = FollowCommand::Kind::Position;
        command.sixteenths = (message.bytes[1] & 0x7F) | (message.bytes[2] & 0x7F) << 7;
      }
      Push(command);
    }
    wake = wake_;
  }
  if (wake) wake();
  return true;
}

void ClockFollower::Push(const FollowCommand& command) {
  if (commandCount_ == commands_.size()) {
    // Nobody is taking them (the engine is not following): the oldest go.
    firstCommand_ = (firstCommand_ + 1) % commands_.size();
    --commandCount_;
  }
  commands_[(firstCommand_ + commandCount_) % commands_.size()] = command;
  ++commandCount_;
}

bool ClockFollower::TakeCommand(FollowCommand& command) {
  std::scoped_lock lock(mutex_);
  if (commandCount_ == 0) return false;
  command = commands_[firstCommand_];
  firstCommand_ = (firstCommand_ + 1) % commands_.size();
  --commandCount_;
  return true;
}

void ClockFollower::SetEnabled(bool enabled) {
  std::scoped_lock lock(mutex_);
  if (enabled && !enabled_) {
    loop_.Reset();
    commandCount_ = 0;
  }
  enabled_ = enabled;
}

bool ClockFollower::Enabled() const {
  std::scoped_lock lock(mutex_);
  return enabled_;
}

void ClockFollower::SetRaw(bool raw) {
  std::scoped_lock lock(mutex_);
  raw_ = raw;
}

void ClockFollower::SetWake(std::function<void()> wake) {
  std::scoped_lock lock(mutex_);
  wake_ = std::move(wake);
}

int64_t ClockFollower::Clocks() const {
  std::scoped_lock lock(mutex_);
  return clocks_;
}

bool ClockFollower::Place(double clock, std::chrono::nanoseconds lead, MidiTime now, ClockPlace& place) const {
  std::scoped_lock lock(mutex_);
  if (loop_.Count() == 0) return false;
  const int64_t last = clocks_ - 1;
  const auto arrival = [&](int64_t n) { return arrivals_[size_t(n % int64_t(arrivals_.size()))]; };
  const double lastInterval = clocks_ >= 2 && loop_.Count() >= 2 ? double(arrival(last) - arrival(last - 1)) : 0;
  if (raw_ || !loop_.Locked()) {
    // Only clocks that have come: at their own arrival (between two, in proportion).
    if (clock > double(last)) return false;
    const int64_t whole = int64_t(std::floor(clock));
    const double from = last - whole < int64_t(arrivals_.size())
                            ? double(arrival(whole))
                            : double(arrival(last)) - double(last - whole) * lastInterval;
    place.timeNs = int64_t(std::llround(from + (clock - double(whole)) * lastInterval));
    place.periodNs = raw_ ? lastInterval : loop_.Period();
    return true;
  }
  const double period = loop_.Period();
  const double reach = 1 + std::ceil((double(lead.count()) + PredictionSlackNs) / period);
  if (clock > double(last) + reach) return false;
  // The next clock overdue by more than the input's delivery could explain: the master has paused.
  if (clock > double(last) && double(ToNs(now)) > loop_.TimeAfterLast(1) + period / 2 + double(lead.count()))
    return false;
  place.timeNs = int64_t(std::llround(loop_.TimeAfterLast(clock - double(last))));
  place.periodNs = period;
  return true;
}

MidiTime ClockFollower::Deadline(MidiTime since) const {
  std::scoped_lock lock(mutex_);
  if (loop_.Count() == 0 || loop_.Period() <= 0) return MidiTime::max();  // a lock anew keeps the period
  const int64_t from = std::max(loop_.LastArrival(), ToNs(since));
  return FromNs(from + int64_t(std::llround(loop_.Period() * ClocksPerBeat * GapBeats)));
}

double ClockFollower::Tempo(MidiTime now) const {
  std::scoped_lock lock(mutex_);
  if (!enabled_ || loop_.Count() == 0 || loop_.Period() <= 0) return 0;
  if (double(ToNs(now) - loop_.LastArrival()) > loop_.Period() * ClocksPerBeat * GapBeats) return 0;
  return 60e9 / (loop_.Period() * ClocksPerBeat);
}

ClockLoop ClockFollower::Loop() const {
  std::scoped_lock lock(mutex_);
  return loop_;
}

}  // namespace varnel
