// A MIDI device that records instead of sounding: for tests and for printing a song's messages.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_output.h"

namespace varnel {

class MidiRecorder {
 public:
  struct Event {
    ShortMessage message;
    MidiTime when;
    int label;  // what the recorder's label was when the message arrived (a row number, say)
  };

  void Record(const ShortMessage& message, MidiTime when);
  void SetLabel(int label);
  std::vector<Event> Events() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Event> events_;
  int label_ = 0;
};

// Upper-case hex bytes separated by blanks: "90 3C 64".
std::string HexBytes(const ShortMessage& message);

// One output ("Recorder") and one input ("Recorder In"); the MIDI Mapper (-1) records too.
// Opening fails with the given result code while failOpen is set.
class RecordingBackend final : public MidiBackend {
 public:
  explicit RecordingBackend(std::shared_ptr<MidiRecorder> recorder = std::make_shared<MidiRecorder>())
      : recorder_(std::move(recorder)) {}

  std::vector<std::string> OutputNames() override { return outputs; }
  std::vector<std::string> InputNames() override { return inputs; }
  std::unique_ptr<MidiOutput> OpenOutput(int id, int& result) override;
  std::unique_ptr<MidiInput> OpenInput(int id, MidiInputHandler handler, int& result) override;

  // Delivers a message to the open input's handler, as a device would.
  void Receive(const ShortMessage& message);

  MidiRecorder& Recorder() { return *recorder_; }

  std::vector<std::string> outputs{"Recorder"};
  std::vector<std::string> inputs{"Recorder In"};
  int failOpen = 0;

 private:
  std::shared_ptr<MidiRecorder> recorder_;
  std::shared_ptr<MidiInputHandler> inputHandler_;
};

}  // namespace varnel
