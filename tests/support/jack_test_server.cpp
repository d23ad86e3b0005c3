#include "support/jack_test_server.h"

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

#include "support/song_builders.h"

namespace varnel::test {

using namespace std::chrono_literals;

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = dir + "/" + name;
    if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

// Starts a program with its output in `log`; it is sent SIGTERM should the test process die.
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

// A client that misses a cycle's deadline loses that cycle's MIDI: long periods keep a busy machine
// (21 ms) or a sanitizer build (170 ms) from making the tests flaky. Timing is not tested here.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr const char* Period = "8192";
#else
constexpr const char* Period = "1024";
#endif

std::string JackServer::Start(const std::string& suffix) {
  const std::string jackd = FindProgram("jackd"), jackWait = FindProgram("jack_wait");
  if (jackd.empty() || jackWait.empty()) return "jackd (package jackd2) is not installed";
  name_ = "varnel-test-" + std::to_string(::getpid()) + suffix;
  const std::string log = test::TempPath("jackd" + suffix + ".log");
  for (const char* mode : {"-R", "--no-realtime"}) {
    pid_ = Spawn({jackd, mode, "-n", name_, "-d", "dummy", "-r", "48000", "-p", Period}, log);
    if (pid_ < 0) break;
    const pid_t waiter = Spawn({jackWait, "-s", name_, "-w", "-t", "5"}, "/dev/null");
    int status = 0;
    if (waiter > 0 && ::waitpid(waiter, &status, 0) == waiter && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
        ::waitpid(pid_, &status, WNOHANG) == 0)
      return "";
    Stop();
  }
  return "jackd did not start; see " + log;
}

void JackServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 100 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(50ms);
  if (::waitpid(pid_, &status, WNOHANG) == 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  // The server leaves the semaphores of clients that were still open (those of a test that
  // stopped it under them); the names carry this server's name.
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
    const std::string file = entry.path().filename().string();
    if (file.starts_with("jack_sem.") && file.find("_" + name_ + "_") != std::string::npos)
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
