#include "midi/device_session.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "song/song.h"

namespace varnel {

namespace {

std::string Code(int result) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", result);
  return text;
}

// A device by its exact name; else, for names stored when "&" was left out of them, without it.
int IndexOf(const std::vector<std::string>& names, const std::string& name) {
  if (const auto it = std::find(names.begin(), names.end(), name); it != names.end()) return int(it - names.begin());
  for (size_t i = 0; i < names.size(); ++i) {
    std::string plain = names[i];
    std::erase(plain, '&');
    if (plain == name && !name.empty()) return int(i);
  }
  return -2;
}

}  // namespace

// What the backend's change handler reaches: it may run on the backend's threads after the session
// has gone, so it holds only this.
struct DeviceSession::Wake {
  std::mutex mutex;
  std::function<void()> wake;
  std::atomic<bool> changed{false};
  void Fire() {
    changed = true;
    std::scoped_lock lock(mutex);
    if (wake) wake();
  }
};

DeviceSession::DeviceSession(MidiBackend& backend, MidiDevices& devices, TVNSong& song)
    : backend_(backend), devices_(devices), song_(song), wake_(std::make_shared<Wake>()) {
  backend_.SetChangeHandler([wake = wake_] { wake->Fire(); });
}

DeviceSession::~DeviceSession() {
  backend_.SetChangeHandler(nullptr);
  SetWake(nullptr);
  input_.reset();
}

void DeviceSession::SetWake(std::function<void()> wake) {
  std::scoped_lock lock(wake_->mutex);
  wake_->wake = std::move(wake);
}

std::vector<std::string> DeviceSession::OutputNames() {
  outputs_ = backend_.OutputNames();
  return outputs_;
}

std::vector<std::string> DeviceSession::InputNames() {
  inputs_ = backend_.InputNames();
  return inputs_;
}

std::string DeviceSession::SlotLabel(int slot) const {
  if (slot == InputSlot) return "MIDI in";
  return slot == 0 ? "MIDI out" : "MIDI out " + std::to_string(slot + 1);
}

bool DeviceSession::AnyMissing() const {
  return std::any_of(status_.begin(), status_.end(), [](const DeviceStatus& s) { return s.state == DeviceState::Missing; });
}

std::string DeviceSession::StatusText(int slot, bool withReason) const {
  const DeviceStatus& s = status_[size_t(slot)];
  const std::string label = slot == InputSlot ? "In" : slot == 0 ? "Out" : "Out " + std::to_string(slot + 1);
  if (s.name.empty()) return slot == InputSlot ? label + ": " + NoInputName : slot == 0 ? label + ": none" : "";
  switch (s.state) {
    case DeviceState::Open: return label + ": " + s.name;
    case DeviceState::Missing: return label + ": " + s.name + (withReason ? " (missing: " + s.reason + ")" : " (missing)");
    case DeviceState::Failed: return label + ": " + s.name + (withReason ? " (failed: " + s.reason + ")" : " (failed)");
    case DeviceState::None: break;
  }
  return label + ": " + s.name + " (closed)";
}

void DeviceSession::SetStatus(int slot, DeviceStatus status) {
  if (status == status_[size_t(slot)]) return;
  const bool failing = status.state == DeviceState::Missing || status.state == DeviceState::Failed;
  const std::string key = (slot == InputSlot ? "in:" : "out:") + status.name;
  const bool first = failing && !status.name.empty() && failedOnce_.insert(key).second;
  status_[size_t(slot)] = std::move(status);
  if (listener_) listener_(slot, status_[size_t(slot)], first);
}

bool DeviceSession::Listed(int slot, const std::string& name) const {
  if (slot == InputSlot) return IndexOf(inputs_, name) >= 0;
  return name == MapperName || IndexOf(outputs_, name) >= 0;
}

// ---- Outputs ----

