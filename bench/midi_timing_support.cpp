#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "midi_timing_bench.h"

namespace varnel::bench {

namespace {

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = dir + "/" + name;
    if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(126);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

void StopProcess(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (::waitpid(pid, &status, WNOHANG) == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
}

}  // namespace

bool BenchJackServer::Start(int period) {
  const std::string jackd = FindProgram("jackd"), jackWait = FindProgram("jack_wait");
  if (jackd.empty() || jackWait.empty()) return false;
  name_ = "varnel-bench-" + std::to_string(::getpid()) + "-" + std::to_string(period);
  pid_ = Spawn({jackd, "-R", "-n", name_, "-d", "dummy", "-r", "48000", "-p", std::to_string(period)});
  const pid_t waiter = Spawn({jackWait, "-s", name_, "-w", "-t", "5"});
  int status = 0;
  if (waiter <= 0 || ::waitpid(waiter, &status, 0) != waiter || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    Stop();
    return false;
  }
  setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
  return true;
}

void BenchJackServer::Stop() {
  if (pid_ <= 0) return;
  StopProcess(pid_);
  pid_ = -1;
  unsetenv("JACK_DEFAULT_SERVER");
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
    const std::string file = entry.path().filename().string();
    if (file.starts_with("jack_sem.") && file.find("_" + name_ + "_") != std::string::npos)
      std::filesystem::remove(entry.path(), error);
  }
}

CpuLoad::CpuLoad(int processes) {
  for (int i = 0; i < processes; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
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

JackLock::JackLock() {
  const auto path = std::filesystem::temp_directory_path() / "varnel-jack-tests.lock";
  fd_ = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
  if (fd_ >= 0) ::flock(fd_, LOCK_EX);
}

JackLock::~JackLock() {
  if (fd_ >= 0) ::close(fd_);
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
