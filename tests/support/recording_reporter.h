// A reporter that remembers everything the core said, for assertions.
#pragma once

#include <string>
#include <vector>

#include "song/reporter.h"

namespace varnel::test {

class RecordingReporter final : public Reporter {
 public:
  void Status(const std::string& text, int panel) override { statuses.push_back({text, panel}); }
  void Message(const std::string& text) override { messages.push_back(text); }
  bool Question(const std::string& text) override {
    questions.push_back(text);
    return answer;
  }
  void BeginBusy(const std::string& caption) override { busy.push_back(caption); }
  void EndBusy() override { busy.push_back("<end>"); }

  struct StatusText {
    std::string text;
    int panel;
  };
  std::vector<StatusText> statuses;
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> busy;
  bool answer = true;

  // The first line of each message: its kind ("Error reading file (1)"); the file and the reason follow.
  std::vector<std::string> Headlines() const {
    std::vector<std::string> out;
    for (const std::string& m : messages) out.push_back(m.substr(0, m.find('\n')));
    return out;
  }

  bool SaidStatus(const std::string& text) const {
    for (const auto& s : statuses)
      if (s.text == text) return true;
    return false;
  }
  void Clear() {
    statuses.clear();
    messages.clear();
    questions.clear();
    busy.clear();
  }
};

}  // namespace varnel::test