void DeviceSession::SelectOutput(int block, const std::string& name) {
  std::string chosen = block == 0 && name.empty() ? MapperName : name;
  devices_.CloseOutput(block);
  if (chosen.empty()) {
    SetStatus(block, {});
    devices_.PrepareBlock(block);  // its channels may play on the first output now
    song_.Report().Status("Device " + std::to_string(block + 1) + ": none", 0);
    return;
  }
  if (chosen != MapperName) OutputNames();
  if (const int id = IndexOf(outputs_, chosen); id >= 0) chosen = outputs_[size_t(id)];
  if (block == 0) song_.DeviceName = chosen;
  if (!Listed(block, chosen)) {
    SetStatus(block, {chosen, DeviceState::Missing, 0, "not found"});
    song_.Report().Status(SlotLabel(block) + " " + chosen + " is missing (not found): waiting for it to return", 0);
    return;
  }
  if (OpenOutput(block, chosen == MapperName ? -1 : IndexOf(outputs_, chosen), chosen, false))
    song_.Report().Status((block == 0 ? "Device" : "Device " + std::to_string(block + 1)) + ": " + chosen, 0);
}

bool DeviceSession::OpenOutputById(int id) {
  if (outputs_.empty() && id >= 0) OutputNames();
  const std::string name = id < 0 ? MapperName : id < int(outputs_.size()) ? outputs_[size_t(id)] : "";
  devices_.CloseOutput(0);
  return OpenOutput(0, id, name, false);
}

bool DeviceSession::OpenOutput(int block, int id, const std::string& name, bool reopening) {
  int result = 0;
  auto output = backend_.OpenOutput(id, result);
  if (!output) {
    Fail(block, name, result != 0 ? result : 1, reopening);
    return false;
  }
  devices_.InstallOutput(block, std::move(output), name);
  SetStatus(block, {name, DeviceState::Open, 0, ""});
  song_.Report().Status(reopening ? SlotLabel(block) + " " + name + " is back" : "Device OK", 0);
  return true;
}

int DeviceSession::OutputId() const {
  const std::string& name = status_[0].name;
  return name.empty() || name == MapperName ? -1 : IndexOf(outputs_, name);
}

// ---- Input ----

void DeviceSession::CloseInput() {
  input_.reset();
  if (status_[InputSlot].state != DeviceState::None) SetStatus(InputSlot, {status_[InputSlot].name, DeviceState::None, 0, ""});
}

void DeviceSession::SelectInput(const std::string& name) {
  input_.reset();
  if (name.empty() || name == NoInputName) {
    SetStatus(InputSlot, {});
    song_.InDeviceName = NoInputName;
    song_.Report().Status("No MIDI In Device selected", 0);
    song_.Report().Status(std::string("InDevice: ") + NoInputName, 0);
    return;
  }
  InputNames();
  const int id = IndexOf(inputs_, name);
  const std::string chosen = id >= 0 ? inputs_[size_t(id)] : name;
  song_.InDeviceName = chosen;
  if (id < 0) {
    SetStatus(InputSlot, {chosen, DeviceState::Missing, 0, "not found"});
    song_.Report().Status(SlotLabel(InputSlot) + " " + chosen + " is missing (not found): waiting for it to return", 0);
    return;
  }
  if (OpenInput(id, chosen, false)) song_.Report().Status("InDevice: " + chosen, 0);
}

bool DeviceSession::OpenInputById(int id) {
  if (id < 0) {
    input_.reset();
    SetStatus(InputSlot, {});
    song_.Report().Status("No MIDI In Device selected", 0);
    return false;
  }
  if (inputs_.empty()) InputNames();
  return OpenInput(id, id < int(inputs_.size()) ? inputs_[size_t(id)] : "", false);
}

bool DeviceSession::OpenInput(int id, const std::string& name, bool reopening) {
  input_.reset();
  int result = 0;
  input_ = backend_.OpenTimedInput(id, devices_.InputDispatch(), result);
  if (!input_) {
    Fail(InputSlot, name, result != 0 ? result : 1, reopening);
    return false;
  }
  SetStatus(InputSlot, {name, DeviceState::Open, 0, ""});
  if (reopening) {
    song_.Report().Status(SlotLabel(InputSlot) + " " + name + " is back", 0);
  } else {
    devices_.PrepareChannels(-1);
    song_.Report().Status("Device OK", 0);
  }
  return true;
}

