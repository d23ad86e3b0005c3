// Shared pieces of the MIDI timing benchmark: a JACK server of its own, busy processes that load
// every core, and the statistics of deviations.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace varnel::bench {

// A JACK server on the dummy driver (realtime, 48 kHz) with the given period, under a name of its
// own; JACK_DEFAULT_SERVER points at it while it runs.
class BenchJackServer {
 public:
  ~BenchJackServer() { Stop(); }
  bool Start(int period);
  void Stop();
  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// One busy-looping child process per core while alive.
class CpuLoad {
 public:
  explicit CpuLoad(int processes);
  ~CpuLoad();

 private:
  std::vector<pid_t> children_;
};

// JACK names a client's socket after the client alone: the benchmark waits for the JACK tests
// (and they for it) through the tests' own lock.
class JackLock {
 public:
  JackLock();
  ~JackLock();

 private:
  int fd_ = -1;
};

struct Deviation {
  size_t count = 0;
  double p50 = 0, p99 = 0, max = 0;  // of |interval - expected|, in frames
};

// Deviations of the gaps between consecutive frames from `expected` frames.
Deviation IntervalDeviation(const std::vector<int64_t>& frames, double expected);

// The synth part: the embedded synth on JACK audio, a click every row, onsets in the recording.
void RunSynthOnsets(int period, bool loaded, bool quick);

}  // namespace varnel::bench
