#include "midi/scheduled_output.h"

#include <algorithm>

#include "midi/row_clock.h"

namespace varnel {

ScheduledOutput::ScheduledOutput(std::unique_ptr<MidiOutput> inner, std::chrono::nanoseconds due)
    : inner_(std::move(inner)), due_(due) {}

ScheduledOutput::~ScheduledOutput() {
  {
    std::scoped_lock lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ScheduledOutput::Send(const ShortMessage& message, MidiTime when) {
  std::unique_lock lock(mutex_);
  const MidiTime now = MidiClock::now();
  // Due now and nothing earlier waiting: straight through.
  if ((when == SendNow || when <= now + due_) && (queue_.empty() || queue_.front().when > now + due_)) {
    inner_->Send(message, SendNow);
    return;
  }
  const MidiTime at = when == SendNow ? now : when;
  auto place = std::upper_bound(queue_.begin(), queue_.end(), at, [](MidiTime t, const Item& item) { return t < item.when; });
  const bool first = place == queue_.begin();
  queue_.insert(place, Item{at, message});
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      // No thread: what waits goes out with the next message that is sent.
    }
  }
  lock.unlock();
  if (first) changed_.notify_all();
}

void ScheduledOutput::CancelAfter(MidiTime after) {
  std::scoped_lock lock(mutex_);
  const MidiTime limit = after == SendNow ? MidiClock::now() : after;
  std::erase_if(queue_, [&](const Item& item) { return item.when > limit; });
}

size_t ScheduledOutput::Waiting() const {
  std::scoped_lock lock(mutex_);
  return queue_.size();
}

void ScheduledOutput::Run() {
  RaiseThreadToRealTime();
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (queue_.empty()) {
      changed_.wait(lock);
      continue;
    }
    const MidiTime next = queue_.front().when;
    if (next > MidiClock::now()) {
      changed_.wait_until(lock, next);  // an absolute wait on the monotonic clock
      continue;
    }
    const ShortMessage message = queue_.front().message;
    queue_.pop_front();
    inner_->Send(message, SendNow);
  }
}

}  // namespace varnel
