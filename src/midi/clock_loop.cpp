#include "midi/clock_loop.h"

#include <algorithm>
#include <cmath>

namespace varnel {

namespace {

// Bandwidths per clock. At 120 BPM (a clock every 20.8 ms) the narrowest is about 0.04 Hz: ±2 ms of
// random jitter leave well under 0.3 ms; the widest, about 4 Hz, holds a clean clock through ramps
// within a few tens of microseconds.
constexpr double NarrowestOmega = 0.005;
constexpr double WidestOmega = 0.5;
// What the jitter may add to a prediction at the chosen bandwidth (the loop passes about
// √(1.06·ω) of it), in nanoseconds.
constexpr double JitterAllowance = 20'000;
// A tempo change raises the bandwidth this many times, for a beat.
constexpr double BoostFactor = 32;
constexpr int BoostClocks = 24;
// Jitter and bias are averaged over this many clocks.
constexpr double JitterClocks = 48;
constexpr double BiasClocks = 12;
// Clocks further apart or closer than any master sends: 10 to 1000 BPM.
constexpr double MinimumPeriodNs = 60e9 / 1000 / 24;
constexpr double MaximumPeriodNs = 60e9 / 10 / 24;

}  // namespace

void ClockLoop::Reset() { *this = ClockLoop(); }

void ClockLoop::Arrive(int64_t ns) {
  const int64_t secondLast = beforeLast_;
  beforeLast_ = lastArrival_;
  lastArrival_ = ns;
  ++count_;
  // A lock begins with two intervals that agree: one odd interval (two clocks sent at once after a
  // stall of the master) would otherwise set an absurd tempo.
  if (count_ == 1) {
    last_ = double(ns);
    return;
  }
  const double interval = double(ns) - last_;
  if (count_ == 2) {
    candidate_ = interval;
    last_ = double(ns);
    if (interval < MinimumPeriodNs || interval > MaximumPeriodNs) count_ = 1;
    return;
  }
  if (count_ == 3) {
    last_ = double(ns);
    if (std::abs(interval - candidate_) > candidate_ / 2 || interval < MinimumPeriodNs || interval > MaximumPeriodNs) {
      candidate_ = interval;  // try again from these two clocks
      count_ = 2;
      return;
    }
    period_ = interval;  // the later one: the first may begin at an odd clock
    return;
  }
  const double predicted = last_ + period_;
  double error = double(ns) - predicted;
  if (error > period_ / 2 || error < -period_ / 2) {
    // Not the next clock: the master paused its clock or jumped far. Lock anew from here, showing
    // the old tempo meanwhile.
    count_ = 1;
    last_ = double(ns);
    outliers_ = boost_ = 0;
    bias_ = 0;
    return;
  }

  // Jitter: the second difference of the arrivals, where a steady tempo gives zero. Each sample
  // counts at most a few times the current figure, so one stall does not open the loop.
  const double second = std::abs(double(ns - 2 * beforeLast_ + secondLast));
  if (jitter_ < 0)
    jitter_ = second;
  else
    jitter_ += (std::min(second, 4 * jitter_ + 50'000) - jitter_) / JitterClocks;

  const double tolerance = 4 * jitter_ + 100'000;
  outliers_ = std::abs(error) > tolerance ? outliers_ + 1 : 0;
  if (outliers_ == 1) error = std::clamp(error, -tolerance, tolerance);  // a lone outlier counts little
  bias_ += (error - bias_) / BiasClocks;
  if (outliers_ >= 2 || std::abs(bias_) > 2 * jitter_ / std::sqrt(BiasClocks) + 30'000) boost_ = BoostClocks;

  double omega = jitter_ > 0 ? JitterAllowance * JitterAllowance / (jitter_ * jitter_) / 1.06 : WidestOmega;
  omega = std::clamp(omega, NarrowestOmega, WidestOmega);
  if (boost_ > 0) {
    omega = std::max(omega, std::min(WidestOmega, omega * BoostFactor));
    --boost_;
  }
  // While the lock is young, the loop starts wide and narrows as the clocks accumulate.
  omega = std::max(omega, 2.0 / double(count_));
  omega_ = std::min(omega, 1.0);

  last_ = predicted + std::sqrt(2.0) * omega_ * error;
  period_ += omega_ * omega_ * error;
}

}  // namespace varnel
