// The device layer: up to three outputs (MIDI channels 0..15, 16..31 and 32..47, each on wire
// channels 1..16 of its own device) and at most one input, the message kinds the song produces, the
// channel preparation that brings every MIDI channel into the song's state, and the ledger of the
// notes each output sounds. Which devices are chosen, and what state each is in, belongs to the
// DeviceSession this object holds (device_session.h).
//
// Threads: Send*, PrepareChannels and the notes calls may be called from the UI thread and the row
// clock at once; opening, closing and the session belong to the UI thread.
#pragma once

#include <array>
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

class DeviceSession;
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

// The song's 48 MIDI channels go to three outputs of sixteen wire channels each.
inline constexpr int OutputBlocks = 3;
inline constexpr int BlockOf(int midiChannel) { return midiChannel / 16; }

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
  MidiDevices(const MidiDevices&) = delete;
  MidiDevices& operator=(const MidiDevices&) = delete;

  // Which devices are chosen, by name, and their states (UI thread).
  DeviceSession& Session() { return *session_; }
  const DeviceSession& Session() const { return *session_; }

  // Called for a tempo event with its tempo (at least 32 BPM) and time: the transport plays on at
  // that tempo. The song's own BPM stays as it is.
  void SetTempoHandler(std::function<void(int bpm, MidiTime)> handler) { tempoHandler_ = std::move(handler); }
  // Receives every incoming message on the backend's thread (default: nothing).
  void SetInputHandler(MidiInputHandler handler) { inputHandler_ = std::move(handler); }
  // The same with the time each message arrived; used instead of the plain handler when set.
  // Both apply from the next OpenMidiIn.
  void SetTimedInputHandler(TimedMidiInputHandler handler) { timedInputHandler_ = std::move(handler); }
  // What an opened input calls: the handlers above (the session opens inputs with it).
  TimedMidiInputHandler InputDispatch();

  // Per-device options (UI thread). They apply whenever that device is open; the latency offset at
  // once, MIDI clock from the next start of playback.
  void SetOutputOptions(const std::string& deviceName, const OutputOptions& options);
  OutputOptions GetOutputOptions(const std::string& deviceName) const;
  // The first output's chosen device ("MIDI Mapper" for the embedded synth).
  std::string OutDeviceName() const;
  // Whether any open output gets MIDI clock.
  bool MidiClockEnabled() const;
  // How far ahead of its rows the row clock should run: the longest MidiOutput::Lead of the open outputs.
  std::chrono::nanoseconds OutputLead() const;
  // The MidiOutput::ClockRatio of the first open output (1 with none).
  double OutputClockRatio() const;
  // Withdraws what the open outputs still hold for later than `after` (MidiOutput::CancelAfter).
  void CancelPending(MidiTime after);

  // The first output and the input by id of the last listing, as the device menus once numbered
  // them (-1: the MIDI Mapper, or "None" for the input). The session chooses by name.
  std::vector<std::string> GetMidiOutDevices();
  std::vector<std::string> GetMidiInDevices();
  bool OpenMidiOut(int deviceId);
  bool CloseMidiOut();  // every output, ending the notes each sounds
  bool OpenMidiIn(int deviceId);
  bool CloseMidiIn();
  int OutDeviceId() const;
  int InDeviceId() const;
  bool InputOpenFlag() const;
  bool HasOutput() const;  // the first output is open
  void SelectOutDevice(int deviceId, const std::string& caption);
  void SelectInDevice(int deviceId, const std::string& caption);
  void CheckOutDevice();
  void RestoreDevices(const std::string& outName, const std::string& inName);

  // The outputs of the three blocks, as the session opens and closes them (UI thread).
  // Installs an output for `block` under its device name and prepares the block's channels. When
  // the same device had gone with notes sounding, those get their note-offs first.
  void InstallOutput(int block, std::unique_ptr<MidiOutput> output, const std::string& name);
  // Ends the block's sounding notes with note-offs, then all-notes-off, and closes the output.
  void CloseOutput(int block);
  // For an output whose device has gone: closed without a message, its sounding notes remembered
  // for when the same device returns.
  void DropLostOutput(int block);
  bool HasOutput(int block) const;  // the block has an output of its own
  // Sends PrepareChannels for the sixteen channels of a block (when they reach a device).
  void PrepareBlock(int block);
  // The output's MidiOutput::Lost (empty: open and working, or not open).
  std::string OutputLost(int block) const;

  // Sending. Channels 0..47; a channel whose block has no output sends nothing.
  void SendShortMessage(int status, int channel, int data1, int data2, MidiTime when = SendNow);
  void NoteOn(int channel, int note, int velocity, MidiTime when = SendNow);
  void NoteOff(int channel, int note, int velocity, MidiTime when = SendNow);
  void PitchWheel(int channel, int data1, int data2, MidiTime when = SendNow);
  // Controller 123 on one channel, or with -1 on every channel; each sounding note of those
  // channels first gets its own note-off, as some synths ignore the controller.
  void AllNotesOff(int channel, MidiTime when = SendNow);
  // Controllers 121 and 123 on one channel or all (-1), after the note-offs of their sounding notes.
  void ResetChannels(int channel, MidiTime when = SendNow);
  void SendChannelEvent(int channel, int type, int value, int param, MidiTime when = SendNow);
  // One channel, or with -1 every channel whose block has an output.
  void PrepareChannels(int channel, MidiTime when = SendNow);
  // An incoming message passed on to the output on MIDI channel `channel` (0..47).
  void PassThrough(const ShortMessage& message, int channel);
  // System messages (MIDI clock, Start, Continue, Stop) and the Song Position Pointer (0..16383),
  // to each output whose device gets MIDI clock.
  void SendSystem(uint8_t status, MidiTime when = SendNow);
  void SongPositionPointer(int sixteenths, MidiTime when = SendNow);
  // Notes sounding on MIDI channel 0..47, or on all (-1).
  int SoundingNoteCount(int channel = -1) const;
  // The notes sounding on MIDI channel 0..47 (started by Varnel and not yet ended); any thread.
  std::bitset<128> NotesSounding(int channel) const;

 private:
  void Send(int block, const ShortMessage& message, MidiTime when);
  // Under outputMutex_: where a block's messages go (null: nowhere).
  MidiOutput* Route(int block) const;
  bool Routed(int block) const;
  // Note-offs and all-notes-off for what a block sounds.
  void EndNotes(int block);
  // Prepares the channels of every block that plays on `output`.
  void PrepareRouted(const MidiOutput* output);
  void ApplyOptions(int block);
  // Note-offs for the sounding notes of MIDI channel `channel` (-1: all; of one block only with
  // `onlyBlock`); returns the channels (bit c for 0..47) that had any, with in `last` the time their
  // last note-off went at.
  uint64_t Release(int channel, MidiTime when, std::array<MidiTime, 48>& last, int onlyBlock = -1);
  // Controller 123 on a channel, after the time of its last note-off when it had sounding notes.
  void NotesOffController(int channel, uint64_t released, const std::array<MidiTime, 48>& last, MidiTime when);

  struct Block {
    std::unique_ptr<MidiOutput> output;
    // The device installed, or the one that went with notes sounding; empty when none is chosen
    // (the block then plays on the first output, if that plays every block).
    std::string name;
    SoundingNotes sounding;       // what the output (or the device that went) still sounds
    bool midiClock = false;
  };

  MidiBackend& backend_;
  TVNSong& song_;
  std::function<void(int, MidiTime)> tempoHandler_;
  MidiInputHandler inputHandler_;
  TimedMidiInputHandler timedInputHandler_;
  std::map<std::string, OutputOptions> options_;

  mutable std::mutex outputMutex_;  // held only to swap an output and for one Send
  std::array<Block, OutputBlocks> blocks_;  // outputs and ledgers guarded by outputMutex_
  std::unique_ptr<DeviceSession> session_;  // last: it closes its devices through the members above
};

}  // namespace varnel
