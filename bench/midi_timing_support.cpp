#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "midi_timing_bench.h"
#include "support/jack_process.h"

namespace varnel::bench {

bool BenchJackServer::Start(int period) {
  name_ = "varnel-bench-" + std::to_string(::getpid()) + "-" + std::to_string(period);
  pid_ = test::StartJackd(name_, "-R", period, "/dev/null");
  if (pid_ <= 0) return false;
  setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
  return true;
}

void BenchJackServer::Stop() {
  if (pid_ <= 0) return;
  test::StopJackd(pid_, name_);
  pid_ = -1;
  unsetenv("JACK_DEFAULT_SERVER");
}

CpuLoad::CpuLoad(int processes, bool idlePriority) {
  for (int i = 0; i < processes; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      const sched_param none{};
      if (idlePriority) ::sched_setscheduler(0, SCHED_IDLE, &none);
      volatile uint64_t spin = 0;
      for (;;) spin = spin + 1;
    }
    if (pid > 0) children_.push_back(pid);
  }
}

CpuLoad::~CpuLoad() {
  for (const pid_t pid : children_) {
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
}

Deviation IntervalDeviation(const std::vector<int64_t>& frames, double expected, const std::vector<int64_t>& xruns,
                            int64_t margin) {
  std::vector<double> d;
  Deviation result;
  double sum = 0;
  for (size_t i = 1; i < frames.size(); ++i) {
    const double deviation = std::abs(double(frames[i] - frames[i - 1]) - expected);
    result.maxAll = std::max(result.maxAll, deviation);
    const bool spans = std::any_of(xruns.begin(), xruns.end(), [&](int64_t x) {
      return x >= frames[i - 1] - margin && x <= frames[i] + margin;
    });
    if (spans) {
      ++result.spanningXruns;
      continue;
    }
    d.push_back(deviation);
    sum += double(frames[i] - frames[i - 1]);
  }
  result.count = d.size();
  if (d.empty()) return result;
  result.mean = sum / double(d.size());
  std::sort(d.begin(), d.end());
  result.p50 = d[d.size() / 2];
  result.p99 = d[std::min(d.size() - 1, d.size() * 99 / 100)];
  result.max = d.back();
  return result;
}

}  // namespace varnel::bench
