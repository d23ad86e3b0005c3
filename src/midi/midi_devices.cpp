#include "midi/midi_devices.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "song/song.h"

namespace varnel {

namespace {

std::string WithoutAmpersands(std::string caption) {
  caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
  return caption;
}

}  // namespace

MidiDevices::MidiDevices(MidiBackend& backend, TVNSong& song) : backend_(backend), song_(song) {}

MidiDevices::~MidiDevices() {
  input_.reset();
  CloseMidiOut();
}

std::string MidiDevices::ResultText(int result) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", result);
  return text;
}

std::vector<std::string> MidiDevices::GetMidiOutDevices() {
  auto names = backend_.OutputNames();
  outDeviceCount_ = int(names.size());
  outNames_ = names;
  return names;
}

std::vector<std::string> MidiDevices::GetMidiInDevices() {
  auto names = backend_.InputNames();
  inDeviceCount_ = int(names.size());
  inNames_ = names;
  return names;
}

bool MidiDevices::HasOutput() const {
  std::scoped_lock lock(outputMutex_);
  return output_ != nullptr;
}

bool MidiDevices::OpenMidiOut(int deviceId) {
  CloseMidiOut();
  int result = 0;
  auto output = backend_.OpenOutput(deviceId, result);
  outResult_ = output ? 0 : (result != 0 ? result : 1);
  if (!output) {
    song_.Report().Status("Could not open midi out, rc = " + ResultText(outResult_), 0);
    return false;
  }
  {
    std::scoped_lock lock(outputMutex_);
    output_ = std::move(output);
  }
  outDeviceId_ = deviceId;
  ApplyOptions();
  PrepareChannels(-1);
  song_.Report().Status("Device OK", 0);
  return true;
}

bool MidiDevices::CloseMidiOut() {
  if (HasOutput()) {
    // What the output still holds for later would sound after the close began; the notes it
    // started are ended before it goes, on a device change as on closing the program.
    CancelPending(MidiClock::now());
    MidiTime last[16];
    const uint32_t channels = Release(-1, SendNow, last);
    for (int c = 0; c < 16; ++c)
      if (channels & (1u << c)) SendShortMessage(0xB0, c, 123, 0, last[c]);
  }
  std::unique_ptr<MidiOutput> old;
  {
    std::scoped_lock lock(outputMutex_);
    old = std::move(output_);
    sounding_.Clear(-1);
  }
  old.reset();  // closing may take a while: never under the lock the row clock sends with
  outResult_ = 0;
  return true;
}

void MidiDevices::SetOutputOptions(const std::string& deviceName, const OutputOptions& options) {
  OutputOptions clamped = options;
  clamped.latencyOffsetMs = std::isfinite(options.latencyOffsetMs) ? std::clamp(options.latencyOffsetMs, -1000.0, 1000.0) : 0;
  options_[deviceName] = clamped;
  if (deviceName == OutDeviceName()) ApplyOptions();
}

OutputOptions MidiDevices::GetOutputOptions(const std::string& deviceName) const {
  const auto it = options_.find(deviceName);
  return it == options_.end() ? OutputOptions{} : it->second;
}

std::string MidiDevices::OutDeviceName() const {
  if (outDeviceId_ < 0) return "MIDI Mapper";
  return outDeviceId_ < int(outNames_.size()) ? WithoutAmpersands(outNames_[size_t(outDeviceId_)]) : "";
}

void MidiDevices::ApplyOptions() {
  const OutputOptions options = GetOutputOptions(OutDeviceName());
  midiClock_ = options.midiClock;
  const auto offset = std::chrono::nanoseconds(int64_t(std::llround(options.latencyOffsetMs * 1e6)));
  std::scoped_lock lock(outputMutex_);
  if (output_) output_->SetLatencyOffset(offset);
}

std::chrono::nanoseconds MidiDevices::OutputLead() const {
  std::scoped_lock lock(outputMutex_);
  return output_ ? output_->Lead() : std::chrono::nanoseconds{};
}

double MidiDevices::OutputClockRatio() const {
  std::scoped_lock lock(outputMutex_);
  return output_ ? output_->ClockRatio() : 1.0;
}

void MidiDevices::CancelPending(MidiTime after) {
  std::scoped_lock lock(outputMutex_);
  if (!output_) return;
  if (after == SendNow) after = MidiClock::now();
  output_->CancelAfter(after);
  // A withdrawn note-off leaves its note sounding: the release that follows must end it.
  if (output_->HoldsMessages()) sounding_.Withdraw(after);
}

