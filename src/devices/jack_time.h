// Between JACK's frame clock and MidiClock, and the opening, connecting and closing that the JACK
// clients of this folder share (not installed with the public headers: it needs libjack's).
#pragma once

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "devices/jack_server.h"
#include "midi/timed_queue.h"
#include "song/reporter.h"

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

  // Where a time falls, in frames from the cycle's first frame (fractional, may be outside).
  double Position(int64_t ns) const { return double(ns - startNs) * framesPerNs; }
  // The time of a position in frames from the cycle's first frame.
  int64_t Time(double position) const { return startNs + int64_t(std::llround(position / framesPerNs)); }
};

// How late a client's process callback wakes after its cycle began, by JACK's own account of the
// cycle's start, averaged. Clients wake one after another through the graph: each frame clock
// counts from its wake-ups less this, so that an input and an output map a frame to the same time
// and a message answered at the moment it arrived goes out at the frame it came in on. JACK's
// figure itself moves after an xrun: samples far off are left out. Process callback only.
class JackWakeLateness {
 public:
  explicit JackWakeLateness(int64_t clockOffsetNs = MeasureJackClockOffset()) : clockOffsetNs_(clockOffsetNs) {}
  // The wake-up time less the lateness.
  int64_t Adjust(jack_client_t* client, int64_t wakeNs) {
    jack_nframes_t first = 0;
    jack_time_t usecs = 0, next = 0;
    float period = 0;
    if (jack_get_cycle_times(client, &first, &usecs, &next, &period) == 0) {
      const double late = double(wakeNs - (int64_t(usecs) * 1000 + clockOffsetNs_));
      if (late >= 0 && late < 2e6 && (samples_ < 16 || std::abs(late - mean_) < 250'000))
        mean_ += (late - mean_) / double(samples_ < 64 ? ++samples_ : 64);
    }
    return wakeNs - int64_t(std::llround(mean_));
  }

 private:
  int64_t clockOffsetNs_;
  double mean_ = 0;
  int samples_ = 0;
};

// Where the server's frames fall on MidiClock, from when the process callback runs: a second-order
// delay-locked loop over the callback's wake-up times, for the outputs. JACK's own loop converges
// slowly after the frame clock has jumped (an xrun; with the dummy driver, any cycle that came
// too late), which would drift every message placed meanwhile; here a wake-up far off the
// prediction is left out, and only several in a row at the same new phase move the clock there
// at once. The rate follows the sample clock's own, so rows can be stretched to whole frames.
// Process callback only.
class JackFrameClock {
 public:
  // At each cycle: when the callback began (MidiClock ns) and JACK's frame count at its first frame.
  void Update(int64_t wakeNs, uint32_t frame, uint32_t frames, double sampleRate) {
    if (sampleRate <= 0 || frames == 0) return;
    const double nominal = 1e9 / sampleRate;
    if (!ready_ || std::abs(nsPerFrame_ / nominal - 1) > 0.02) {
      ready_ = true;
      nsPerFrame_ = nominal;
      anchorNs_ = double(wakeNs);
      anchorFrame_ = frame;
      return;
    }
    const double predicted = AnchoredTime(frame);
    const double error = double(wakeNs) - predicted;
    anchorFrame_ = frame;
    anchorNs_ = predicted;
    if (std::abs(error) <= Tolerance) {
      outliers_ = strays_ = 0;
      const double omega = 2 * M_PI * Bandwidth * double(frames) / sampleRate;
      anchorNs_ += std::sqrt(2.0) * omega * error;
      nsPerFrame_ += omega * omega * error / double(frames);
      return;
    }
    outliers_ = outliers_ > 0 && std::abs(error - lastError_) <= Tolerance ? outliers_ + 1 : 1;
    lastError_ = error;
    // Wake-ups scattered too widely to agree still tell where the cycles begin: none wakes before
    // its cycle, so the earliest of a run that all missed the prediction is the new phase.
    const int side = error > 0 ? 1 : -1;
    if (strays_ == 0 || side != straySide_) {
      strays_ = 0;
      straySide_ = side;
      strayMinimum_ = error;
    }
    strayMinimum_ = std::min(strayMinimum_, error);
    ++strays_;
    if (outliers_ >= 4) {  // the frame clock has jumped
      anchorNs_ = double(wakeNs);
      outliers_ = strays_ = 0;
    } else if (strays_ >= StrayCycles) {
      anchorNs_ += strayMinimum_;
      outliers_ = strays_ = 0;
    }
  }
  bool Ready() const { return ready_; }
  // The MidiClock time of a frame near the last update.
  int64_t TimeOf(uint32_t frame) const { return int64_t(std::llround(AnchoredTime(frame))); }
  double FramesPerNs() const { return 1.0 / nsPerFrame_; }
  // How long a second of the sample clock lasts on MidiClock.
  double Ratio(double sampleRate) const { return ready_ ? nsPerFrame_ * sampleRate / 1e9 : 1.0; }

 private:
  static constexpr double Bandwidth = 0.5;       // Hz
  static constexpr double Tolerance = 250'000;  // ns: the wake-up jitter of a loaded machine
  double AnchoredTime(uint32_t frame) const { return anchorNs_ + double(int32_t(frame - anchorFrame_)) * nsPerFrame_; }

  bool ready_ = false;
  double anchorNs_ = 0;
  uint32_t anchorFrame_ = 0;
  double nsPerFrame_ = 0;
  int outliers_ = 0;
  double lastError_ = 0;
  static constexpr int StrayCycles = 12;
  int strays_ = 0, straySide_ = 0;  // cycles in a row off the prediction on one side
  double strayMinimum_ = 0;
};

// A client of the current server that never starts one; null when none runs.
inline jack_client_t* OpenJackClient(const std::string& name, const std::string& server) {
  jack_status_t status{};
  return jack_client_open(name.c_str(), jack_options_t(JackNoStartServer | JackServerName), &status, server.c_str());
}

// What a client tells the device session: its server stopping, ports coming and going. After
// `dead` is set the client is libjack's to delete, even under the callback: never touched again.
struct JackClientWatch {
  std::atomic<bool> dead{false};
  std::shared_ptr<DeviceNews> news;

  // Before activation; `ports`: also when any port of the server comes or goes.
  void Watch(jack_client_t* client, bool ports = true) {
    jack_on_info_shutdown(client, &JackClientWatch::Shutdown, this);
    if (ports) jack_set_port_registration_callback(client, &JackClientWatch::PortRegistered, this);
  }

 private:
  // JACK's notification thread.
  static void Shutdown(jack_status_t, const char*, void* arg) {
    auto* c = static_cast<JackClientWatch*>(arg);
    const auto told = c->news;  // once `dead` is set this may be deleted
    c->dead = true;
    if (told) told->Tell();
  }
  static void PortRegistered(jack_port_id_t, int, void* arg) {
    auto* c = static_cast<JackClientWatch*>(arg);
    if (c->news) c->news->Tell();
  }
};

// Closes a client, unless its server has gone (`dead`: its shutdown callback said so). libjack
// deletes such a client when the process opens its next one; closing it then would crash. No probe
// of the server here: opening one would be that next client.
inline void CloseJackClient(jack_client_t* client, const std::string& server, bool dead) {
  if (!client) return;
  if (dead) {
    Trace("JACK server ", server, " has gone; libjack frees Varnel's client");
    return;
  }
  jack_deactivate(client);
  jack_client_close(client);
}

// Closes a client and lets go of what its callbacks reach. Once its server has gone, libjack's
// thread for it may still call them (another client's port going away): what they reach stays for
// the rest of the run, a few hundred bytes per server stop.
template <class Client>
void CloseJackClient(std::unique_ptr<Client>& owner) {
  CloseJackClient(owner->client, owner->server, owner->dead);
  if (owner->dead) KeepForever(owner.release());
}

// Connects two ports by full name; true also when they already were.
inline bool ConnectJackPorts(jack_client_t* client, const char* from, const char* to) {
  const int r = jack_connect(client, from, to);
  return r == 0 || r == EEXIST;
}

}  // namespace varnel
