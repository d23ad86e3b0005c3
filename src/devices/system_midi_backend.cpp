#include "devices/system_midi_backend.h"

#include <RtMidi.h>

#include <algorithm>
#include <atomic>

#include "devices/alsa_seq_output.h"
#include "devices/device_log.h"
#include "devices/device_results.h"
#include "devices/jack_midi_backend.h"
#include "devices/jack_server.h"
#include "midi/scheduled_output.h"
#include "song/reporter.h"

namespace varnel {
namespace {

constexpr const char* ClientName = "Varnel";

// Where RtMidi reports problems once an error callback is set; it then never throws.
struct ErrorSink {
  std::atomic<bool> failed{false};
  std::atomic<bool> warned{false};
  bool Any() const { return failed || warned; }
};

void OnRtMidiError(RtMidiError::Type type, const std::string& text, void* data) {
  auto* sink = static_cast<ErrorSink*>(data);
  const bool warning = type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING;
  (warning ? sink->warned : sink->failed) = true;
  Trace("RtMidi: ", text);
}

// RtMidi reports a missing MIDI system from its constructor, before a callback can be set: on
// stderr and as an exception.
template <class T>
std::unique_ptr<T> MakeRtMidi(int api, ErrorSink& sink) {
  // Without a server RtMidi's JACK client would fail too, and leak its buffer.
  if (api == RtMidi::UNIX_JACK && !JackServerRunning(CurrentJackServer())) return nullptr;
  try {
    std::unique_ptr<T> midi;
    {
      CerrCapture quiet;
      midi = std::make_unique<T>(RtMidi::Api(api), ClientName);
    }
    if (midi->getCurrentApi() != RtMidi::Api(api)) return nullptr;
    midi->setErrorCallback(OnRtMidiError, &sink);
    return midi;
  } catch (const std::exception& e) {
    Trace("RtMidi ", RtMidi::getApiName(RtMidi::Api(api)), " unavailable: ", e.what());
    return nullptr;
  }
}

bool SupportsVirtualPorts(RtMidi::Api api) {
  return api == RtMidi::LINUX_ALSA || api == RtMidi::UNIX_JACK || api == RtMidi::MACOSX_CORE;
}

std::vector<RtMidi::Api> UsableApis() {
  std::vector<RtMidi::Api> apis;
  RtMidi::getCompiledApi(apis);
  std::erase_if(apis, [](RtMidi::Api api) { return api == RtMidi::UNSPECIFIED || api == RtMidi::RTMIDI_DUMMY; });
  return apis;
}

std::string UniqueName(const std::vector<SystemMidiBackend::Port>& ports, const std::string& name, int api) {
  auto taken = [&](const std::string& candidate) {
    return candidate == VirtualPortEntry ||
           std::any_of(ports.begin(), ports.end(), [&](const auto& port) { return port.name == candidate; });
  };
  if (!taken(name)) return name;
  const std::string base = name + " (" + RtMidi::getApiDisplayName(RtMidi::Api(api)) + ")";
  std::string candidate = base;
  for (int k = 2; taken(candidate); ++k) candidate = base + " " + std::to_string(k);
  return candidate;
}

// The port's current index: the system may have renumbered its ports since the listing.
template <class T>
int FindPort(T& midi, const std::string& system) {
  const unsigned count = midi.getPortCount();
  for (unsigned i = 0; i < count; ++i) {
    if (midi.getPortName(i) == system) return int(i);
  }
  return -1;
}

// Closes a port, unless it is a JACK port whose server has gone (its watch says so): libjack has
// deleted, or will delete, its client, and RtMidi's close would crash on it.
template <class T>
void Close(std::unique_ptr<T>& midi, const JackWatch* watch) {
  if (!midi) return;
  if (midi->getCurrentApi() == RtMidi::UNIX_JACK && (!watch || watch->ServerGone())) {
    Trace("JACK server has gone; RtMidi's port stays unclosed");
    KeepForever(midi.release());
  }
  midi.reset();
}

// RtMidi cannot tell when its JACK server stops: a watch of Varnel's own can. Null for other APIs.
std::unique_ptr<JackWatch> WatchFor(int api, const std::shared_ptr<DeviceNews>& news) {
  return api == RtMidi::UNIX_JACK ? JackWatch::Open(news) : nullptr;
}

// Why an RtMidi port can no longer be reached, as far as can be told (JACK's; ALSA's cannot).
std::string LostPort(const JackWatch* watch, const std::string& system) {
  if (!watch) return "";
  if (watch->ServerGone()) return "the JACK server has stopped";
  return watch->HasPort(system) ? "" : "its port has gone";
}

class RtMidiOutputPort final : public MidiOutput {
 public:
  RtMidiOutputPort(std::unique_ptr<ErrorSink> sink, std::unique_ptr<RtMidiOut> out,
                   std::shared_ptr<std::atomic<bool>> virtualClaim, std::unique_ptr<JackWatch> watch,
                   std::string system)
      : sink_(std::move(sink)),
        out_(std::move(out)),
        virtualClaim_(std::move(virtualClaim)),
        watch_(std::move(watch)),
        system_(std::move(system)) {}

