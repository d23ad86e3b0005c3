// A sample-accurate MIDI clock master for the clock-following benchmark: a JACK client of its own
// that writes Start, the clocks and Stop on port "clock" at the frames of a schedule, and on port
// "beat" a marker note (9F 00 7F) at the exact frame of each of the master's beats, jitter or not.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace varnel::bench {

struct ClockSchedule {
  // Frames from the schedule's start (the frame the source chooses when it begins).
  std::vector<int64_t> clocks;  // where each clock goes, jitter included
  std::vector<int64_t> beats;   // where each beat of the master lies, without jitter
  int64_t start = 0;            // Start (FA)
  int64_t stop = 0;             // Stop (FC), after the last clock
};

class ClockSource {
 public:
  // Null when no JACK server runs.
  static std::unique_ptr<ClockSource> Open(const std::string& clientName);
  ~ClockSource();

  std::string ClockPort() const;
  std::string BeatPort() const;
  bool ConnectBeat(const std::string& destination);
  // Plays a schedule from a few periods on; the schedule must outlive the run.
  void Play(const ClockSchedule* schedule);
  bool Finished() const { return finished_.load(std::memory_order_acquire); }

 private:
  static int Process(jack_nframes_t frames, void* arg);
  int Run(jack_nframes_t frames);

  jack_client_t* client_ = nullptr;
  jack_port_t* clock_ = nullptr;
  jack_port_t* beat_ = nullptr;
  std::atomic<const ClockSchedule*> schedule_{nullptr};
  std::atomic<bool> finished_{false};
  // Process callback only.
  const ClockSchedule* playing_ = nullptr;
  jack_nframes_t base_ = 0;
  size_t nextClock_ = 0, nextBeat_ = 0;
  bool started_ = false, stopped_ = false;
};

}  // namespace varnel::bench
