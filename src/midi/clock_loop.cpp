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
// Errors a move of the master is judged on: a step of its phase or a new tempo.
constexpr int StepClocks = 36;
// Jitter and bias are averaged over this many clocks.
constexpr double JitterClocks = 48;
constexpr double BiasClocks = 12;
// Clocks further apart or closer than any master sends: 10 to 1000 BPM.
constexpr double MinimumPeriodNs = 60e9 / 1000 / 24;
constexpr double MaximumPeriodNs = 60e9 / 10 / 24;

}  // namespace

void ClockLoop::Reset() { *this = ClockLoop(); }

int ClockLoop::Arrive(int64_t ns) {
  missed_ = 0;
  const int64_t secondLast = beforeLast_;
  beforeLast_ = lastArrival_;
  lastArrival_ = ns;
  ++count_;
  // A lock begins with two intervals that agree: one odd interval (two clocks sent at once after a
  // stall of the master) would otherwise set an absurd tempo.
  if (count_ == 1) {
    last_ = double(ns);
    return 1;
  }
  const double interval = double(ns) - last_;
  if (count_ == 2) {
    candidate_ = interval;
    last_ = double(ns);
    if (interval < MinimumPeriodNs || interval > MaximumPeriodNs) count_ = 1;
    return 1;
  }
  if (count_ == 3) {
    last_ = double(ns);
    if (std::abs(interval - candidate_) > candidate_ / 2 || interval < MinimumPeriodNs || interval > MaximumPeriodNs) {
      candidate_ = interval;  // try again from these two clocks
      count_ = 2;
      return 1;
    }
    period_ = interval;  // the later one: the first may begin at an odd clock
    return 1;
  }
  double predicted = last_ + period_;
  double error = double(ns) - predicted;
  if (owed_ > 0 && std::abs(error + period_) <= period_ / 4) {
    // A clock a whole period early right after some were counted as lost: the late one was delayed,
    // not the ones before it lost, and this is its neighbour sent with it. It was counted already;
    // taking it as a new clock would put every later row a clock early.
    --owed_;
    --count_;
    lastArrival_ = beforeLast_;
    beforeLast_ = secondLast;
    return 0;
  }
  owed_ = 0;
  if (error > period_ / 2) {
    // One or two clocks lost on the way (a byte dropped, a stalled driver): this arrival is the one
    // after them, on the master's grid to within its jitter. Anything else is the master's time
    // moving (an xrun of the server a JACK master plays on) or a longer gap, the master pausing.
    const double missed = std::round(error / period_);
    const bool measured = jitterSamples_ >= JitterClocks / 2;
    const double grid = measured ? std::min(period_ / 4, 4 * jitter_ + 100'000) : period_ / 4;
    if (missed <= 2 && std::abs(error - missed * period_) <= grid) {
      missed_ = owed_ = int(missed);
      predicted += missed * period_;
      error -= missed * period_;
      beforeLast_ = ns;  // the second difference spans the gap: no jitter sample from it
    }
  }
  if (error > period_ / 2 || error < -period_ / 2) {
    // Not the next clock: the master paused its clock or jumped far. Lock anew from here, showing
    // the old tempo meanwhile.
    count_ = 1;
    last_ = double(ns);
    outliers_ = boost_ = collecting_ = 0;
    bias_ = 0;
    return 1;
  }

  // Jitter: the second difference of the arrivals, where a steady tempo gives zero. The first
  // samples are averaged plainly; later each counts at most a few times the current figure, so a
  // stall does not open the loop.
  if (missed_ == 0 && secondLast != beforeLast_) {
    const double second = std::abs(double(ns - 2 * beforeLast_ + secondLast));
    ++jitterSamples_;
    if (jitterSamples_ <= JitterClocks)
      jitter_ += (second - jitter_) / double(jitterSamples_);
    else
      jitter_ += (std::min(second, 4 * jitter_ + 50'000) - jitter_) / JitterClocks;
  }
  const double jitter = jitter_;
  const double tolerance = 4 * jitter + 100'000;
  if (jitterSamples_ >= JitterClocks / 2 && std::abs(error) > tolerance) {
    // Far off the prediction. One such clock is left out (a stall on the way). Two at the same new
    // phase: the master's clock itself moved, and the loop moves with it at once rather than ring.
    // Three that are not one step: a new tempo, measured from the last two intervals.
    last_ = predicted;
    if (++outliers_ == 1 || (outliers_ == 2 && std::abs(error - firstOutlier_) > tolerance)) {
      if (outliers_ == 1) firstOutlier_ = error;
      return 1 + missed_;
    }
    if (outliers_ >= 3) {
      period_ = (double(ns) - double(secondLast)) / (2 + missed_);
      boost_ = BoostClocks;
    }
    last_ = double(ns);
    outliers_ = collecting_ = 0;
    bias_ = 0;
    return 1 + missed_;
  }
  outliers_ = 0;
  bias_ += (error - bias_) / BiasClocks;
  if (collecting_ > 0) {
    // Judging a move of the master: the prediction runs on unchanged meanwhile, so the errors
    // measure the move alone.
    last_ = predicted;
    Collect(error);
    return 1 + missed_;
  }

  double omega = jitter > 0 ? JitterAllowance * JitterAllowance / (jitter * jitter) / 1.06 : WidestOmega;
  omega = std::clamp(omega, NarrowestOmega, WidestOmega);
  // While the lock is young, the gains are at least those of a straight line fitted to every
  // clock since it began (a growing-memory least-squares fit), so the first guesses are forgotten
  // as fast as the clocks allow.
  const double n = double(count_ + missed_);
  const bool young = 2 * (2 * n - 1) / (n * (n + 1)) > std::sqrt(2.0) * omega;
  if (boost_ == 0 && std::abs(bias_) > 2 * jitter / std::sqrt(BiasClocks) + 30'000) {
    if (omega * BoostFactor > WidestOmega || young) {
      boost_ = BoostClocks;  // a clean clock: the wide loop follows a step or a new tempo alike
    } else {
      // A jittery clock that moved. A wider loop would take a step of its phase into the period
      // too and ring for dozens of beats: first tell a step from a new tempo.
      collecting_ = StepClocks;
      fit_ = {};
      last_ = predicted;
      Collect(error);
      return 1 + missed_;
    }
  }
  if (boost_ > 0) {
    omega = std::max(omega, std::min(WidestOmega, omega * BoostFactor));
    --boost_;
  }
  const double b = std::max(std::sqrt(2.0) * omega, 2 * (2 * n - 1) / (n * (n + 1)));
  const double c = std::max(omega * omega, 6 / (n * (n + 1)));

  last_ = predicted + b * error;
  period_ += c * error;
  return 1 + missed_;
}

void ClockLoop::Collect(double error) {
  fit_.n += 1;
  fit_.x += fit_.n;
  fit_.xx += fit_.n * fit_.n;
  fit_.y += error;
  fit_.xy += fit_.n * error;
  fit_.yy += error * error;
  if (--collecting_ > 0) return;
  // A straight line through the errors: a slope well beyond its own uncertainty is a new tempo;
  // without one, the master's phase stepped and the loop moves by the mean error at once.
  const double n = fit_.n;
  const double sxx = fit_.xx - fit_.x * fit_.x / n;
  const double sxy = fit_.xy - fit_.x * fit_.y / n;
  const double syy = fit_.yy - fit_.y * fit_.y / n;
  const double slope = sxx > 0 ? sxy / sxx : 0;
  const double residual = std::max(0.0, (syy - slope * sxy) / (n - 2));
  const double slopeError = sxx > 0 ? std::sqrt(residual / sxx) : 0;
  if (std::abs(slope) > 3 * slopeError + 1'000) {
    // Where the line puts this clock, and the tempo it shows; the wider loop refines both.
    last_ += fit_.y / n + slope * (n - (n + 1) / 2);
    period_ += slope;
    boost_ = BoostClocks;
  } else {
    last_ += fit_.y / n;
  }
  bias_ = 0;
}

}  // namespace varnel
