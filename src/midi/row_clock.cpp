#include "midi/row_clock.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#ifdef __linux__
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>
#endif

namespace varnel {

bool RaiseThreadToRealTime(int priority) {
#ifdef __linux__
  sched_param param{};
  param.sched_priority = std::min(priority, sched_get_priority_max(SCHED_FIFO));
  const bool realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  return realTime;
#else
  (void)priority;
  return false;
#endif
}

RowPeriod RowPeriodFor(int bpm, int spd) {
  const int64_t perMinute = int64_t(std::max(bpm, 1)) * std::max(spd, 1);
  return RowPeriod(int64_t(60'000'000'000) / perMinute);
}

// ---- ThreadRowClock ----
//
// Each Start creates a thread with its own state. Stop does not wait for a sleeping thread (a row
// can last almost two seconds): it marks the state stopped under the tick mutex, so a tick in
// progress finishes first and no tick starts afterwards; the thread exits when it wakes.
// While a run lasts, the processor is asked not to enter deep idle states, whose exit latency
// (hundreds of microseconds on some machines) would delay every row after a long sleep. The
// request holds while the file stays open; without permission there is simply no request.
class IdleLatencyRequest {
 public:
  IdleLatencyRequest() {
#ifdef __linux__
    fd_ = ::open("/dev/cpu_dma_latency", O_WRONLY | O_CLOEXEC);
    const int32_t microseconds = 0;
    if (fd_ >= 0 && ::write(fd_, &microseconds, sizeof microseconds) != sizeof microseconds) {
      ::close(fd_);
      fd_ = -1;
    }
#endif
  }
  ~IdleLatencyRequest() {
#ifdef __linux__
    if (fd_ >= 0) ::close(fd_);
#endif
  }
  IdleLatencyRequest(const IdleLatencyRequest&) = delete;
  IdleLatencyRequest& operator=(const IdleLatencyRequest&) = delete;

 private:
  int fd_ = -1;
};

struct ThreadRowClock::Shared {
  struct Run {
    std::mutex tickMutex;
    bool stopped = false;               // guarded by tickMutex
    std::atomic<bool> realTime{false};  // written by the clock thread
    Tick tick;
    Step step;
  };
  std::atomic<int64_t> periodNs{0};  // written by the UI thread or the tick, read by the clock thread
  std::atomic<int64_t> leadNs{0};    // likewise
  std::shared_ptr<Run> run;          // the current run; UI thread only
  std::unique_ptr<IdleLatencyRequest> idleLatency;  // UI thread only
  // Stepping: Wake counts up (any thread) and the stepping thread wakes when the count moves. A count
  // rather than a flag, so that no thread can take a wake meant for another run.
  std::mutex wakeMutex;
  std::condition_variable wakeChanged;
  uint64_t wakes = 0;  // guarded by wakeMutex
};

namespace {

// A detached thread for one run of the clock; false when none could be made.
bool StartThread(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void SleepUntil(MidiTime deadline) {
#ifdef __linux__
  // steady_clock is CLOCK_MONOTONIC here; this is a true absolute sleep, unlike sleep_until.
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
  timespec ts{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
#else
  std::this_thread::sleep_until(deadline);
#endif
}

}  // namespace

ThreadRowClock::ThreadRowClock() : shared_(std::make_shared<Shared>()) {}

ThreadRowClock::~ThreadRowClock() { Stop(); }

bool ThreadRowClock::Start(RowPeriod period, Tick tick) {
  Stop();
  auto run = std::make_shared<Shared::Run>();
  shared_->periodNs = period.count();
  run->tick = std::move(tick);
  const bool started = StartThread([shared = shared_, run, start = MidiClock::now()] {
    run->realTime = RaiseThreadToRealTime();
    MidiTime deadline = start;
    for (;;) {
      deadline += RowPeriod(shared->periodNs.load(std::memory_order_relaxed));
      SleepUntil(deadline - RowPeriod(shared->leadNs.load(std::memory_order_relaxed)));
      std::scoped_lock lock(run->tickMutex);
      if (run->stopped) return;
      run->tick(deadline);
    }
  });
  if (!started) return false;
  shared_->run = std::move(run);
  shared_->idleLatency = std::make_unique<IdleLatencyRequest>();
  return true;
}

bool ThreadRowClock::StartStepping(Step step) {
  Stop();
  auto run = std::make_shared<Shared::Run>();
  run->step = std::move(step);
  const bool started = StartThread([shared = shared_, run] {
    run->realTime = RaiseThreadToRealTime();
    for (;;) {
      MidiTime next;
      uint64_t seen;
      {
        std::scoped_lock lock(run->tickMutex);
        if (run->stopped) return;
        {
          std::scoped_lock wakeLock(shared->wakeMutex);
          seen = shared->wakes;  // what woke us before this step, the step sees
        }
        next = run->step(MidiClock::now());
      }
      std::unique_lock lock(shared->wakeMutex);
      const auto woken = [&] { return shared->wakes != seen; };
      // An absolute wait on the monotonic clock (pthread_cond_clockwait), like the row clock's sleeps.
      if (next == MidiTime::max())
        shared->wakeChanged.wait(lock, woken);
      else
        shared->wakeChanged.wait_until(lock, next, woken);
    }
  });
  if (!started) return false;
  shared_->run = std::move(run);
  shared_->idleLatency = std::make_unique<IdleLatencyRequest>();
  return true;
}

void ThreadRowClock::Wake() {
  {
    std::scoped_lock lock(shared_->wakeMutex);
    ++shared_->wakes;
  }
  shared_->wakeChanged.notify_all();
}

void ThreadRowClock::SetPeriod(RowPeriod period) { shared_->periodNs = period.count(); }

void ThreadRowClock::SetLead(RowPeriod lead) { shared_->leadNs = std::max<int64_t>(lead.count(), 0); }

void ThreadRowClock::Stop() {
  auto run = std::move(shared_->run);
  if (!run) return;
  shared_->idleLatency.reset();
  {
    std::scoped_lock lock(run->tickMutex);
    run->stopped = true;
  }
  if (run->step) Wake();  // a stepping thread waiting for a clock exits now rather than at the next
}

bool ThreadRowClock::Running() const { return shared_->run != nullptr; }

bool ThreadRowClock::RealTime() const {
  auto run = shared_->run;
  return run && run->realTime.load();
}

// ---- ManualRowClock ----

bool ManualRowClock::Start(RowPeriod period, Tick tick) {
  period_ = period;
  tick_ = std::move(tick);
  step_ = nullptr;
  running_ = true;
  return true;
}

bool ManualRowClock::StartStepping(Step step) {
  step_ = std::move(step);
  running_ = true;
  woken_ = false;
  next_ = step_(now_);
  return true;
}

bool ManualRowClock::Advance() {
  if (!running_) return false;
  if (step_) {
    if (next_ == MidiTime::max()) return false;
    now_ = std::max(now_, next_);
    next_ = step_(now_);
    return true;
  }
  now_ += period_;
  tick_(now_);
  return true;
}

void ManualRowClock::AdvanceTo(MidiTime time) {
  // A step may stop the clock (Stop clears it); each runs on a copy.
  while (step_ && (woken_ || next_ <= time)) {
    if (woken_) {
      woken_ = false;
    } else {
      now_ = std::max(now_, next_);
    }
    const Step step = step_;
    next_ = step(now_);
  }
  now_ = std::max(now_, time);
}

}  // namespace varnel
