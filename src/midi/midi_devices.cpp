#include "midi/midi_devices.h"

#include <algorithm>
#include <cmath>

#include "midi/device_session.h"
#include "song/song.h"

namespace varnel {

namespace {

bool IsNoteMessage(const ShortMessage& message) {
  return (message.bytes[0] & 0xE0) == 0x80 || message.bytes[0] == 0xFF;
}

}  // namespace

MidiDevices::MidiDevices(MidiBackend& backend, TVNSong& song)
    : backend_(backend), song_(song), session_(std::make_unique<DeviceSession>(backend, *this, song)) {}

MidiDevices::~MidiDevices() {
  session_->CloseAll();
  session_.reset();
}

TimedMidiInputHandler MidiDevices::InputDispatch() {
  return [this](const ShortMessage& message, MidiTime when) {
    if (timedInputHandler_) timedInputHandler_(message, when);
    else if (inputHandler_) inputHandler_(message);
  };
}

// ---- The session's devices, by their old ids ----

std::vector<std::string> MidiDevices::GetMidiOutDevices() { return session_->OutputNames(); }
std::vector<std::string> MidiDevices::GetMidiInDevices() { return session_->InputNames(); }
bool MidiDevices::OpenMidiOut(int deviceId) { return session_->OpenOutputById(deviceId); }
bool MidiDevices::OpenMidiIn(int deviceId) { return session_->OpenInputById(deviceId); }
int MidiDevices::OutDeviceId() const { return session_->OutputId(); }
int MidiDevices::InDeviceId() const { return session_->InputId(); }
bool MidiDevices::InputOpenFlag() const { return !session_->Status(DeviceSession::InputSlot).name.empty(); }
std::string MidiDevices::OutDeviceName() const { return session_->Status(0).name; }
void MidiDevices::CheckOutDevice() { session_->CheckSongDevice(); }

bool MidiDevices::CloseMidiOut() {
  for (int block = 0; block < OutputBlocks; ++block) CloseOutput(block);
  return true;
}

bool MidiDevices::CloseMidiIn() {
  if (!InputOpenFlag()) return false;
  session_->CloseInput();
  return true;
}

void MidiDevices::SelectOutDevice(int deviceId, const std::string& caption) {
  std::string name = caption;
  std::erase(name, '&');
  session_->SelectOutput(0, deviceId < 0 && name.empty() ? MapperName : name);
}

void MidiDevices::SelectInDevice(int deviceId, const std::string& caption) {
  std::string name = caption;
  std::erase(name, '&');
  session_->SelectInput(deviceId < 0 ? "" : name);
}

void MidiDevices::RestoreDevices(const std::string& outName, const std::string& inName) {
  session_->SelectOutput(0, outName.empty() ? MapperName : outName);
  if (!inName.empty() && inName != NoInputName) session_->SelectInput(inName);
}

// ---- Outputs ----

bool MidiDevices::HasOutput() const { return HasOutput(0); }

bool MidiDevices::HasOutput(int block) const {
  std::scoped_lock lock(outputMutex_);
  return block >= 0 && block < OutputBlocks && blocks_[size_t(block)].output != nullptr;
}

std::string MidiDevices::OutputLost(int block) const {
  std::scoped_lock lock(outputMutex_);
  const Block& b = blocks_[size_t(block)];
  return b.output ? b.output->Lost() : std::string();
}

MidiOutput* MidiDevices::Route(int block) const {
  const Block& b = blocks_[size_t(block)];
  if (b.output) return b.output.get();
  // A block with no device of its own plays on the first output when that plays every block (the
  // embedded synth); a block whose device has gone stays silent until it returns.
  const Block& first = blocks_[0];
  if (block > 0 && b.name.empty() && first.output && first.output->Blocks() > block) return first.output.get();
  return nullptr;
}

bool MidiDevices::Routed(int block) const {
  std::scoped_lock lock(outputMutex_);
  return Route(block) != nullptr;
}

void MidiDevices::EndNotes(int block) {
  std::array<MidiTime, 48> last{};
  const uint64_t released = Release(-1, SendNow, last, block);
  for (int c = 16 * block; c < 16 * block + 16; ++c)
    if (released & (uint64_t(1) << c)) NotesOffController(c, released, last, SendNow);
}

void MidiDevices::PrepareRouted(const MidiOutput* output) {
  for (int block = 0; block < OutputBlocks; ++block) {
    bool there;
    {
      std::scoped_lock lock(outputMutex_);
      there = Route(block) == output;
    }
    if (there) PrepareBlock(block);
  }
}

void MidiDevices::PrepareBlock(int block) {
  for (int c = 16 * block; c < 16 * block + 16; ++c) PrepareChannels(c);
}

void MidiDevices::InstallOutput(int block, std::unique_ptr<MidiOutput> output, const std::string& name) {
  if (HasOutput(block)) {
    CloseOutput(block);
  } else {
    bool fallback;
    {
      std::scoped_lock lock(outputMutex_);
      fallback = blocks_[size_t(block)].name.empty();
    }
    if (fallback) EndNotes(block);  // what it played on the first output until now
  }
  const MidiOutput* installed = output.get();
  {
    std::scoped_lock lock(outputMutex_);
    Block& b = blocks_[size_t(block)];
    // The same device is back: what it was sounding when it went may sound still.
    if (b.name != name) b.sounding.Clear(-1);
    b.output = std::move(output);
    b.name = name;
  }
  ApplyOptions(block);
  EndNotes(block);
  PrepareRouted(installed);
}

void MidiDevices::CloseOutput(int block) {
  std::vector<int> ending;  // the block, and the blocks that play on its output
  {
    std::scoped_lock lock(outputMutex_);
    Block& own = blocks_[size_t(block)];
    if (!own.output) {
      own.sounding.Clear(-1);
      own.name.clear();
      return;
    }
    for (int b = 0; b < OutputBlocks; ++b)
      if (Route(b) == own.output.get()) ending.push_back(b);
    // What the output still holds for later would sound after the close began; the notes it
    // started are ended before it goes, on a device change as on closing the program.
    const MidiTime now = MidiClock::now();
    own.output->CancelAfter(now);
    if (own.output->HoldsMessages())
      for (int b : ending) blocks_[size_t(b)].sounding.Withdraw(now);
  }
  for (int b : ending) EndNotes(b);
  std::unique_ptr<MidiOutput> old;
  {
    std::scoped_lock lock(outputMutex_);
    Block& own = blocks_[size_t(block)];
    old = std::move(own.output);
    for (int b : ending) blocks_[size_t(b)].sounding.Clear(-1);
    own.name.clear();
    own.midiClock = false;
  }
  old.reset();  // closing may take a while: never under the lock the row clock sends with
}

void MidiDevices::DropLostOutput(int block) {
  std::unique_ptr<MidiOutput> old;
  {
    std::scoped_lock lock(outputMutex_);
    Block& b = blocks_[size_t(block)];
    old = std::move(b.output);
    b.midiClock = false;
    // The blocks that played on it have nothing sounding any more; its own notes are remembered
    // for when it returns.
    for (int other = 1; other < OutputBlocks; ++other)
      if (block == 0 && blocks_[size_t(other)].name.empty()) blocks_[size_t(other)].sounding.Clear(-1);
  }
  old.reset();
}

void MidiDevices::SetOutputOptions(const std::string& deviceName, const OutputOptions& options) {
  OutputOptions clamped = options;
  clamped.latencyOffsetMs = std::isfinite(options.latencyOffsetMs) ? std::clamp(options.latencyOffsetMs, -1000.0, 1000.0) : 0;
  options_[deviceName] = clamped;
  for (int block = 0; block < OutputBlocks; ++block) {
    bool installed;
    {
      std::scoped_lock lock(outputMutex_);
      installed = blocks_[size_t(block)].output && blocks_[size_t(block)].name == deviceName;
    }
    if (installed) ApplyOptions(block);
  }
}

OutputOptions MidiDevices::GetOutputOptions(const std::string& deviceName) const {
  const auto it = options_.find(deviceName);
  return it == options_.end() ? OutputOptions{} : it->second;
}

void MidiDevices::ApplyOptions(int block) {
  std::scoped_lock lock(outputMutex_);
  Block& b = blocks_[size_t(block)];
  if (!b.output) return;
  const OutputOptions options = GetOutputOptions(b.name);
  b.midiClock = options.midiClock;
  b.output->SetLatencyOffset(std::chrono::nanoseconds(int64_t(std::llround(options.latencyOffsetMs * 1e6))));
}

bool MidiDevices::MidiClockEnabled() const {
  std::scoped_lock lock(outputMutex_);
  return std::any_of(blocks_.begin(), blocks_.end(), [](const Block& b) { return b.output && b.midiClock; });
}

std::chrono::nanoseconds MidiDevices::OutputLead() const {
  std::scoped_lock lock(outputMutex_);
  std::chrono::nanoseconds lead{};
  for (const Block& b : blocks_)
    if (b.output) lead = std::max(lead, b.output->Lead());
  return lead;
}

double MidiDevices::OutputClockRatio() const {
  std::scoped_lock lock(outputMutex_);
  for (const Block& b : blocks_)
    if (b.output) return b.output->ClockRatio();
  return 1.0;
}

void MidiDevices::CancelPending(MidiTime after) {
  std::scoped_lock lock(outputMutex_);
  if (after == SendNow) after = MidiClock::now();
  for (Block& b : blocks_) {
    if (!b.output) continue;
    b.output->CancelAfter(after);
    // A withdrawn note-off leaves its note sounding: the release that follows must end it.
    if (b.output->HoldsMessages()) b.sounding.Withdraw(after);
  }
}

// ---- Sending ----

void MidiDevices::Send(int block, const ShortMessage& message, MidiTime when) {
  std::scoped_lock lock(outputMutex_);
  MidiOutput* output = Route(block);
  if (!output) return;
  if (IsNoteMessage(message)) blocks_[size_t(block)].sounding.Track(message, when == SendNow ? MidiClock::now() : when);
  ShortMessage routed = message;
  routed.port = uint8_t(block);
  output->Send(routed, when);
}

uint64_t MidiDevices::Release(int channel, MidiTime when, std::array<MidiTime, 48>& last, int onlyBlock) {
  struct Note {
    uint8_t channel, note;
    MidiTime start;
  };
  std::vector<Note> notes;
  {
    std::scoped_lock lock(outputMutex_);
    for (int block = 0; block < OutputBlocks; ++block) {
      if ((channel >= 0 && BlockOf(channel) != block) || (onlyBlock >= 0 && onlyBlock != block)) continue;
      blocks_[size_t(block)].sounding.ForEach(channel < 0 ? -1 : channel % 16, [&](int c, int n, MidiTime start) {
        notes.push_back({uint8_t(16 * block + c), uint8_t(n), start});
      });
    }
  }
  uint64_t channels = 0;
  const MidiTime now = when == SendNow ? MidiClock::now() : when;
  for (const Note& n : notes) {
    // A note the output has been given for later (the row clock runs ahead of timestamping outputs)
    // is ended after it starts, not before.
    const MidiTime at = n.start > now ? n.start : when;
    Send(BlockOf(n.channel), MakeShortMessage(uint8_t(0x80 | (n.channel % 16)), n.note, 0), at);
    const uint64_t bit = uint64_t(1) << n.channel;
    if (!(channels & bit) || at > last[n.channel]) last[n.channel] = at;
    channels |= bit;
  }
  return channels;
}

void MidiDevices::NotesOffController(int channel, uint64_t released, const std::array<MidiTime, 48>& last,
                                     MidiTime when) {
  SendShortMessage(0xB0, channel, 123, 0, released & (uint64_t(1) << channel) ? last[size_t(channel)] : when);
}

int MidiDevices::SoundingNoteCount(int channel) const {
  std::scoped_lock lock(outputMutex_);
  if (channel >= 0) {
    return channel < MidiChannelCount ? blocks_[size_t(BlockOf(channel))].sounding.Count(channel % 16) : 0;
  }
  int count = 0;
  for (const Block& b : blocks_) count += b.sounding.Count(-1);
  return count;
}

std::bitset<128> MidiDevices::NotesSounding(int channel) const {
  std::bitset<128> notes;
  std::scoped_lock lock(outputMutex_);
  if (channel < 0 || channel >= MidiChannelCount) return notes;
  blocks_[size_t(BlockOf(channel))].sounding.ForEach(channel % 16, [&](int, int note, MidiTime) { notes.set(size_t(note)); });
  return notes;
}

void MidiDevices::SendSystem(uint8_t status, MidiTime when) {
  if (status < 0xF0) return;
  const ShortMessage message = MakeShortMessage(status, 0, 0);
  for (int block = 0; block < OutputBlocks; ++block) {
    std::scoped_lock lock(outputMutex_);
    Block& b = blocks_[size_t(block)];
    if (b.output && b.midiClock) b.output->Send(message, when);
  }
}

void MidiDevices::SongPositionPointer(int sixteenths, MidiTime when) {
  if (sixteenths < 0 || sixteenths > 16383) return;
  const ShortMessage message = MakeShortMessage(0xF2, uint8_t(sixteenths & 0x7F), uint8_t(sixteenths >> 7));
  std::scoped_lock lock(outputMutex_);
  for (Block& b : blocks_)
    if (b.output && b.midiClock) b.output->Send(message, when);
}

void MidiDevices::SendShortMessage(int status, int channel, int data1, int data2, MidiTime when) {
  if (channel < 0 || channel >= MidiChannelCount) return;
  Send(BlockOf(channel), MakeShortMessage(uint8_t(status + channel % 16), uint8_t(data1), uint8_t(data2)), when);
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
  if (channel >= MidiChannelCount) return;
  std::array<MidiTime, 48> last{};
  const uint64_t released = Release(channel, when, last);
  const int first = channel >= 0 ? channel : 0, end = channel >= 0 ? channel + 1 : MidiChannelCount;
  for (int c = first; c < end; ++c) NotesOffController(c, released, last, when);
}

void MidiDevices::ResetChannels(int channel, MidiTime when) {
  if (channel >= MidiChannelCount) return;
  std::array<MidiTime, 48> last{};
  const uint64_t released = Release(channel, when, last);
  const int first = channel >= 0 ? channel : 0, end = channel >= 0 ? channel + 1 : MidiChannelCount;
  for (int c = first; c < end; ++c) {
    const MidiTime at = released & (uint64_t(1) << c) ? last[size_t(c)] : when;
    SendShortMessage(0xB0, c, 121, 0, at);
    SendShortMessage(0xB0, c, 123, 0, at);
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
    if (tempoHandler_) tempoHandler_(std::max(value, 32), when);
  }
}

void MidiDevices::PrepareChannels(int channel, MidiTime when) {
  Trace("PrepareChannels ", channel);
  const int first = channel >= 0 ? channel : 0;
  const int last = channel >= 0 ? channel : MidiChannelCount - 1;
  for (int c = first; c <= last && c < MidiChannelCount; ++c) {
    if (!Routed(BlockOf(c))) continue;
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
  if (channel < 0 || channel >= MidiChannelCount) return;
  ShortMessage out = message;
  // A channel message moves to the selected channel; adding to its own channel would change its
  // kind (0x82 + 15 is a note-on). System messages have no channel and pass unchanged.
  if (out.bytes[0] < 0xF0) out.bytes[0] = uint8_t((out.bytes[0] & 0xF0) | (channel % 16));
  Send(BlockOf(channel), out, SendNow);
}

}  // namespace varnel
