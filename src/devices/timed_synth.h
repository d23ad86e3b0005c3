// The embedded synth in a real-time audio callback, with every event placed by its intended time
// instead of at the start of whatever buffer comes next. Events arrive through a lock-free queue;
// the callback maps times to frames with a delay-locked loop on its own call times (one buffer
// of latency), renders up to each event's place, applies it and renders on.
//
// FluidSynth takes events only between its 64-frame blocks: an event goes at the block boundary
// nearest its frame, so it lands within 32 frames of its time, never a whole buffer late.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "midi/midi_output.h"
#include "midi/timed_queue.h"

namespace varnel {

class GmSynth;

// Filters the call times of a periodic callback into a smooth time base (the classic second-order
// delay-locked loop): where the current buffer really starts, and the rate in frames per second.
class CallbackClock {
 public:
  explicit CallbackClock(double bandwidthHz = 1.0) : bandwidth_(bandwidthHz) {}
  // At each callback, with the time it began and the frames it renders; `nominalRate` seeds the loop.
  void Update(int64_t nowNs, int frames, double nominalRate);
  int64_t BufferStartNs() const { return t0_; }
  double FramesPerNs() const { return period_ > 0 ? frames_ / period_ : 0; }
  bool Locked() const { return started_; }
  int Resets() const { return resets_; }

 private:
  double bandwidth_;
  bool started_ = false;
  int64_t t0_ = 0;      // filtered time of this buffer
  double t1_ = 0;       // predicted time of the next
  double period_ = 0;   // filtered buffer duration, ns
  double frames_ = 0;
  int resets_ = 0;
};

class TimedSynth {
 public:
  static constexpr int BlockFrames = 64;  // FluidSynth's event granularity

  TimedSynth(GmSynth& synth, double sampleRate);

  // Any thread.
  // The latency offset applies to what is pushed from then on.
  void Push(const ShortMessage& message, MidiTime when) { queue_.Push(message, when, LatencyOffset()); }
  void CancelAfter(MidiTime after) { queue_.CancelAfter(after, LatencyOffset()); }
  void SetLatencyOffset(std::chrono::nanoseconds offset) { offsetNs_.store(offset.count(), std::memory_order_relaxed); }
  std::chrono::nanoseconds LatencyOffset() const { return std::chrono::nanoseconds(offsetNs_.load()); }
  void SetSampleRate(double rate) { rate_.store(rate, std::memory_order_relaxed); }

  // The audio callback: renders `frames` frames; `now` is when the callback began. No lock (but
  // FluidSynth's own, which only this thread takes), no allocation.
  void Render(float* left, float* right, int frames, MidiTime now);

  const CallbackClock& Clock() const { return clock_; }  // the audio thread's

 private:
  GmSynth& synth_;
  TimedMessageQueue queue_{4096};
  CallbackClock clock_;
  std::atomic<double> rate_;
  std::atomic<int64_t> offsetNs_{0};
  int64_t rendered_ = 0;  // frames rendered since the synth was made: FluidSynth's block phase
};

}  // namespace varnel
