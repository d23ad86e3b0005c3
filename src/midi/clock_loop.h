// The delay-locked loop that follows an external MIDI clock: from the arrival times of its clocks
// it estimates where the master's clocks fall (phase) and how far apart (period), so rows can be
// placed on the predicted time of their clock instead of the moment a message happened to arrive.
//
// A second-order loop: each arrival t is compared with its prediction p (e = t - p); the filtered
// time of that clock is p + b·e, the period moves by c·e, and the next prediction is one period on,
// with b = √2·ω and c = ω² for a loop bandwidth of ω per clock (ω = 2π·B·T for B in hertz).
// The bandwidth is chosen from the measured jitter of the incoming clock: a clean clock (a sample-
// accurate master) is followed tightly, which keeps ramps in step; a jittery one (USB, a busy master)
// is filtered hard. A bias in the errors (the master changed its tempo) raises the bandwidth for a
// beat; clocks far off the prediction are left out, or taken as a step of the master's phase or a
// jump of its tempo when more follow. Times are nanoseconds on MidiClock. Not thread-safe:
// ClockFollower guards it.
#pragma once

#include <cstdint>

namespace varnel {

class ClockLoop {
 public:
  // Forgets everything: the next arrival starts a new lock.
  void Reset();
  // The next clock arrived at `ns`. Returns how many clocks it stands for: 1, or more when it
  // comes a whole number of periods late (the clocks between were lost on the way), or 0 when it
  // shows that such a clock was only delayed (it comes with the next, already counted).
  int Arrive(int64_t ns);

  // Locked: three clocks a steady distance apart have arrived (a lock anew shows the old period
  // until then).
  bool Locked() const { return count_ >= 3; }
  // Arrivals since the lock began (a Reset, or a clock far off its prediction).
  int64_t Count() const { return count_; }
  // The filtered time of the last clock that arrived (its raw arrival until locked).
  double LastTime() const { return last_; }
  // The estimated distance of two clocks, in nanoseconds (0 until first locked).
  double Period() const { return period_; }
  // Predicted time of the clock `clocks` after the last one (fractions lie between clocks).
  double TimeAfterLast(double clocks) const { return last_ + clocks * period_; }
  // The raw arrival time of the last clock.
  int64_t LastArrival() const { return lastArrival_; }

 private:
  int64_t count_ = 0;
  double last_ = 0, period_ = 0;
  double candidate_ = 0;  // the first interval of a lock being made
  int64_t lastArrival_ = 0, beforeLast_ = 0;
  double jitter_ = 0;
  int jitterSamples_ = 0;
  double bias_ = 0;   // the errors, averaged over about half a beat
  int outliers_ = 0;  // successive errors far beyond the jitter
  double firstOutlier_ = 0;
  int boost_ = 0;   // clocks left at a raised bandwidth
  int missed_ = 0;  // clocks the last arrival found lost
  int owed_ = 0;    // of those, how many a delayed clock's neighbours may still turn out to be
  // A move of the master being judged (ClockLoop::Collect): the errors since it began.
  void Collect(double error);
  int collecting_ = 0;  // clocks still to judge on
  struct {
    double n, x, xx, y, xy, yy;
  } fit_{};
};

}  // namespace varnel
