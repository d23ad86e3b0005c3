#include "midi/recording_output.h"

#include <algorithm>
#include <cstdio>

namespace varnel {

namespace {

class RecordingOutput final : public MidiOutput {
 public:
  RecordingOutput(std::shared_ptr<MidiRecorder> recorder, std::string name, std::shared_ptr<RecordingLoss> lost)
      : recorder_(std::move(recorder)), name_(std::move(name)), lost_(std::move(lost)) {}
  void Send(const ShortMessage& message, MidiTime when) override {
    if (!lost_->gone.load()) recorder_->Record(message, when, name_);
  }
  std::string Lost() const override { return lost_->Why(); }

 private:
  std::shared_ptr<MidiRecorder> recorder_;
  std::string name_;
  std::shared_ptr<RecordingLoss> lost_;
};

class RecordingInput final : public MidiInput {
 public:
  RecordingInput(std::shared_ptr<MidiInputHandler> slot, MidiInputHandler handler, std::shared_ptr<RecordingLoss> lost)
      : slot_(std::move(slot)), lost_(std::move(lost)) {
    *slot_ = std::move(handler);
  }
  ~RecordingInput() override { *slot_ = nullptr; }
  std::string Lost() const override { return lost_->Why(); }

 private:
  std::shared_ptr<MidiInputHandler> slot_;
  std::shared_ptr<RecordingLoss> lost_;
};

}  // namespace

void MidiRecorder::Record(const ShortMessage& message, MidiTime when, const std::string& device) {
  std::scoped_lock lock(mutex_);
  events_.push_back({message, when, label_, device});
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

std::vector<std::string> RecordingBackend::OutputNames() {
  ++listings_;
  return outputs;
}

std::vector<std::string> RecordingBackend::InputNames() {
  ++listings_;
  return inputs;
}

std::shared_ptr<RecordingLoss> RecordingBackend::LossOf(const std::string& name) {
  std::erase_if(open_, [](const Device& device) { return device.lost.use_count() == 1; });  // closed since
  auto lost = std::make_shared<RecordingLoss>();
  open_.push_back({name, lost});
  return lost;
}

std::unique_ptr<MidiOutput> RecordingBackend::OpenOutput(int id, int& result) {
  if (failOpen != 0 || id < -1 || id >= int(outputs.size()) || (id < 0 && mapperGone_)) {
    result = failOpen != 0 ? failOpen : 2;
    return nullptr;
  }
  result = 0;
  const std::string name = id < 0 ? "MIDI Mapper" : outputs[size_t(id)];
  return std::make_unique<RecordingOutput>(recorder_, name, LossOf(name));
}

std::unique_ptr<MidiInput> RecordingBackend::OpenInput(int id, MidiInputHandler handler, int& result) {
  if (failOpen != 0 || id < 0 || id >= int(inputs.size())) {
    result = failOpen != 0 ? failOpen : 2;
    return nullptr;
  }
  result = 0;
  if (!inputHandler_) inputHandler_ = std::make_shared<MidiInputHandler>();
  return std::make_unique<RecordingInput>(inputHandler_, std::move(handler), LossOf(inputs[size_t(id)]));
}

void RecordingBackend::Receive(const ShortMessage& message) {
  if (inputHandler_ && *inputHandler_) (*inputHandler_)(message);
}

void RecordingBackend::Vanish(const std::string& name, const std::string& why) {
  if (name == "MIDI Mapper") mapperGone_ = true;
  std::erase(outputs, name);
  std::erase(inputs, name);
  for (const Device& device : open_)
    if (device.name == name) device.lost->Lose(why);
  std::erase_if(open_, [&](const Device& device) { return device.name == name; });
  if (changed_) changed_();
}

void RecordingBackend::Return(const std::string& name, bool output) {
  if (name == "MIDI Mapper") {
    mapperGone_ = false;
  } else {
    auto& list = output ? outputs : inputs;
    if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
  }
  if (changed_) changed_();
}

}  // namespace varnel
