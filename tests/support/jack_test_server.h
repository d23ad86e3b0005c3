// A JACK server that a test starts under a name of its own (dummy driver: no sound card needed),
// and the lock that makes JACK tests of all test processes take turns.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace varnel::test {

// The program's path on $PATH, or empty.
std::string FindProgram(const std::string& name);

// Starts a program with its output appended to `log`; it is sent SIGTERM should the test die.
pid_t Spawn(const std::vector<std::string>& args, const std::string& log);

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

// JACK names a client's socket after the client alone, so two test processes whose clients share
// a name collide even on separate servers: every JACK test suite holds this lock while it runs.
class JackTestLock {
 public:
  JackTestLock();
  ~JackTestLock();
  JackTestLock(const JackTestLock&) = delete;
  JackTestLock& operator=(const JackTestLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace varnel::test
