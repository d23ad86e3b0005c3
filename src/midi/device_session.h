// Which MIDI devices the user has chosen, remembered by name, and what state each is in: the three
// outputs (MIDI channels 1-16, 17-32, 33-48) and the input. A device that is not there (its port
// has gone, its server stopped or has not started yet) is "missing", a normal state: the session
// keeps its name, tells the user, and opens it again as soon as it is back, ending the notes it was
// left sounding and preparing its channels. A device that cannot be opened for good has "failed".
//
// Threads: UI thread, but the wake handler, which the backend may call on any thread.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "midi/midi_devices.h"
#include "midi/midi_output.h"

namespace varnel {

class TVNSong;

// The entry of the output list that stands for the embedded synth, and "no input".
inline constexpr const char* MapperName = "MIDI Mapper";
inline constexpr const char* NoInputName = "None";

enum class DeviceState {
  None,     // nothing chosen (the second and third output, the input)
  Open,     // open and working
  Missing,  // chosen but not there: opened again when it returns
  Failed,   // chosen, and the open failed in a way that waiting does not mend
};

struct DeviceStatus {
  std::string name;  // as chosen; empty for none
  DeviceState state = DeviceState::None;
  int result = 0;      // the result code of the failed open, when there was one
  std::string reason;  // why it is missing or failed, for the user
  friend bool operator==(const DeviceStatus&, const DeviceStatus&) = default;
};

class DeviceSession {
 public:
  static constexpr int InputSlot = OutputBlocks;  // slots 0..2 are the outputs
  static constexpr int Slots = OutputBlocks + 1;

  DeviceSession(MidiBackend& backend, MidiDevices& devices, TVNSong& song);
  ~DeviceSession();
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // The devices there now, from a fresh listing (the device menus call these as they open).
  std::vector<std::string> OutputNames();
  std::vector<std::string> InputNames();

  // Chooses the output of a block by name: MapperName for the embedded synth; an empty name closes
  // the second and third output (the first falls back to the MIDI Mapper). A name that is not listed
  // waits as missing. The first output's name is stored in the song's DeviceName.
  void SelectOutput(int block, const std::string& name);
  // Chooses the input by name; empty or NoInputName closes it.
  void SelectInput(const std::string& name);
  // After a song is loaded: the first output becomes the device the song names, if it is listed.
  void CheckSongDevice();

  const DeviceStatus& Status(int slot) const { return status_[size_t(slot)]; }
  // The text the status bar keeps for a slot: "Out: NAME", "Out 2: NAME (missing: why)", ...; without
  // the reason "Out 2: NAME (missing)". Empty for the second and third output when none is chosen.
  std::string StatusText(int slot, bool withReason = true) const;
  bool AnyMissing() const;

  // Notices devices that have gone and reopens missing ones that are back. The listing this needs
  // is made at most once a second, or at once after the backend said devices changed. Call it from a
  // timer about once a second, and when woken.
  void Poll(MidiTime now = MidiClock::now());
  // Called (on any thread; it must not block) when Poll should run soon: the backend saw devices
  // come or go, or a device was lost.
  void SetWake(std::function<void()> wake);
  // Runs after a slot's state changed; `firstFailure` when this device fails for the first time in
  // this session (the GUI then shows a message box).
  void SetListener(std::function<void(int slot, const DeviceStatus& status, bool firstFailure)> listener) {
    listener_ = std::move(listener);
  }

  // Closes the input and every output, ending what they sound (the program is closing).
  void CloseAll();
  void CloseInput();
  // The input's id in the last input listing (-1 none or not listed), the first output's in the last
  // output listing (-1 for the MIDI Mapper, -2 when not listed).
  int InputId() const;
  int OutputId() const;
  // Opens a device by its id in the last listing, as OpenMidiOut and OpenMidiIn did (-1: the MIDI
  // Mapper, or no input). False on failure, with the status text shown.
  bool OpenOutputById(int id);
  bool OpenInputById(int id);

 private:
  void SetStatus(int slot, DeviceStatus status);
  // Opens the chosen device of a slot; false when it failed (the state says how).
  bool Open(int slot, bool reopening);
  bool OpenOutput(int block, int id, const std::string& name, bool reopening);
  bool OpenInput(int id, const std::string& name, bool reopening);
  void Fail(int slot, const std::string& name, int result, bool reopening);
  void Lose(int slot, const std::string& why);
  bool Listed(int slot, const std::string& name) const;
  std::string SlotLabel(int slot) const;  // "MIDI out", "MIDI out 2", "MIDI in"

  MidiBackend& backend_;
  MidiDevices& devices_;
  TVNSong& song_;
  std::array<DeviceStatus, Slots> status_;
  std::unique_ptr<MidiInput> input_;
  std::vector<std::string> outputs_, inputs_;  // the last listings
  std::set<std::string> failedOnce_;           // devices whose failure the user has been told of
  std::function<void(int, const DeviceStatus&, bool)> listener_;
  struct Wake;
  std::shared_ptr<Wake> wake_;  // shared with the backend's change handler, which may outlive this
  MidiTime lastListing_{};
  bool polling_ = false;
};

}  // namespace varnel