  ~RtMidiOutputPort() override {
    Close(out_, watch_.get());
    if (virtualClaim_) *virtualClaim_ = false;
  }

  std::string Lost() const override {
    if (system_.empty()) return watch_ && watch_->ServerGone() ? "the JACK server has stopped" : "";
    return LostPort(watch_.get(), system_);
  }

  // RtMidi's ports take one writer at a time (JACK's ring buffer would interleave two messages).
  // Once its server has gone, RtMidi's JACK port would wait for ever for room in its buffer.
  void Send(const ShortMessage& message, MidiTime) override {
    if (message.size == 0 || (watch_ && watch_->ServerGone())) return;
    std::lock_guard lock(mutex_);
    try {
      out_->sendMessage(message.bytes, std::min<size_t>(message.size, 3));
    } catch (const std::exception& e) {
      Trace("RtMidi send: ", e.what());
    }
  }

 private:
  std::mutex mutex_;
  std::unique_ptr<ErrorSink> sink_;
  std::unique_ptr<RtMidiOut> out_;
  std::shared_ptr<std::atomic<bool>> virtualClaim_;
  std::unique_ptr<JackWatch> watch_;  // JACK's ports only
  std::string system_;                // empty for the virtual port
};

// Gives the virtual port back when the output that holds it closes.
class ClaimedOutput final : public MidiOutput {
 public:
  ClaimedOutput(std::unique_ptr<MidiOutput> inner, std::shared_ptr<std::atomic<bool>> claim)
      : inner_(std::move(inner)), claim_(std::move(claim)) {}
  ~ClaimedOutput() override {
    inner_.reset();
    *claim_ = false;
  }
  void Send(const ShortMessage& message, MidiTime when) override { inner_->Send(message, when); }
  std::chrono::nanoseconds Lead() const override { return inner_->Lead(); }
  void SetLatencyOffset(std::chrono::nanoseconds offset) override { inner_->SetLatencyOffset(offset); }
  void CancelAfter(MidiTime after) override { inner_->CancelAfter(after); }
  bool HoldsMessages() const override { return inner_->HoldsMessages(); }
  double ClockRatio() const override { return inner_->ClockRatio(); }
  std::string Lost() const override { return inner_->Lost(); }

 private:
  std::unique_ptr<MidiOutput> inner_;
  std::shared_ptr<std::atomic<bool>> claim_;
};

class RtMidiInputPort final : public MidiInput {
 public:
  explicit RtMidiInputPort(MidiInputHandler handler) : handler_(std::move(handler)) {}
  ~RtMidiInputPort() override { Close(in_, watch_.get()); }
  std::string Lost() const override { return LostPort(watch_.get(), system_); }

  // Returns a result code.
  int Open(int api, const std::string& system, const std::shared_ptr<DeviceNews>& news) {
    system_ = system;
    watch_ = WatchFor(api, news);
    if (api == RtMidi::UNIX_JACK && !watch_) return DeviceNoDriver;
    in_ = MakeRtMidi<RtMidiIn>(api, sink_);
    if (!in_) return DeviceNoDriver;
    const int index = FindPort(*in_, system);
    if (sink_.Any()) return DeviceNoDriver;
    if (index < 0) return DeviceBadId;
    // System exclusive never fits a short message; timing and active sensing are passed on, as the
    // device layer decides about them itself.
    in_->ignoreTypes(true, false, false);
    in_->setCallback(&RtMidiInputPort::Receive, this);
    in_->openPort(unsigned(index), "in");
    if (sink_.failed || !in_->isPortOpen()) return DeviceOpenFailed;
    return DeviceOk;
  }

