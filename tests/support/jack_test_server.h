// A JACK server that a test starts under a name of its own (dummy driver: no sound card needed),
// and what a whole JACK test suite holds while it runs.
#pragma once

#include <string>

#include "support/jack_process.h"

namespace varnel::test {

class JackServer {
 public:
  ~JackServer() { Stop(); }

  // Empty when the server runs, else why it does not. Its output goes to jackd.log in the test's
  // temporary folder.
  std::string Start(const std::string& suffix = "");
  // Stops only the server this object started.
  void Stop();
  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// For a suite's SetUpTestSuite: takes the JACK tests' lock, starts a server and points
// JACK_DEFAULT_SERVER at it; the destructor undoes all three.
class JackSuiteServer {
 public:
  JackSuiteServer();
  ~JackSuiteServer();
  JackSuiteServer(const JackSuiteServer&) = delete;
  JackSuiteServer& operator=(const JackSuiteServer&) = delete;

  // Empty when the server runs, else why it does not (for GTEST_SKIP).
  const std::string& Why() const { return why_; }

 private:
  JackTestLock lock_;  // declared first: released last
  JackServer server_;
  std::string why_, oldServer_;
};

}  // namespace varnel::test
