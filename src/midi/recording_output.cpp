#include "midi/recording_output.h"

#include <cstdio>

namespace varnel {

namespace {

class RecordingOutput final : public MidiOutput {
 public:
  explicit RecordingOutput(std::shared_ptr<MidiRecorder> recorder) : recorder_(std::move(recorder)) {}
  void Send(const ShortMessage& message, MidiTime when) override { recorder_->Record(message, when); }

 private:
  std::shared_ptr<MidiRecorder> recorder_;
};

class RecordingInput final : public MidiInput {
 public:
  RecordingInput(std::shared_ptr<MidiInputHandler> slot, MidiInputHandler handler) : slot_(std::move(slot)) {
    *slot_ = std::move(handler);
  }
  ~RecordingInput() override { *slot_ = nullptr; }

 private:
  std::shared_ptr<MidiInputHandler> slot_;
};

}  // namespace

void MidiRecorder::Record(const ShortMessage& message, MidiTime when) {
  std::scoped_lock lock(mutex_);
  events_.push_back({message, when, label_});
}

void MidiRecorder::SetLabel(int label) {
  std::scoped_lock lock(mutex_);
  label_ = label;
}

std::vector<MidiRecorder::Event> MidiRecorder::Events() const {
  std::scoped_lock lock(mutex_);
  return events_;
}

void MidiRecorder::Clear() {
  std::scoped_lock lock(mutex_);
  events_.clear();
}

std::string HexBytes(const ShortMessage& message) {
  std::string text;
  for (int i = 0; i < message.size; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%s%02X", i ? " " : "", message.bytes[i]);
    text += byte;
  }
  return text;
}

std::unique_ptr<MidiOutput> RecordingBackend::OpenOutput(int id, int& result) {
  if (failOpen != 0 || id < -1 || id >= int(outputs.size())) {
    result = failOpen != 0 ? failOpen : 2;
    return nullptr;
  }
  result = 0;
  return std::make_unique<RecordingOutput>(recorder_);
}

std::unique_ptr<MidiInput> RecordingBackend::OpenInput(int id, MidiInputHandler handler, int& result) {
  if (failOpen != 0 || id < 0 || id >= int(inputs.size())) {
    result = failOpen != 0 ? failOpen : 2;
    return nullptr;
  }
  result = 0;
  if (!inputHandler_) inputHandler_ = std::make_shared<MidiInputHandler>();
  return std::make_unique<RecordingInput>(inputHandler_, std::move(handler));
}

void RecordingBackend::Receive(const ShortMessage& message) {
  if (inputHandler_ && *inputHandler_) (*inputHandler_)(message);
}

}  // namespace varnel
