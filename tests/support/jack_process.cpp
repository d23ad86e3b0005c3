#include "support/jack_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace varnel::test {

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = dir + "/" + name;
    if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

pid_t Spawn(const std::vector<std::string>& args, const std::string& log) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(126);
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      ::close(fd);
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

pid_t StartJackd(const std::string& name, const char* mode, int period, const std::string& log) {
  const std::string jackd = FindProgram("jackd"), jackWait = FindProgram("jack_wait");
  if (jackd.empty() || jackWait.empty()) return -1;
  const pid_t pid = Spawn({jackd, mode, "-n", name, "-d", "dummy", "-r", "48000", "-p", std::to_string(period)}, log);
  if (pid < 0) return -1;
  const pid_t waiter = Spawn({jackWait, "-s", name, "-w", "-t", "5"}, "/dev/null");
  int status = 0;
  if (waiter > 0 && ::waitpid(waiter, &status, 0) == waiter && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
      ::waitpid(pid, &status, WNOHANG) == 0)
    return pid;
  StopJackd(pid, name);
  return -1;
}

void StopJackd(pid_t pid, const std::string& name) {
  StopProcess(pid);
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
    const std::string file = entry.path().filename().string();
    if (file.starts_with("jack_sem.") && file.find("_" + name + "_") != std::string::npos)
      std::filesystem::remove(entry.path(), error);
  }
}

JackTestLock::JackTestLock() {
  const auto path = std::filesystem::temp_directory_path() / "varnel-jack-tests.lock";
  fd_ = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
  if (fd_ >= 0) ::flock(fd_, LOCK_EX);
}

JackTestLock::~JackTestLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace varnel::test
