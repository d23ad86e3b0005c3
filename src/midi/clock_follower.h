// Following an external MIDI clock. What the input device brings (clocks with the times the device
// layer stamped on them, Start, Continue, Stop and Song Position Pointer) is taken in here on the
// input's thread; the playback engine, on its row clock, asks where the master's clocks fall and
// takes the transport commands in the order they came.
//
// Clocks are numbered from the first one the follower took, for as long as it lives; a command
// carries the number of clocks that had come before it, so the engine can tell which clock a Start
// or a Stop belongs to however late it looks.
//
// Threads: Receive on the input's thread; the rest from any thread (one mutex, held briefly).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "midi/clock_loop.h"
#include "midi/midi_output.h"

namespace varnel {

inline constexpr int ClocksPerBeat = 24;

struct FollowCommand {
  enum class Kind : uint8_t { Start, Continue, Stop, Position };
  Kind kind = Kind::Stop;
  int sixteenths = 0;  // Position: the Song Position Pointer, in sixteenth notes
  int64_t clocks = 0;  // clocks that had come when the command came
  int64_t timeNs = 0;  // when it came
};

// Where a clock falls, as far as is known.
struct ClockPlace {
  int64_t timeNs = 0;
  double periodNs = 0;  // the distance of two clocks there
};

class ClockFollower {
 public:
  // Input thread. True when the message is the follower's and must go nowhere else: while enabled,
  // MIDI clock, Start, Continue, Stop and Song Position Pointer.
  bool Receive(const ShortMessage& message, MidiTime when);

  // Whether incoming clock is taken at all. Turning it on starts afresh.
  void SetEnabled(bool enabled);
  bool Enabled() const;
  // Rows at the raw arrivals of their clocks instead of the loop's predictions: what following
  // without the loop would do, for comparison (the benchmark).
  void SetRaw(bool raw);
  // Runs after each message taken in, outside the lock (the row clock wakes to look). Set it before
  // the input opens.
  void SetWake(std::function<void()> wake);

  // The oldest command not taken yet; false when there is none.
  bool TakeCommand(FollowCommand& command);
  // Clocks that have come so far.
  int64_t Clocks() const;
  // Where clock number `clock` falls (fractions lie between clocks), asked at `now`. False while
  // that cannot be told yet: no lock, further beyond the last clock than a prediction may reach for
  // an engine that works `lead` ahead of its rows, or the next clock is overdue (the master paused
  // its clock); raw: until the clock itself has come.
  bool Place(double clock, std::chrono::nanoseconds lead, MidiTime now, ClockPlace& place) const;
  // The time by which the next clock must come before following stops: two beats after the later of
  // the last clock and `since`. MidiTime::max() while no tempo is known.
  MidiTime Deadline(MidiTime since) const;

  // The tempo followed, in BPM, or 0 when no clock has come within the last two beats.
  double Tempo(MidiTime now) const;
  // The loop's own figures (tests, benchmark).
  ClockLoop Loop() const;

 private:
  void Push(const FollowCommand& command);

  mutable std::mutex mutex_;
  bool enabled_ = false;
  bool raw_ = false;
  ClockLoop loop_;
  int64_t clocks_ = 0;
  std::array<int64_t, 4> arrivals_{};  // raw arrival times of the last clocks, by number % 4
  std::array<FollowCommand, 32> commands_{};
  size_t firstCommand_ = 0, commandCount_ = 0;
  std::function<void()> wake_;
};

}  // namespace varnel
