#include "midi/timed_queue.h"

#include <algorithm>
#include <thread>

namespace varnel {

TimedMessageQueue::TimedMessageQueue(size_t capacity) : ring_(capacity), pending_(capacity) {}

bool TimedMessageQueue::Push(const ShortMessage& message, MidiTime when, std::chrono::nanoseconds shift) {
  std::scoped_lock lock(producerMutex_);
  const int64_t ns = ToNs((when == SendNow ? MidiClock::now() : when) + shift);
  if (ring_.Push(Entry{ns, message, false})) return true;
  lost_.fetch_add(1, std::memory_order_relaxed);
  return false;
}

void TimedMessageQueue::CancelAfter(MidiTime after, std::chrono::nanoseconds shift) {
  std::scoped_lock lock(producerMutex_);
  const int64_t ns = ToNs((after == SendNow ? MidiClock::now() : after) + shift);
  // A full ring empties within a cycle or two while the consumer runs; one that stays full has lost
  // its consumer, and then nothing is delivered anyway.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (ring_.Push(Entry{ns, {}, true})) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  lost_.fetch_add(1, std::memory_order_relaxed);
}

bool TimedMessageQueue::Insert(const TimedMessage& message) {
  if (end_ == pending_.size()) {
    if (begin_ == 0) return false;
    std::copy(pending_.begin() + long(begin_), pending_.begin() + long(end_), pending_.begin());
    end_ -= begin_;
    begin_ = 0;
  }
  // Messages mostly come in time order: the place is found from the back.
  size_t at = end_;
  while (at > begin_ && pending_[at - 1].timeNs > message.timeNs) --at;
  std::copy_backward(pending_.begin() + long(at), pending_.begin() + long(end_), pending_.begin() + long(end_ + 1));
  pending_[at] = message;
  ++end_;
  return true;
}

void TimedMessageQueue::Collect() {
  while (const Entry* entry = ring_.Front()) {
    if (entry->cancel) {
      // Everything pending was pushed before the cancel; the later ones are a suffix.
      while (end_ > begin_ && pending_[end_ - 1].timeNs > entry->timeNs) --end_;
    } else if (!Insert(TimedMessage{entry->timeNs, entry->message})) {
      return;  // full: the rest waits in the ring for the next call
    }
    ring_.Skip();
  }
}

}  // namespace varnel
