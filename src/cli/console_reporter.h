// The command-line tool's reporter: message boxes become lines on standard error; status texts
// and busy captions only with --verbose, so standard output carries nothing but the result.
// Nobody is there to answer a question, so every question is answered with no.
#pragma once

#include <ostream>
#include <string>

#include "song/reporter.h"

namespace varnel::cli {

class ConsoleReporter final : public Reporter {
 public:
  ConsoleReporter(std::ostream& err, bool verbose) : err_(err), verbose_(verbose) {}

  // Put before every message, e.g. the path of the file being worked on.
  void SetContext(std::string context) { context_ = std::move(context); }

  void Status(const std::string& text, int) override {
    if (verbose_ && !text.empty()) err_ << text << '\n';
  }
  void Message(const std::string& text) override {
    err_ << (context_.empty() ? "" : context_ + ": ") << text << '\n';
    ++messages_;
  }
  bool Question(const std::string& text) override {
    if (verbose_) err_ << text << " (answered no)\n";
    return false;
  }
  void BeginBusy(const std::string& caption) override {
    if (verbose_) err_ << caption << '\n';
  }

  int MessageCount() const { return messages_; }

 private:
  std::ostream& err_;
  bool verbose_;
  std::string context_;
  int messages_ = 0;
};

}  // namespace varnel::cli
