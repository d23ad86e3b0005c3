// An ALSA sequencer output that schedules every message on a sequencer queue running on real time,
// at the message's intended time: the kernel delivers it then, independent of the row clock's
// wake-up. The sequencer calls sit behind AlsaSequencer, so the scheduling is tested with a fake.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "midi/midi_output.h"

namespace varnel {

// How early a message should reach the queue: the row clock's wake-up latency, with room to spare.
inline constexpr std::chrono::nanoseconds AlsaScheduleMargin = std::chrono::milliseconds(8);

// The sequencer, reduced to what the output does with it. Times are the queue's real time in
// nanoseconds since the queue started.
class AlsaSequencer {
 public:
  virtual ~AlsaSequencer() = default;
  // A client "Varnel" with an output port connected to client:port and a started queue; a code of
  // device_results.h.
  virtual int Open(int client, int port) = 0;
  virtual int64_t QueueTimeNs() = 0;
  // Schedules a message at an absolute queue time (one already past is delivered at once). False
  // when the sequencer refused it.
  virtual bool Schedule(const ShortMessage& message, int64_t queueNs) = 0;
  // Removes Varnel's queued events scheduled later than the time.
  virtual void RemoveAfter(int64_t queueNs) = 0;
  // Events still waiting on the queue.
  virtual int Pending() = 0;
};

// The real sequencer; null where this build has no ALSA.
std::unique_ptr<AlsaSequencer> MakeAlsaSequencer();

// "client:port" at the end of a port name as RtMidi lists ALSA ports ("Midi Through:Midi Through
// Port-0 14:0"). False when the name ends otherwise.
bool ParseAlsaAddress(const std::string& name, int& client, int& port);

class AlsaSeqOutput final : public MidiOutput {
 public:
  // Takes an opened sequencer.
  explicit AlsaSeqOutput(std::unique_ptr<AlsaSequencer> sequencer);
  ~AlsaSeqOutput() override;  // lets what is queued go out first (briefly)

  void Send(const ShortMessage& message, MidiTime when) override;
  std::chrono::nanoseconds Lead() const override;
  void SetLatencyOffset(std::chrono::nanoseconds offset) override;
  void CancelAfter(MidiTime after) override;
  bool HoldsMessages() const override { return true; }

  // The queue is started on a clock of its own: its offset from MidiClock is measured again after
  // this long, so that a drift never adds up.
  static constexpr std::chrono::seconds ResyncInterval{1};

 private:
  int64_t QueueTime(MidiTime when);  // with mutex_ held
  void Resync();

  mutable std::mutex mutex_;
  std::unique_ptr<AlsaSequencer> sequencer_;
  int64_t anchorNs_ = 0;  // MidiClock nanoseconds at queue time 0
  MidiTime lastSync_{};
  int64_t offsetNs_ = 0;
};

// Opens the ALSA port a listed name denotes, with its own scheduling queue. Null with a code of
// device_results.h when the name is not an ALSA address or there is no sequencer.
std::unique_ptr<MidiOutput> OpenAlsaSeqOutput(const std::string& listedName, int& result);

}  // namespace varnel
