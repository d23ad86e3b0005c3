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
  // Any thread: each tick runs this long before its deadline (still handing over the deadline), for
  // outputs that place messages at their time and need them early (MidiOutput::Lead).
  virtual void SetLead(RowPeriod lead) { (void)lead; }
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

  // Whether the last started thread runs with real-time priority.
  bool RealTime() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

// Ticks only when told: Advance plays one row at the next deadline of a virtual timeline.
class ManualRowClock final : public RowClock {
 public:
  explicit ManualRowClock(MidiTime origin = MidiTime{} + std::chrono::hours(1)) : now_(origin) {}
  bool Start(RowPeriod period, Tick tick) override;
  void SetPeriod(RowPeriod period) override { period_ = period; }
  void Stop() override { running_ = false; }
  bool Running() const override { return running_; }
  void SetLead(RowPeriod lead) override { lead_ = lead; }
  RowPeriod Lead() const { return lead_; }

  // Moves the virtual time to the next deadline and runs the tick there; false when stopped.
  bool Advance();
  MidiTime Now() const { return now_; }
  RowPeriod Period() const { return period_; }

 private:
  Tick tick_;
  RowPeriod period_{};
  RowPeriod lead_{};
  MidiTime now_;
  bool running_ = false;
};

}  // namespace varnel