bool MidiDevices::OpenMidiIn(int deviceId) {
  if (deviceId < 0) {
    inputOpen_ = false;
    inDeviceId_ = -1;
    song_.Report().Status("No MIDI In Device selected", 0);
    return false;
  }
  input_.reset();
  int result = 0;
  input_ = backend_.OpenTimedInput(
      deviceId,
      [this](const ShortMessage& message, MidiTime when) {
        if (timedInputHandler_) timedInputHandler_(message, when);
        else if (inputHandler_) inputHandler_(message);
      },
      result);
  inResult_ = input_ ? 0 : (result != 0 ? result : 1);
  if (!input_) {
    song_.Report().Status("Could not open midi in, rc = " + ResultText(inResult_), 0);
    return false;
  }
  PrepareChannels(-1);
  song_.Report().Status("Device OK", 0);
  inDeviceId_ = deviceId;
  return true;
}

bool MidiDevices::CloseMidiIn() {
  if (!inputOpen_) return false;
  input_.reset();
  inResult_ = 0;
  return true;
}

void MidiDevices::SelectOutDevice(int deviceId, const std::string& caption) {
  CloseMidiOut();
  OpenMidiOut(deviceId);
  outDeviceId_ = deviceId;  // the item is checked and stored even when the open failed
  song_.DeviceName = WithoutAmpersands(caption);
  song_.Report().Status("Device: " + song_.DeviceName, 0);
}

void MidiDevices::SelectInDevice(int deviceId, const std::string& caption) {
  if (inputOpen_) CloseMidiIn();
  OpenMidiIn(deviceId);
  inDeviceId_ = deviceId;
  song_.InDeviceName = WithoutAmpersands(caption);
  song_.Report().Status("InDevice: " + song_.InDeviceName, 0);
  inputOpen_ = true;
}

void MidiDevices::CheckOutDevice() {
  if (song_.DeviceName.empty()) return;
  if (outNames_.empty()) GetMidiOutDevices();
  std::vector<std::string> captions{"MIDI Mapper"};
  captions.insert(captions.end(), outNames_.begin(), outNames_.end());
  for (size_t item = 0; item < captions.size(); ++item) {
    if (WithoutAmpersands(captions[item]) != song_.DeviceName) continue;
    const int id = int(item) - 1;
    if (id != outDeviceId_ || !HasOutput()) SelectOutDevice(id, captions[item]);
    return;
  }
}

void MidiDevices::RestoreDevices(const std::string& outName, const std::string& inName) {
  std::vector<std::string> outs{"MIDI Mapper"};
  const auto outNames = GetMidiOutDevices();
  outs.insert(outs.end(), outNames.begin(), outNames.end());
  size_t outItem = 0;
  for (size_t i = 0; i < outs.size(); ++i)
    if (!outName.empty() && WithoutAmpersands(outs[i]) == outName) outItem = i;  // the last match
  SelectOutDevice(int(outItem) - 1, outs[outItem]);

  std::vector<std::string> ins{"None"};
  const auto inNames = GetMidiInDevices();
  ins.insert(ins.end(), inNames.begin(), inNames.end());
  for (size_t i = ins.size(); i-- > 1;) {
    if (!inName.empty() && WithoutAmpersands(ins[i]) == inName) {
      SelectInDevice(int(i) - 1, ins[i]);
      break;
    }
  }
}

void MidiDevices::Send(const ShortMessage& message, MidiTime when) {
  std::scoped_lock lock(outputMutex_);
  if (!output_) return;
  if ((message.bytes[0] & 0xE0) == 0x80 || message.bytes[0] == 0xFF)
    sounding_.Track(message, when == SendNow ? MidiClock::now() : when);
  output_->Send(message, when);
}

int MidiDevices::Release(int channel, MidiTime when, MidiTime (&last)[16]) {
  struct Note {
    uint8_t channel, note;
    MidiTime start;
  };
  std::vector<Note> notes;
  {
    std::scoped_lock lock(outputMutex_);
    sounding_.ForEach(channel, [&](int c, int n, MidiTime start) { notes.push_back({uint8_t(c), uint8_t(n), start}); });
  }
  uint32_t channels = 0;
  const MidiTime now = when == SendNow ? MidiClock::now() : when;
  for (const Note& n : notes) {
    // A note the output has been given for later (the row clock runs ahead of timestamping outputs)
    // is ended after it starts, not before.
    const MidiTime at = n.start > now ? n.start : when;
    Send(MakeShortMessage(uint8_t(0x80 | n.channel), n.note, 0), at);
    if (!(channels & (1u << n.channel)) || at > last[n.channel]) last[n.channel] = at;
    channels |= 1u << n.channel;
  }
  return int(channels);
}

int MidiDevices::SoundingNoteCount(int channel) const {
  std::scoped_lock lock(outputMutex_);
  return sounding_.Count(channel);
}

std::bitset<128> MidiDevices::NotesSounding(int channel) const {
  std::bitset<128> notes;
  std::scoped_lock lock(outputMutex_);
  sounding_.ForEach(channel < 0 || channel > 15 ? 16 : channel, [&](int, int note, MidiTime) { notes.set(size_t(note)); });
  return notes;
}

