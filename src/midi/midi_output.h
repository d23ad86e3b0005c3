// The device interfaces the core talks to. Backends (system ports, the embedded synth, a recorder)
// implement them; the core never sees a device library.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace varnel {

using MidiClock = std::chrono::steady_clock;
using MidiTime = MidiClock::time_point;

// "Send at once": messages of the editor, the piano and the channel panel carry no intended time.
inline constexpr MidiTime SendNow{};

// One channel or system message of one to three bytes, as it goes on the wire.
struct ShortMessage {
  uint8_t bytes[3] = {0, 0, 0};
  uint8_t size = 3;
  // The block of sixteen MIDI channels a channel message belongs to (0..2), for an output that plays
  // more than one block itself (MidiOutput::Blocks); not part of the bytes on the wire.
  uint8_t port = 0;

  friend bool operator==(const ShortMessage&, const ShortMessage&) = default;
};

// The bytes of a message kind: 0xC0/0xD0 take one data byte, system real-time messages none.
inline ShortMessage MakeShortMessage(uint8_t status, uint8_t data1, uint8_t data2) {
  const uint8_t kind = status & 0xF0;
  uint8_t size = 3;
  if (kind == 0xC0 || kind == 0xD0 || status == 0xF1 || status == 0xF3) size = 2;
  if (status >= 0xF4) size = 1;
  return ShortMessage{{status, data1, data2}, size};
}

// An open output device. Send may be called from the UI thread and the row clock at the same time;
// each call hands over one complete message. `when` is the row's intended time on MidiClock
// (SendNow for immediate messages): a backend that can timestamp places the message there, the
// others send at once.
class MidiOutput {
 public:
  virtual ~MidiOutput() = default;
  virtual void Send(const ShortMessage& message, MidiTime when) = 0;

  // The rest concerns outputs that place messages at their time (JACK, the ALSA queue, the embedded
  // synth). They deliver at the intended time plus a constant latency; to place a message exactly
  // they need it this long before its intended time, so the row clock runs that far ahead.
  virtual std::chrono::nanoseconds Lead() const { return {}; }
  // The per-device latency offset, for the messages sent from then on: positive delays them,
  // negative brings them forward.
  virtual void SetLatencyOffset(std::chrono::nanoseconds) {}
  // Withdraws the messages sent so far that have not gone out yet and whose time is later than
  // `after`: what a stop must not let sound. Messages sent afterwards are not affected.
  virtual void CancelAfter(MidiTime after) { (void)after; }
  // Whether the output keeps messages until their time (so CancelAfter may withdraw some).
  virtual bool HoldsMessages() const { return false; }
  // How long one second of the device's sample clock lasts on MidiClock (1: the same clock). An
  // output that places messages on its frames measures it; the row clock stretches its rows by it,
  // so that rows lie a whole number of the device's frames apart and clocks between them too.
  virtual double ClockRatio() const { return 1.0; }
  // How many blocks of sixteen MIDI channels the device plays itself (ShortMessage::port says which):
  // the embedded synth plays all three, a port on the wire one.
  virtual int Blocks() const { return 1; }
  // Why the device can no longer be reached (its server stopped, its port vanished); empty while it
  // works. A lost output drops what it is sent. UI thread; never blocks.
  virtual std::string Lost() const { return {}; }
};

// An open input device. It calls its handler on the backend's own thread, one message at a time,
// in arrival order, until it is destroyed.
class MidiInput {
 public:
  virtual ~MidiInput() = default;
  // As MidiOutput::Lost.
  virtual std::string Lost() const { return {}; }
};

using MidiInputHandler = std::function<void(const ShortMessage&)>;
// The same with the time the message arrived on MidiClock (JACK: from the frame it arrived at).
using TimedMidiInputHandler = std::function<void(const ShortMessage&, MidiTime)>;

// Lists and opens devices. Device ids are indexes into the last listing; output id -1 is the "MIDI
// Mapper", Varnel's embedded General MIDI synth. A failed open returns null and sets a non-zero
// result code.
class MidiBackend {
 public:
  virtual ~MidiBackend() = default;
  virtual std::vector<std::string> OutputNames() = 0;
  virtual std::vector<std::string> InputNames() = 0;
  virtual std::unique_ptr<MidiOutput> OpenOutput(int id, int& result) = 0;
  virtual std::unique_ptr<MidiInput> OpenInput(int id, MidiInputHandler handler, int& result) = 0;
  // Backends that know when a message arrived override this; the others give the time of the call.
  virtual std::unique_ptr<MidiInput> OpenTimedInput(int id, TimedMidiInputHandler handler, int& result) {
    return OpenInput(
        id, [handler = std::move(handler)](const ShortMessage& message) { handler(message, MidiClock::now()); },
        result);
  }
  // What a result code of a failed open means, for the status bar ("" when the backend cannot say).
  virtual std::string ResultText(int result) const {
    (void)result;
    return {};
  }
  // Whether a failed open with this code may work later without the user doing anything in Varnel
  // (a server or a port that is not there yet): the device then waits as missing.
  virtual bool MayReturn(int result) const {
    (void)result;
    return false;
  }
  // `changed` runs (on any thread, it must not block) when devices may have come or gone: a server
  // stopped or started, a port appeared or vanished. Backends that cannot tell never call it.
  virtual void SetChangeHandler(std::function<void()> changed) { (void)changed; }
};

}  // namespace varnel
