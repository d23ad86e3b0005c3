// How the core talks to the user: status texts, message boxes, questions and progress.
// The GUI shows them with Qt, the command-line tool prints them, tests record them.
#pragma once

#include <sstream>
#include <string>

namespace varnel {

class Reporter {
 public:
  virtual ~Reporter() = default;

  // A status-bar text; panel 0 is the main panel.
  virtual void Status(const std::string& text, int panel) = 0;
  // A message box the user has to acknowledge.
  virtual void Message(const std::string& text) = 0;
  // A yes/no question; true for yes.
  virtual bool Question(const std::string& text) = 0;
  // A modal "busy" caption such as the loading window; EndBusy hides it.
  virtual void BeginBusy(const std::string& caption) { (void)caption; }
  virtual void EndBusy() {}
};

// Says nothing and answers every question with no.
class NullReporter final : public Reporter {
 public:
  void Status(const std::string&, int) override {}
  void Message(const std::string&) override {}
  bool Question(const std::string&) override { return false; }
};

// Debug trace: discarded unless VARNEL_TRACE=1 is set in the environment.
bool TraceEnabled();
void TraceLine(const std::string& line);

template <class... Parts>
void Trace(const Parts&... parts) {
  if (!TraceEnabled()) return;
  std::ostringstream out;
  (out << ... << parts);
  TraceLine(out.str());
}

}  // namespace varnel
