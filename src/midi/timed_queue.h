// Messages with their intended times on their way from the sending threads (the row clock, the UI)
// to a real-time callback that places each one at its time: a JACK cycle, an audio buffer.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "midi/midi_output.h"
#include "midi/spsc_ring.h"

namespace varnel {

// A time on MidiClock as nanoseconds since the clock's epoch, and back.
inline int64_t ToNs(MidiTime time) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}
inline MidiTime FromNs(int64_t ns) { return MidiTime(std::chrono::nanoseconds(ns)); }

struct TimedMessage {
  int64_t timeNs = 0;
  ShortMessage message;
};

class TimedMessageQueue {
 public:
  explicit TimedMessageQueue(size_t capacity = 4096);

  // Producers, any thread: they take a mutex among themselves, which the consumer never takes.
  // SendNow stands for the moment of the call; `shift` is added to the time (a device's latency
  // offset). False when the queue is full and the message lost.
  bool Push(const ShortMessage& message, MidiTime when, std::chrono::nanoseconds shift = {});
  // The messages pushed before this call whose time is later than `after` (+ `shift`) are never
  // delivered.
  void CancelAfter(MidiTime after, std::chrono::nanoseconds shift = {});
  uint64_t Lost() const { return lost_.load(std::memory_order_relaxed); }

  // Consumer, the real-time side: no lock, no allocation.
  // Takes over what the producers pushed; the pending messages stay in time order, and messages of
  // equal time in the order they were pushed.
  void Collect();
  bool Empty() const { return begin_ == end_; }
  const TimedMessage& Front() const { return pending_[begin_]; }
  void PopFront() { ++begin_; }
  size_t PendingCount() const { return end_ - begin_; }

 private:
  struct Entry {
    int64_t timeNs;
    ShortMessage message;
    bool cancel;
  };
  bool Insert(const TimedMessage& message);

  std::mutex producerMutex_;
  SpscRing<Entry> ring_;
  std::atomic<uint64_t> lost_{0};
  std::vector<TimedMessage> pending_;  // [begin_, end_) in time order; never grows
  size_t begin_ = 0, end_ = 0;
};

}  // namespace varnel
