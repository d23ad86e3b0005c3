#include "devices/timed_synth.h"

#include <cmath>

#include "devices/gm_synth.h"

namespace varnel {

void CallbackClock::Update(int64_t nowNs, int frames, double nominalRate) {
  const double period = frames * 1e9 / nominalRate;
  // A first call, or one far off the prediction (an xrun, a stall, a new buffer size): start over.
  if (!started_ || frames != frames_ || std::abs(double(nowNs) - t1_) > 4 * period_) {
    if (started_) ++resets_;
    started_ = true;
    frames_ = frames;
    period_ = period;
    t0_ = nowNs;
    t1_ = double(nowNs) + period;
    return;
  }
  const double omega = 2 * M_PI * bandwidth_ * period_ / 1e9;
  const double error = double(nowNs) - t1_;
  t0_ = int64_t(std::llround(t1_));
  t1_ += std::sqrt(2.0) * omega * error + period_;
  period_ += omega * omega * error;
}

TimedSynth::TimedSynth(GmSynth& synth, double sampleRate) : synth_(synth), rate_(sampleRate) {}

void TimedSynth::Render(float* left, float* right, int frames, MidiTime now) {
  if (frames <= 0) return;
  queue_.Collect();
  clock_.Update(ToNs(now), frames, rate_.load(std::memory_order_relaxed));
  const double framesPerNs = clock_.FramesPerNs();
  const int64_t start = clock_.BufferStartNs();
  int done = 0;
  while (!queue_.Empty()) {
    const TimedMessage& next = queue_.Front();
    // One buffer of latency: what is due at this buffer's start sounds at the next one's.
    const double position = double(next.timeNs - start) * framesPerNs + frames;
    // The nearest block boundary, counted from this buffer's first frame.
    const int64_t boundary = std::llround((double(rendered_) + position) / BlockFrames) * BlockFrames - rendered_;
    if (boundary >= frames) break;  // a later buffer's
    if (boundary > done) {
      synth_.RenderFrames(left + done, right + done, int(boundary - done));
      done = int(boundary);
    }
    synth_.Send(next.message, SendNow);
    queue_.PopFront();
  }
  synth_.RenderFrames(left + done, right + done, frames - done);
  rendered_ += frames;
}

}  // namespace varnel