void MidiDevices::SendSystem(uint8_t status, MidiTime when) {
  if (status < 0xF0) return;
  Send(MakeShortMessage(status, 0, 0), when);
}

void MidiDevices::SongPositionPointer(int sixteenths, MidiTime when) {
  if (sixteenths < 0 || sixteenths > 16383) return;
  Send(MakeShortMessage(0xF2, uint8_t(sixteenths & 0x7F), uint8_t(sixteenths >> 7)), when);
}

void MidiDevices::SendShortMessage(int status, int channel, int data1, int data2, MidiTime when) {
  if (channel < 0 || channel > 15) return;
  Send(MakeShortMessage(uint8_t(status + channel), uint8_t(data1), uint8_t(data2)), when);
}

void MidiDevices::NoteOn(int channel, int note, int velocity, MidiTime when) {
  SendShortMessage(0x90, channel, note, velocity, when);
}

void MidiDevices::NoteOff(int channel, int note, int velocity, MidiTime when) {
  SendShortMessage(0x80, channel, note, velocity, when);
}

void MidiDevices::PitchWheel(int channel, int data1, int data2, MidiTime when) {
  SendShortMessage(0xE0, channel, data1, data2, when);
}

void MidiDevices::AllNotesOff(int channel, MidiTime when) {
  if (channel > 15) return;  // beyond the wire's channels: nothing to send
  MidiTime last[16];
  const uint32_t released = uint32_t(Release(channel, when, last));
  auto controller = [&](int c) {
    SendShortMessage(0xB0, c, 123, 0, c < 16 && (released & (1u << c)) ? last[c] : when);
  };
  if (channel >= 0) {
    controller(channel);
    return;
  }
  for (int c = 0; c < MidiChannelCount; ++c) controller(c);
}

void MidiDevices::ResetChannels(int channel, MidiTime when) {
  const int first = channel >= 0 ? channel : 0;
  const int last = channel >= 0 ? channel : MidiChannelCount - 1;
  for (int c = first; c <= last; ++c) {
    SendShortMessage(0xB0, c, 121, 0, when);
    SendShortMessage(0xB0, c, 123, 0, when);
  }
}

void MidiDevices::SendChannelEvent(int channel, int type, int value, int param, MidiTime when) {
  if (value < 0 || value > (type == EventTempo ? 255 : 127) || type < 0 || type > 15) return;
  if (type >= 1 && type <= 9) {
    SendShortMessage(0xB0, channel, EventControllers[type], value, when);
  } else if (type == EventPitchWheel) {
    PitchWheel(channel, 0, value, when);
  } else if (type == EventControlChange) {
    if (param >= 0 && param <= 127) SendShortMessage(0xB0, channel, param, value, when);
  } else if (type == EventNRPN || type == EventRPN) {
    if (param < 0 || param > 16383) return;
    const int high = type == EventNRPN ? 99 : 101;
    SendShortMessage(0xB0, channel, high, param / 128, when);
    SendShortMessage(0xB0, channel, high - 1, param % 128, when);
    SendShortMessage(0xB0, channel, 6, value, when);
  } else if (type == EventProgram) {
    SendShortMessage(0xC0, channel, value, 0, when);
  } else if (type == EventTempo) {
    song_.BPM = uint8_t(std::max(value, 32));
    if (tempoHandler_) tempoHandler_(when);
  }
}

void MidiDevices::PrepareChannels(int channel, MidiTime when) {
  Trace("PrepareChannels ", channel);
  const int first = channel >= 0 ? channel : 0;
  const int last = channel >= 0 ? channel : 23;
  for (int c = first; c <= last && c < MidiChannelCount; ++c) {
    for (int type = 1; type <= 9; ++type) {
      const int preset = song_.MidiChannelParams(c, type);
      SendChannelEvent(c, type, preset >= 128 ? DefaultControllerValues[type] : preset, -1, when);
    }
    PitchWheel(c, 0, 64, when);
    const int msb = song_.BankSelect(c, 0), lsb = song_.BankSelect(c, 1);
    SendShortMessage(0xB0, c, 0, msb > 127 ? 0 : msb, when);
    SendShortMessage(0xB0, c, 32, lsb > 127 ? 0 : lsb, when);
    const int program = song_.MidiChannelParams(c, 0);
    if (program <= 127) SendShortMessage(0xC0, c, program, 0, when);
  }
}

void MidiDevices::PassThrough(const ShortMessage& message, int channel) {
  if (channel < 0 || channel > 15) return;
  ShortMessage out = message;
  // A channel message moves to the selected channel; adding to its own channel would change its
  // kind (0x82 + 15 is a note-on). System messages have no channel and pass unchanged.
  if (out.bytes[0] < 0xF0) out.bytes[0] = uint8_t((out.bytes[0] & 0xF0) | channel);
  Send(out, SendNow);
}

}  // namespace varnel
