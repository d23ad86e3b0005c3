// Shared pieces of the MIDI timing benchmark: a JACK server of its own, busy processes that load
// every core, and the statistics of deviations.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace varnel::bench {

// A JACK server on the dummy driver (realtime, 48 kHz) with the given period, under a name of its
// own; JACK_DEFAULT_SERVER points at it while it runs. The benchmark waits for the JACK tests (and
// they for it) through their lock, test::JackTestLock.
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

// One busy-looping child process per core while alive. At the idle priority they only keep the
// cores awake: everything else runs first.
class CpuLoad {
 public:
  explicit CpuLoad(int processes, bool idlePriority = false);
  ~CpuLoad();

 private:
  std::vector<pid_t> children_;
};

struct Deviation {
  size_t count = 0;                  // gaps measured
  size_t spanningXruns = 0;          // gaps left out: an xrun of the server fell in them
  double p50 = 0, p99 = 0, max = 0;  // of |interval - expected| over the gaps measured, in frames
  double maxAll = 0;                 // the same over every gap, the left-out ones included
  double mean = 0;                   // mean gap over the gaps measured
};

// Deviations of the gaps between consecutive frames from `expected` frames. The dummy driver's
// frame clock stops for as long as a cycle was late (it restarts its timeline after an xrun), so a
// gap within `margin` frames of an xrun says nothing about where the messages were placed: such
// gaps are counted apart.
Deviation IntervalDeviation(const std::vector<int64_t>& frames, double expected,
                            const std::vector<int64_t>& xruns = {}, int64_t margin = 0);

// How far around a reported xrun gaps are left out, in frames: JACK reports an xrun a few cycles
// after it, and a long stall throws its frame estimate off further.
inline int64_t XrunMargin(int period) { return period * 8 > 1024 ? period * 8 : 1024; }

// The synth part: the embedded synth on JACK audio, a click every row, onsets in the recording.
void RunSynthOnsets(int period, bool loaded, bool quick);

}  // namespace varnel::bench
