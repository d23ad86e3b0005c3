// Between JACK's frame clock and MidiClock, for the JACK clients of this folder (not installed with
// the public headers: it needs libjack's).
#pragma once

#include <jack/jack.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "midi/timed_queue.h"

namespace varnel {

// MidiClock nanoseconds minus JACK's clock (microseconds) in nanoseconds, from the closest of a
// few paired readings. The two clocks are the same monotonic clock on Linux; this keeps the
// mapping right where they are not.
inline int64_t MeasureJackClockOffset() {
  int64_t best = 0, span = std::numeric_limits<int64_t>::max();
  for (int i = 0; i < 9; ++i) {
    const int64_t before = ToNs(MidiClock::now());
    const int64_t jack = int64_t(jack_get_time()) * 1000;
    const int64_t after = ToNs(MidiClock::now());
    if (after - before < span) {
      span = after - before;
      best = (before + after) / 2 - jack;
    }
  }
  return best;
}

// The cycle being processed as JACK's delay-locked loop sees it.
struct JackCycle {
  int64_t startNs = 0;       // MidiClock time of the cycle's first frame
  double framesPerNs = 0;    // the sample rate
  uint32_t frames = 0;       // frames in the cycle
  uint32_t firstFrame = 0;   // JACK's frame count at the cycle's first frame

  // Where a time falls, in frames from the cycle's first frame (fractional, may be outside).
  double Position(int64_t ns) const { return double(ns - startNs) * framesPerNs; }
  // The time of a position in frames from the cycle's first frame.
  int64_t Time(double position) const { return startNs + int64_t(std::llround(position / framesPerNs)); }
};

// Process callback only. False when JACK has no estimate yet. Within a cycle frames follow the
// nominal rate: JACK's estimate of the period wobbles with the wake-ups, the sample clock does not.
inline bool CurrentJackCycle(jack_client_t* client, jack_nframes_t frames, double sampleRate, int64_t clockOffsetNs,
                             JackCycle& cycle) {
  jack_nframes_t first = 0;
  jack_time_t usecs = 0, next = 0;
  float period = 0;
  if (jack_get_cycle_times(client, &first, &usecs, &next, &period) != 0 || sampleRate <= 0 || frames == 0) return false;
  cycle.startNs = int64_t(usecs) * 1000 + clockOffsetNs;
  cycle.framesPerNs = sampleRate / 1e9;
  cycle.frames = frames;
  cycle.firstFrame = first;
  return true;
}

// A client of the current server that never starts one; null when none runs.
inline jack_client_t* OpenJackClient(const std::string& name, const std::string& server) {
  jack_status_t status{};
  return jack_client_open(name.c_str(), jack_options_t(JackNoStartServer | JackServerName), &status, server.c_str());
}

}  // namespace varnel