 private:
  static void Receive(double, std::vector<unsigned char>* bytes, void* data) {
    if (!bytes || bytes->empty() || bytes->size() > 3) return;
    ShortMessage message;
    message.size = uint8_t(bytes->size());
    std::copy(bytes->begin(), bytes->end(), message.bytes);
    try {
      static_cast<RtMidiInputPort*>(data)->handler_(message);
    } catch (const std::exception& e) {
      Trace("MIDI input handler: ", e.what());
    }
  }

  MidiInputHandler handler_;
  std::string system_;
  std::unique_ptr<JackWatch> watch_;  // JACK's ports only; before in_, which goes first
  ErrorSink sink_;
  std::unique_ptr<RtMidiIn> in_;  // last: closed first, so no callback outlives the handler
};

}  // namespace

SystemMidiBackend::SystemMidiBackend(SynthSettings synth) : synth_(std::move(synth)) { QuietDeviceLibraries(); }

SystemMidiBackend::~SystemMidiBackend() = default;

void SystemMidiBackend::SetSynthSettings(SynthSettings synth) {
  std::lock_guard lock(mutex_);
  synth_ = std::move(synth);
}

void SystemMidiBackend::SetNativeJack(bool native) {
  std::lock_guard lock(mutex_);
  nativeJack_ = native;
}

std::vector<SystemMidiBackend::Port> SystemMidiBackend::ListPorts(bool outputs) {
  bool nativeJack;
  {
    std::lock_guard lock(mutex_);
    nativeJack = nativeJack_;
  }
  std::vector<Port> ports;
  int virtualApi = -1;
  bool virtualNative = false;
  for (RtMidi::Api api : UsableApis()) {
    ErrorSink sink;
    std::vector<std::string> names;
    auto list = [&](auto&& midi) {
      if (!midi) return false;
      const unsigned count = midi->getPortCount();
      for (unsigned i = 0; i < count && !sink.Any(); ++i) names.push_back(midi->getPortName(i));
      return !sink.Any();  // else constructed, but the MIDI system is not reachable
    };
    const bool native = api == RtMidi::UNIX_JACK && nativeJack;
    if (native) {
      // The same names and order as RtMidi's JACK listing, so stored device names still match.
      auto listed = JackMidiPorts(outputs);
      if (!listed) continue;
      names = std::move(*listed);
    } else if (!(outputs ? list(MakeRtMidi<RtMidiOut>(api, sink)) : list(MakeRtMidi<RtMidiIn>(api, sink)))) {
      continue;
    }
    for (const std::string& system : names) {
      if (!system.empty()) ports.push_back({int(api), system, UniqueName(ports, system, api), false, native});
    }
    if (virtualApi < 0 && SupportsVirtualPorts(api)) {
      virtualApi = int(api);
      virtualNative = native;
    }
  }
  if (outputs && virtualApi >= 0) ports.push_back({virtualApi, VirtualPortName, VirtualPortEntry, true, virtualNative});
  return ports;
}

std::vector<std::string> SystemMidiBackend::OutputNames() {
  auto ports = ListPorts(true);
  std::vector<std::string> names;
  for (const Port& port : ports) names.push_back(port.name);
  std::lock_guard lock(mutex_);
  outputs_ = std::move(ports);
  outputsListed_ = true;
  return names;
}

std::vector<std::string> SystemMidiBackend::InputNames() {
  auto ports = ListPorts(false);
  std::vector<std::string> names;
  for (const Port& port : ports) names.push_back(port.name);
  std::lock_guard lock(mutex_);
  inputs_ = std::move(ports);
  inputsListed_ = true;
  return names;
}

bool SystemMidiBackend::PortAt(bool outputs, int id, Port& port) {
  std::unique_lock lock(mutex_);
  if (!(outputs ? outputsListed_ : inputsListed_)) {
    lock.unlock();
    if (outputs) OutputNames();
    else InputNames();
    lock.lock();
  }
  const auto& list = outputs ? outputs_ : inputs_;
  if (id < 0 || id >= int(list.size())) return false;
  port = list[size_t(id)];
  return true;
}

std::unique_ptr<MidiOutput> SystemMidiBackend::OpenOutput(int id, int& result) {
  if (id == -1) {
    SynthSettings settings;
    {
      std::lock_guard lock(mutex_);
      settings = synth_;
    }
    return EmbeddedSynthOutput::Open(settings, result, news_);
  }
  Port port;
  if (!PortAt(true, id, port)) {
    result = DeviceBadId;
    return nullptr;
  }
  std::shared_ptr<std::atomic<bool>> claim;
  if (port.isVirtual) {
    bool expected = false;
    if (!virtualOpen_->compare_exchange_strong(expected, true)) {
      result = DeviceAllocated;
      return nullptr;
    }
    claim = virtualOpen_;
  }
  if (port.native) {
    auto out = JackMidiOutput::Open(port.isVirtual ? "" : port.system, port.isVirtual ? VirtualPortName : "out", result,
                                    news_);
    if (!out) {
      if (claim) *claim = false;
      return nullptr;
    }
    if (claim) return std::make_unique<ClaimedOutput>(std::move(out), std::move(claim));
    return out;
  }
  if (port.api == RtMidi::LINUX_ALSA && !port.isVirtual) {
    // Scheduled on a sequencer queue where that works; RtMidi's port otherwise.
    int alsaResult = DeviceOk;
    if (auto out = OpenAlsaSeqOutput(port.system, alsaResult)) {
      result = DeviceOk;
      return out;
    }
    Trace("ALSA sequencer queue unavailable (rc ", alsaResult, "); RtMidi sends ", port.system);
  }
  auto sink = std::make_unique<ErrorSink>();
  std::unique_ptr<RtMidiOut> out;
  std::unique_ptr<JackWatch> watch = WatchFor(port.api, news_);
  auto release = [&](int code) {
    Close(out, watch.get());
    if (claim) *claim = false;
    result = code;
    return nullptr;
  };
  if (port.api == RtMidi::UNIX_JACK && !watch) return release(DeviceNoDriver);
  out = MakeRtMidi<RtMidiOut>(port.api, *sink);
  if (!out) return release(DeviceNoDriver);
  const int index = FindPort(*out, port.system);
  if (sink->Any()) return release(DeviceNoDriver);
  if (port.isVirtual) {
    out->openVirtualPort(VirtualPortName);
    if (sink->failed) return release(DeviceOpenFailed);
  } else {
    if (index < 0) return release(DeviceBadId);
    out->openPort(unsigned(index), "out");
    if (sink->failed || !out->isPortOpen()) return release(DeviceOpenFailed);
  }
  result = DeviceOk;
  return std::make_unique<ScheduledOutput>(std::make_unique<RtMidiOutputPort>(
      std::move(sink), std::move(out), std::move(claim), std::move(watch), port.isVirtual ? "" : port.system));
}

std::unique_ptr<MidiInput> SystemMidiBackend::OpenInput(int id, MidiInputHandler handler, int& result) {
  return OpenTimedInput(
      id, [handler = std::move(handler)](const ShortMessage& message, MidiTime) { handler(message); }, result);
}

std::unique_ptr<MidiInput> SystemMidiBackend::OpenTimedInput(int id, TimedMidiInputHandler handler, int& result) {
  Port port;
  if (!PortAt(false, id, port)) {
    result = DeviceBadId;
    return nullptr;
  }
  if (port.native) return JackMidiInput::Open(port.system, std::move(handler), result, news_);
  auto input = std::make_unique<RtMidiInputPort>(
      [handler = std::move(handler)](const ShortMessage& message) { handler(message, MidiClock::now()); });
  result = input->Open(port.api, port.system, news_);
  if (result != DeviceOk) return nullptr;
  return input;
}

std::string SystemMidiBackend::ResultText(int result) const {
  switch (result) {
    case DeviceOk: return "";
    case DeviceOpenFailed: return "the MIDI system refused to open or connect the port";
    case DeviceBadId: return "not found";
    case DeviceAllocated: return "Varnel's virtual port is open already";
    case DeviceNoDriver: return "its MIDI system is not running";
    case DeviceNoSoundFont: return "no General MIDI SoundFont found";
    case DeviceNoAudio: return "no audio output (no sound card or sound server running)";
    case DeviceSynthFailed: return "the synthesizer could not be started";
    default: return "";
  }
}

bool SystemMidiBackend::MayReturn(int result) const {
  return result == DeviceBadId || result == DeviceNoDriver || result == DeviceNoAudio;
}

}  // namespace varnel
