// The clock that plays one row per tick. The real clock is a thread of its own that sleeps to
// absolute deadlines, so rows never drift; the manual clock lets tests and offline rendering step
// row by row with no thread at all.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "midi/midi_output.h"

namespace varnel {

using RowPeriod = std::chrono::nanoseconds;

// 60 s / BPM / SPD, exactly; zero tempo or speed count as one.
RowPeriod RowPeriodFor(int bpm, int spd);

class RowClock {
 public:
  // Called for each row with the row's intended time.
  using Tick = std::function<void(MidiTime deadline)>;

  virtual ~RowClock() = default;
  // UI thread. The first tick comes one period from now. False when no clock could be started.
  virtual bool Start(RowPeriod period, Tick tick) = 0;
  // Any thread, the tick included: the next row comes one new period after the last one.
  virtual void SetPeriod(RowPeriod period) = 0;
  // UI thread, never the tick. When Stop returns, no tick runs and none will.
  virtual void Stop() = 0;
  virtual bool Running() const = 0;
  // The time on this clock's timeline (MidiClock's, or a virtual one).
  virtual MidiTime Now() const { return MidiClock::now(); }
  // Any thread: each tick runs this long before its deadline (still handing over the deadline), for
  // outputs that place messages at their time and need them early (MidiOutput::Lead).
  virtual void SetLead(RowPeriod lead) { (void)lead; }

  // Instead of rows one period apart, a step that decides what is due (a followed MIDI clock): the
  // clock runs it at once, then whenever the time it returned comes, or earlier after Wake.
  // MidiTime::max() waits for Wake alone. UI thread, like Start; Stop ends it the same way.
  using Step = std::function<MidiTime(MidiTime now)>;
  virtual bool StartStepping(Step step) = 0;
  // Any thread: the step runs again soon (what it waits for may have come).
  virtual void Wake() = 0;
};

// Raises the calling thread to real-time priority where the system grants it (true), and asks for
// the finest timer slack either way.
bool RaiseThreadToRealTime(int priority = 80);

// A real-time thread on the monotonic clock: absolute sleeps, SCHED_FIFO where granted, otherwise
// normal priority with 1 ns timer slack.
class ThreadRowClock final : public RowClock {
 public:
  ThreadRowClock();
  ~ThreadRowClock() override;
  bool Start(RowPeriod period, Tick tick) override;
  void SetPeriod(RowPeriod period) override;
  void Stop() override;
  bool Running() const override;
  void SetLead(RowPeriod lead) override;
  bool StartStepping(Step step) override;
  void Wake() override;

  // Whether the last started thread runs with real-time priority.
  bool RealTime() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

// Ticks only when told: Advance plays one row at the next deadline of a virtual timeline. A step
// runs when AdvanceTo passes the time it asked for, or at the current time after Wake.
class ManualRowClock final : public RowClock {
 public:
  explicit ManualRowClock(MidiTime origin = MidiTime{} + std::chrono::hours(1)) : now_(origin) {}
  bool Start(RowPeriod period, Tick tick) override;
  void SetPeriod(RowPeriod period) override { period_ = period; }
  void Stop() override { running_ = false; step_ = nullptr; }
  bool Running() const override { return running_; }
  void SetLead(RowPeriod lead) override { lead_ = lead; }
  bool StartStepping(Step step) override;
  void Wake() override { woken_ = true; }
  RowPeriod Lead() const { return lead_; }

  // Moves the virtual time to the next deadline and runs the tick there (stepping: the next step);
  // false when stopped.
  bool Advance();
  // Stepping: moves the virtual time to `time`, running every step due on the way.
  void AdvanceTo(MidiTime time);
  MidiTime Now() const override { return now_; }
  RowPeriod Period() const { return period_; }
  bool Stepping() const { return step_ != nullptr; }

 private:
  Tick tick_;
  Step step_;
  RowPeriod period_{};
  RowPeriod lead_{};
  MidiTime now_;
  MidiTime next_ = MidiTime::max();  // when the step wants to run
  bool running_ = false;
  bool woken_ = false;
};

}  // namespace varnel
