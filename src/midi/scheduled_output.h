// For outputs that can only send at once (RtMidi's ports): messages meant for later, such as the
// MIDI clocks between two rows, wait in a queue and a thread of their own sends each at its time.
// Messages that are due go straight through, as before.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "midi/midi_output.h"

namespace varnel {

class ScheduledOutput final : public MidiOutput {
 public:
  // `due`: a message at most this far in the future counts as due.
  explicit ScheduledOutput(std::unique_ptr<MidiOutput> inner,
                           std::chrono::nanoseconds due = std::chrono::microseconds(100));
  ~ScheduledOutput() override;  // what still waits is not sent

  void Send(const ShortMessage& message, MidiTime when) override;
  void CancelAfter(MidiTime after) override;
  bool HoldsMessages() const override { return true; }
  std::string Lost() const override { return inner_->Lost(); }
  size_t Waiting() const;

 private:
  struct Item {
    MidiTime when;
    ShortMessage message;
  };
  void Run();

  std::unique_ptr<MidiOutput> inner_;
  const std::chrono::nanoseconds due_;
  mutable std::mutex mutex_;  // guards the queue and every send to the inner output
  std::condition_variable changed_;
  std::deque<Item> queue_;  // in time order
  bool quit_ = false;
  std::thread thread_;  // started with the first message for later
};

}  // namespace varnel
