// The system's MIDI ports through RtMidi (ALSA sequencer and JACK on Linux, WinMM on Windows,
// CoreMIDI on macOS), Varnel's own virtual output port, and the embedded synth as the MIDI Mapper.
//
// Outputs are listed API by API in the order RtMidi compiled them in, each API's ports in the
// system's order, then the virtual port. An API whose MIDI system is missing simply contributes
// nothing. JACK's ports (and the virtual port, when it is JACK's) are Varnel's own JACK clients,
// which place every message at its frame; ALSA sequencer outputs are scheduled on an ALSA queue
// where the sequencer exists. Other RtMidi ports send at once, and messages meant for later (MIDI
// clock) wait for their time in a ScheduledOutput. Names are what the system calls the port (JACK: "client:port"), so a song that stores a
// device name finds the same port again; a name that repeats gets the API's name appended.
// Failed opens return the codes of devices/device_results.h.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/gm_synth.h"
#include "devices/jack_server.h"
#include "midi/midi_output.h"

namespace varnel {

// The virtual port's name as other programs see it, and its entry in the output list.
inline constexpr const char* VirtualPortName = "Varnel";
inline constexpr const char* VirtualPortEntry = "Varnel (virtual port)";

class SystemMidiBackend final : public MidiBackend {
 public:
  explicit SystemMidiBackend(SynthSettings synth = {});
  ~SystemMidiBackend() override;

  // The settings of the MIDI Mapper; they apply from its next open.
  void SetSynthSettings(SynthSettings synth);
  // JACK through Varnel's own clients (the default) or through RtMidi's, whose messages land on
  // period boundaries. Applies from the next listing.
  void SetNativeJack(bool native);

  std::vector<std::string> OutputNames() override;
  std::vector<std::string> InputNames() override;
  // Ids index the last listing (it is made first if there was none); -1 is the embedded synth.
  std::unique_ptr<MidiOutput> OpenOutput(int id, int& result) override;
  std::unique_ptr<MidiInput> OpenInput(int id, MidiInputHandler handler, int& result) override;
  std::unique_ptr<MidiInput> OpenTimedInput(int id, TimedMidiInputHandler handler, int& result) override;
  std::string ResultText(int result) const override;
  // A missing MIDI system or audio output, or a port not listed, may come back.
  bool MayReturn(int result) const override;
  // JACK's clients tell when their server stops and when ports come and go.
  void SetChangeHandler(std::function<void()> changed) override { news_->SetHandler(std::move(changed)); }

  struct Port {
    int api = 0;           // RtMidi::Api
    std::string system;    // the name the MIDI system reports
    std::string name;      // the listed name
    bool isVirtual = false;
    bool native = false;   // a JACK port reached through Varnel's own client
  };

 private:
  std::vector<Port> ListPorts(bool outputs);
  bool PortAt(bool outputs, int id, Port& port);

  std::mutex mutex_;
  SynthSettings synth_;
  bool nativeJack_ = true;
  std::vector<Port> outputs_, inputs_;
  bool outputsListed_ = false, inputsListed_ = false;
  // Set while the virtual port is open; the open port clears it, even after the backend has gone.
  std::shared_ptr<std::atomic<bool>> virtualOpen_ = std::make_shared<std::atomic<bool>>(false);
  // Shared with what is open, which may outlive the backend.
  std::shared_ptr<DeviceNews> news_ = std::make_shared<DeviceNews>();
};

}  // namespace varnel
