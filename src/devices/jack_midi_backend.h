// Varnel's own JACK MIDI ports, on libjack directly. An output places each message at the frame of
// its intended time plus one period, so a steady row grid leaves the port exactly one row apart
// whatever the period; an input stamps each message with the time of the frame it arrived at.
//
// Real-time rule: the process callbacks neither lock nor allocate. Senders hand messages over
// through a lock-free ring (TimedMessageQueue); the input hands them to a delivery thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/jack_server.h"
#include "midi/midi_output.h"

namespace varnel {

// How early a message should reach a JACK output: the row clock's wake-up latency, with room for
// the stalls of a loaded (or virtual) machine, which reach several milliseconds. Only the row is
// worked out earlier; it still sounds at its time plus one period, and a stop withdraws it.
inline constexpr std::chrono::nanoseconds JackScheduleMargin = std::chrono::milliseconds(8);

// The MIDI ports of the current JACK server that Varnel can send to (destinations) or receive
// from, by full name ("client:port"), in the server's order. Nothing when no server runs.
std::optional<std::vector<std::string>> JackMidiPorts(bool destinations);

class JackMidiOutput final : public MidiOutput {
 public:
  // A port connected to `target` (a destination's full name); with an empty target a port named
  // `portName` that other programs connect to. Null with a code of device_results.h on failure.
  // `news` hears when the server stops or ports come and go.
  static std::unique_ptr<JackMidiOutput> Open(const std::string& target, const std::string& portName, int& result,
                                              std::shared_ptr<DeviceNews> news = nullptr);
  ~JackMidiOutput() override;  // lets what is queued go out first (briefly)

  void Send(const ShortMessage& message, MidiTime when) override;
  std::chrono::nanoseconds Lead() const override;
  void SetLatencyOffset(std::chrono::nanoseconds offset) override;
  void CancelAfter(MidiTime after) override;
  bool HoldsMessages() const override { return true; }
  double ClockRatio() const override;  // of the server's sample clock, measured as it runs
  std::string Lost() const override;   // the server stopped, or the target port has gone

  std::string PortName() const;  // Varnel's port, full name

  struct Client;

 private:
  explicit JackMidiOutput(std::unique_ptr<Client> client);
  std::unique_ptr<Client> client_;
};

class JackMidiInput final : public MidiInput {
 public:
  // A port connected from `source` (an output port's full name). The handler runs on a thread of
  // the input's own, one message at a time in arrival order, until the input is destroyed.
  static std::unique_ptr<JackMidiInput> Open(const std::string& source, TimedMidiInputHandler handler, int& result,
                                             std::shared_ptr<DeviceNews> news = nullptr);
  ~JackMidiInput() override;
  std::string Lost() const override;  // the server stopped, or the source port has gone

  struct Client;

 private:
  explicit JackMidiInput(std::unique_ptr<Client> client);
  std::unique_ptr<Client> client_;
};

}  // namespace varnel
