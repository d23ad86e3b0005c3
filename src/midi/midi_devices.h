// The device layer: one output and at most one input for the whole program, the message kinds the
// song produces, and the channel preparation that brings every MIDI channel into the song's state.
//
// Threads: Send* and PrepareChannels may be called from the UI thread and the row clock at once;
// opening and closing devices and the Select* calls belong to the UI thread.
#pragma once

#include <atomic>
#include <bitset>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_output.h"
#include "midi/sounding_notes.h"

namespace varnel {

class TVNSong;

// What each of the event types 1..9 sends when the MIDI channel's preset is not set.
inline constexpr int DefaultControllerValues[10] = {0, 64, 100, 0, 127, 0, 0, 0, 127, 0};

// Controller numbers of the event types 1..9 (pan, volume, modulation, expression, sustain,
// reverb, chorus, cut-off, resonance).
inline constexpr int EventControllers[10] = {0, 10, 7, 1, 11, 64, 91, 93, 74, 71};

constexpr int EventPitchWheel = 10;
constexpr int EventControlChange = 11;
constexpr int EventNRPN = 12;
constexpr int EventRPN = 13;
constexpr int EventProgram = 14;
constexpr int EventTempo = 15;

// Options of one output device, kept by its name (the menu caption, as the song stores it).
struct OutputOptions {
  bool midiClock = false;        // send MIDI clock, Start, Continue, Stop and Song Position Pointer
  double latencyOffsetMs = 0;    // timestamping outputs: positive delays, negative advances (-1000..1000)
  friend bool operator==(const OutputOptions&, const OutputOptions&) = default;
};

class MidiDevices {
 public:
  MidiDevices(MidiBackend& backend, TVNSong& song);
  ~MidiDevices();

  // Called after a tempo event has set the song's BPM, with the event's time (the transport
  // restarts its timer).
  void SetTempoHandler(std::function<void(MidiTime)> handler) { tempoHandler_ = std::move(handler); }
  // Receives every incoming message on the backend's thread (default: nothing).
  void SetInputHandler(MidiInputHandler handler) { inputHandler_ = std::move(handler); }
  // The same with the time each message arrived; used instead of the plain handler when set.
  // Both apply from the next OpenMidiIn.
  void SetTimedInputHandler(TimedMidiInputHandler handler) { timedInputHandler_ = std::move(handler); }

  // Per-device options (UI thread). They apply whenever that device is the open output; the
  // latency offset at once, MIDI clock from the next start of playback.
  void SetOutputOptions(const std::string& deviceName, const OutputOptions& options);
  OutputOptions GetOutputOptions(const std::string& deviceName) const;
  // The open output's: its name ("MIDI Mapper" for -1) and whether it gets MIDI clock.
  std::string OutDeviceName() const;
  bool MidiClockEnabled() const { return midiClock_.load(); }
  // How far ahead of its rows the row clock should run for the open output (MidiOutput::Lead).
  std::chrono::nanoseconds OutputLead() const;
  // The open output's MidiOutput::ClockRatio (1 with none).
  double OutputClockRatio() const;
  // Withdraws what the open output still holds for later than `after` (MidiOutput::CancelAfter).
  void CancelPending(MidiTime after);

  std::vector<std::string> GetMidiOutDevices();
  std::vector<std::string> GetMidiInDevices();
  bool OpenMidiOut(int deviceId);
  bool CloseMidiOut();
  bool OpenMidiIn(int deviceId);
  bool CloseMidiIn();
  int OutDeviceId() const { return outDeviceId_; }
  int InDeviceId() const { return inDeviceId_; }
  bool InputOpenFlag() const { return inputOpen_; }
  bool HasOutput() const;

  // What the device menus do: item 0 is "MIDI Mapper" (output) or "None" (input), item i > 0 is
  // device i - 1. The caption is stored in the song and shown on the status bar.
  void SelectOutDevice(int deviceId, const std::string& caption);
  void SelectInDevice(int deviceId, const std::string& caption);
  // After a song is loaded: select the output the song names, if there is one and it is not in use.
  void CheckOutDevice();
  // At start-up: the devices stored in the settings (an empty name means the default item).
  void RestoreDevices(const std::string& outName, const std::string& inName);

  // Sending. Channel messages for channels outside 0..15 are dropped.
  void SendShortMessage(int status, int channel, int data1, int data2, MidiTime when = SendNow);
  void NoteOn(int channel, int note, int velocity, MidiTime when = SendNow);
  void NoteOff(int channel, int note, int velocity, MidiTime when = SendNow);
  void PitchWheel(int channel, int data1, int data2, MidiTime when = SendNow);
  // Controller 123 on one channel, or with -1 on every channel; each sounding note of those
  // channels first gets its own note-off, as some synths ignore the controller.
  void AllNotesOff(int channel, MidiTime when = SendNow);
  void ResetChannels(int channel, MidiTime when = SendNow);
  void SendChannelEvent(int channel, int type, int value, int param, MidiTime when = SendNow);
  void PrepareChannels(int channel, MidiTime when = SendNow);
  // An incoming message passed on to the output on MIDI channel `channel`.
  void PassThrough(const ShortMessage& message, int channel);
  // System messages (MIDI clock, Start, Continue, Stop) and the Song Position Pointer (0..16383).
  void SendSystem(uint8_t status, MidiTime when = SendNow);
  void SongPositionPointer(int sixteenths, MidiTime when = SendNow);
  int SoundingNoteCount(int channel = -1) const;
  // The notes sounding on MIDI channel 0..15 (started by Varnel and not yet ended); any thread.
  std::bitset<128> NotesSounding(int channel) const;

 private:
  void Send(const ShortMessage& message, MidiTime when);
  static std::string ResultText(int result);
  void ApplyOptions();
  // Note-offs for the sounding notes of `channel` (-1: all); marks in `released` the channels that had
  // any, with the time their last note-off went at.
  int Release(int channel, MidiTime when, MidiTime (&released)[16]);

  MidiBackend& backend_;
  TVNSong& song_;
  std::function<void(MidiTime)> tempoHandler_;
  MidiInputHandler inputHandler_;
  TimedMidiInputHandler timedInputHandler_;
  std::map<std::string, OutputOptions> options_;
  std::atomic<bool> midiClock_{false};

  mutable std::mutex outputMutex_;  // held only to swap the output and for one Send
  std::unique_ptr<MidiOutput> output_;
  SoundingNotes sounding_;  // guarded by outputMutex_
  std::unique_ptr<MidiInput> input_;
  std::vector<std::string> outNames_;  // from the last enumeration
  std::vector<std::string> inNames_;
  int outDeviceId_ = -1;
  int outResult_ = 0;
  int outDeviceCount_ = 0;
  int inDeviceId_ = -1;
  bool inputOpen_ = false;
  int inResult_ = 0;
  int inDeviceCount_ = 0;
};

}  // namespace varnel