int DeviceSession::InputId() const {
  const std::string& name = status_[InputSlot].name;
  return name.empty() ? -1 : std::max(IndexOf(inputs_, name), -1);
}

// ---- Failures, losses and returns ----

void DeviceSession::Fail(int slot, const std::string& name, int result, bool reopening) {
  DeviceStatus status;
  status.name = name;
  const bool waits = backend_.MayReturn(result);
  status.state = waits ? DeviceState::Missing : DeviceState::Failed;
  status.result = result;
  status.reason = backend_.ResultText(result);
  if (status.reason.empty()) status.reason = "rc = " + Code(result);
  if (!reopening || !waits) {
    std::string text = slot == InputSlot ? "Could not open midi in" : "Could not open midi out";
    if (slot > 0 && slot != InputSlot) text += " " + std::to_string(slot + 1);
    text += ", rc = " + Code(result);
    if (!backend_.ResultText(result).empty()) text += " (" + status.name + ": " + status.reason + ")";
    if (waits) text += "; waiting for it to return";
    song_.Report().Status(text, 0);
  }
  SetStatus(slot, std::move(status));
}

void DeviceSession::Lose(int slot, const std::string& why) {
  const std::string name = status_[size_t(slot)].name;
  SetStatus(slot, {name, DeviceState::Missing, 0, why});
  song_.Report().Status(SlotLabel(slot) + " " + name + " is missing (" + why + "): waiting for it to return", 0);
}

bool DeviceSession::Open(int slot, bool reopening) {
  const std::string name = status_[size_t(slot)].name;
  if (slot == InputSlot) return OpenInput(IndexOf(inputs_, name), name, reopening);
  return OpenOutput(slot, name == MapperName ? -1 : IndexOf(outputs_, name), name, reopening);
}

void DeviceSession::Poll(MidiTime now) {
  if (polling_) return;  // a message box of the listener may run the event loop
  polling_ = true;
  for (int block = 0; block < OutputBlocks; ++block) {
    if (status_[size_t(block)].state != DeviceState::Open) continue;
    if (const std::string why = devices_.OutputLost(block); !why.empty()) {
      devices_.DropLostOutput(block);
      Lose(block, why);
    }
  }
  if (status_[InputSlot].state == DeviceState::Open && input_) {
    if (const std::string why = input_->Lost(); !why.empty()) {
      input_.reset();
      Lose(InputSlot, why);
    }
  }
  const bool changed = wake_->changed.exchange(false);
  const bool due = changed || lastListing_ == MidiTime{} || now - lastListing_ >= std::chrono::seconds(1);
  if (AnyMissing() && due) {
    lastListing_ = now;
    bool outputs = false;
    for (int block = 0; block < OutputBlocks; ++block)
      outputs = outputs || (status_[size_t(block)].state == DeviceState::Missing && status_[size_t(block)].name != MapperName);
    if (outputs) OutputNames();
    if (status_[InputSlot].state == DeviceState::Missing) InputNames();
    for (int slot = 0; slot < Slots; ++slot) {
      const DeviceStatus& s = status_[size_t(slot)];
      if (s.state == DeviceState::Missing && Listed(slot, s.name)) Open(slot, true);
    }
  }
  polling_ = false;
}

void DeviceSession::CheckSongDevice() {
  const std::string name = song_.DeviceName;
  if (name.empty()) return;
  if (name != MapperName) OutputNames();
  if (!Listed(0, name)) return;
  if (status_[0].name == name && status_[0].state == DeviceState::Open) return;
  SelectOutput(0, name);
}

void DeviceSession::CloseAll() {
  input_.reset();
  for (int block = 0; block < OutputBlocks; ++block) devices_.CloseOutput(block);
}

}  // namespace varnel
