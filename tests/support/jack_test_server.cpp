#include "support/jack_test_server.h"

#include <unistd.h>

#include <cstdlib>

#include "support/song_builders.h"

namespace varnel::test {

// A client that misses a cycle's deadline loses that cycle's MIDI: long periods keep a busy machine
// (21 ms) or a sanitizer build (170 ms) from making the tests flaky. Timing is not tested here.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int Period = 8192;
#else
constexpr int Period = 1024;
#endif

std::string JackServer::Start(const std::string& suffix) {
  if (FindProgram("jackd").empty() || FindProgram("jack_wait").empty()) return "jackd (package jackd2) is not installed";
  name_ = "varnel-test-" + std::to_string(::getpid()) + suffix;
  const std::string log = test::TempPath("jackd" + suffix + ".log");
  for (const char* mode : {"-R", "--no-realtime"}) {
    pid_ = StartJackd(name_, mode, Period, log);
    if (pid_ > 0) return "";
  }
  return "jackd did not start; see " + log;
}

void JackServer::Stop() {
  if (pid_ <= 0) return;
  StopJackd(pid_, name_);
  pid_ = -1;
}

JackSuiteServer::JackSuiteServer() {
  why_ = server_.Start();
  if (const char* old = std::getenv("JACK_DEFAULT_SERVER")) oldServer_ = old;
  if (why_.empty()) setenv("JACK_DEFAULT_SERVER", server_.Name().c_str(), 1);
}

JackSuiteServer::~JackSuiteServer() {
  server_.Stop();
  if (oldServer_.empty()) unsetenv("JACK_DEFAULT_SERVER");
  else setenv("JACK_DEFAULT_SERVER", oldServer_.c_str(), 1);
}

}  // namespace varnel::test
