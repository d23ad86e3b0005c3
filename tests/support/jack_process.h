// Starting and stopping programs, a JACK server among them, for the tests and the benchmarks alike:
// no GoogleTest here.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace varnel::test {

// The program's path on $PATH, or empty.
std::string FindProgram(const std::string& name);

// Starts a program with its output appended to `log`; it is sent SIGTERM should this process die.
pid_t Spawn(const std::vector<std::string>& args, const std::string& log);

// SIGTERM, then after five seconds SIGKILL; waits for the process either way.
void StopProcess(pid_t pid);

// jackd on the dummy driver at 48 kHz under `name`, with `mode` ("-R", "--no-realtime"), once it
// takes clients; -1 (and nothing left running) when it does not. Its output goes to `log`.
pid_t StartJackd(const std::string& name, const char* mode, int period, const std::string& log);

// Stops a server StartJackd started and removes the semaphores of clients that were still open
// (those of a test that stopped it under them); the names carry the server's name.
void StopJackd(pid_t pid, const std::string& name);

// JACK names a client's socket after the client alone, so two processes whose clients share a name
// collide even on separate servers: every JACK test suite and benchmark holds this lock while it runs.
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
