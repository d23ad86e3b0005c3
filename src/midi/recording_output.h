// A MIDI device that records instead of sounding: for tests and for printing a song's messages.
#pragma once

#include <atomic>
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
    int label;           // what the recorder's label was when the message arrived (a row number, say)
    std::string device;  // the name of the output it was sent to ("MIDI Mapper" for -1)
  };

  void Record(const ShortMessage& message, MidiTime when, const std::string& device = {});
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

// Why a recording device was lost: set once by the test's thread, read by any.
struct RecordingLoss {
  std::atomic<bool> gone{false};
  std::string why;  // written before `gone`
  void Lose(const std::string& text) {
    if (gone.load()) return;
    why = text;
    gone.store(true);
  }
  std::string Why() const { return gone.load() ? why : std::string(); }
};

// Outputs and inputs by name ("Recorder" and "Recorder In" to begin with); the MIDI Mapper (-1)
// records too. Every output records into the one recorder, marking each event with its device.
// Opening fails with the given result code while failOpen is set. Tests make devices vanish and
// return as ports of a MIDI system do. UI thread, but Receive (a device's thread).
class RecordingBackend final : public MidiBackend {
 public:
  explicit RecordingBackend(std::shared_ptr<MidiRecorder> recorder = std::make_shared<MidiRecorder>())
      : recorder_(std::move(recorder)) {}

  std::vector<std::string> OutputNames() override;
  std::vector<std::string> InputNames() override;
  std::unique_ptr<MidiOutput> OpenOutput(int id, int& result) override;
  std::unique_ptr<MidiInput> OpenInput(int id, MidiInputHandler handler, int& result) override;
  std::string ResultText(int result) const override { return result == 2 ? "no such device" : ""; }
  bool MayReturn(int result) const override { return result == 2; }
  void SetChangeHandler(std::function<void()> changed) override { changed_ = std::move(changed); }

  // Delivers a message to the open input's handler, as a device would.
  void Receive(const ShortMessage& message);

  // The device leaves the lists; what is open of it is lost, as when its port goes (`why`). The
  // "MIDI Mapper" vanishes too: it then fails to open until it returns.
  void Vanish(const std::string& name, const std::string& why = "port has gone");
  // It is listed again (at the end, as a port that returns); opening it works again.
  void Return(const std::string& name, bool output = true);
  int Listings() const { return listings_; }  // how often a list was asked for

  MidiRecorder& Recorder() { return *recorder_; }

  std::vector<std::string> outputs{"Recorder"};
  std::vector<std::string> inputs{"Recorder In"};
  int failOpen = 0;

 private:
  struct Device {
    std::string name;
    std::shared_ptr<RecordingLoss> lost;  // shared with what is open of it
  };
  std::shared_ptr<RecordingLoss> LossOf(const std::string& name);

  std::shared_ptr<MidiRecorder> recorder_;
  std::shared_ptr<MidiInputHandler> inputHandler_;
  std::vector<Device> open_;
  std::function<void()> changed_;
  int listings_ = 0;
  bool mapperGone_ = false;
};

}  // namespace varnel
