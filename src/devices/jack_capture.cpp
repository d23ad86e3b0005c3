#include "devices/jack_capture.h"

#if defined(VARNEL_HAVE_JACK)

#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "devices/device_log.h"
#include "devices/jack_server.h"
#include "devices/jack_time.h"

namespace varnel {

struct JackCapture::Client : JackClientWatch {
  jack_client_t* client = nullptr;
  jack_port_t* midi = nullptr;
  jack_port_t* audio = nullptr;
  std::string server = CurrentJackServer();
  std::vector<MidiEvent> events;  // sized once; the process callback fills [0, eventCount)
  std::vector<float> samples;
  std::atomic<size_t> eventCount{0}, sampleCount{0};
  std::atomic<bool> recording{false};
  std::atomic<int64_t> audioStart{-1};
  std::atomic<uint64_t> xruns{0};
  std::vector<int64_t> xrunFrames = std::vector<int64_t>(4096);  // [0, xrunCount) since Start
  std::atomic<size_t> xrunCount{0};
  std::atomic<bool> started{false};  // set by the first cycle, with base
  std::atomic<jack_nframes_t> base{0};

  static int Process(jack_nframes_t frames, void* arg) { return static_cast<Client*>(arg)->Run(frames); }
  // JACK's notification thread.
  static int Xrun(void* arg) {
    Client& c = *static_cast<Client*>(arg);
    c.xruns.fetch_add(1);
    if (c.started.load(std::memory_order_acquire) && c.recording.load(std::memory_order_acquire)) {
      const size_t n = c.xrunCount.load(std::memory_order_relaxed);
      if (n < c.xrunFrames.size()) {
        c.xrunFrames[n] = int64_t(jack_nframes_t(jack_frame_time(c.client) - c.base.load(std::memory_order_relaxed)));
        c.xrunCount.store(n + 1, std::memory_order_release);
      }
    }
    return 0;
  }

  int Run(jack_nframes_t frames) {
    const jack_nframes_t now = jack_last_frame_time(client);
    if (!started.load(std::memory_order_relaxed)) {
      base.store(now, std::memory_order_relaxed);
      started.store(true, std::memory_order_release);
    }
    const int64_t cycleFrame = int64_t(jack_nframes_t(now - base.load(std::memory_order_relaxed)));
    if (!recording.load(std::memory_order_acquire)) return 0;
    void* buffer = jack_port_get_buffer(midi, frames);
    size_t count = eventCount.load(std::memory_order_relaxed);
    const uint32_t n = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < n && count < events.size(); ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, buffer, i) != 0 || event.size < 1 || event.size > 3) continue;
      MidiEvent& e = events[count++];
      e.frame = cycleFrame + event.time;
      e.message.size = uint8_t(event.size);
      for (size_t b = 0; b < event.size; ++b) e.message.bytes[b] = event.buffer[b];
    }
    eventCount.store(count, std::memory_order_release);
    if (audio) {
      const auto* in = static_cast<const float*>(jack_port_get_buffer(audio, frames));
      size_t have = sampleCount.load(std::memory_order_relaxed);
      if (have == 0) audioStart.store(cycleFrame, std::memory_order_relaxed);
      const size_t take = std::min<size_t>(frames, samples.size() - have);
      std::copy(in, in + take, samples.begin() + long(have));
      sampleCount.store(have + take, std::memory_order_release);
    }
    return 0;
  }
};

JackCapture::JackCapture(std::unique_ptr<Client> client) : client_(std::move(client)) {}

std::unique_ptr<JackCapture> JackCapture::Open(const std::string& clientName, size_t maxEvents, size_t audioFrames) {
  QuietDeviceLibraries();
  auto c = std::make_unique<Client>();
  c->events.resize(maxEvents);
  c->samples.resize(audioFrames);
  c->client = OpenJackClient(clientName, c->server);
  if (!c->client) return nullptr;
  c->midi = jack_port_register(c->client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  if (audioFrames > 0) c->audio = jack_port_register(c->client, "audio_in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(c->client, &Client::Process, c.get());
  jack_set_xrun_callback(c->client, &Client::Xrun, c.get());
  c->Watch(c->client, false);
  if (!c->midi || (audioFrames > 0 && !c->audio) || jack_activate(c->client) != 0) {
    jack_client_close(c->client);
    return nullptr;
  }
  return std::unique_ptr<JackCapture>(new JackCapture(std::move(c)));
}

JackCapture::~JackCapture() { CloseJackClient(client_); }

bool JackCapture::ConnectMidi(const std::string& source) {
  return ConnectJackPorts(client_->client, source.c_str(), jack_port_name(client_->midi));
}

bool JackCapture::ConnectAudio(const std::string& source) {
  if (!client_->audio) return false;
  return ConnectJackPorts(client_->client, source.c_str(), jack_port_name(client_->audio));
}

std::string JackCapture::MidiPort() const { return jack_port_name(client_->midi); }

std::vector<std::string> JackCapture::AudioSources(const std::string& client) const {
  std::vector<std::string> names;
  if (const char** ports = jack_get_ports(client_->client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput)) {
    for (const char** port = ports; *port; ++port)
      if (std::string(*port).starts_with(client)) names.emplace_back(*port);
    jack_free(ports);
  }
  return names;
}
uint32_t JackCapture::SampleRate() const { return jack_get_sample_rate(client_->client); }
uint32_t JackCapture::Period() const { return jack_get_buffer_size(client_->client); }

void JackCapture::Start() {
  client_->recording.store(false, std::memory_order_release);
  SettleCycles();  // a cycle may still be filling the buffers
  client_->eventCount.store(0);
  client_->sampleCount.store(0);
  client_->audioStart.store(-1);
  client_->xrunCount.store(0);
  client_->recording.store(true, std::memory_order_release);
}

void JackCapture::Stop() {
  client_->recording.store(false, std::memory_order_release);
  SettleCycles();
}

void JackCapture::SettleCycles() const {
  const double period = double(Period()) / std::max<uint32_t>(SampleRate(), 1);
  std::this_thread::sleep_for(std::chrono::duration<double>(3 * period + 0.002));
}

std::vector<JackCapture::MidiEvent> JackCapture::Midi() const {
  const size_t count = client_->eventCount.load(std::memory_order_acquire);
  return {client_->events.begin(), client_->events.begin() + long(count)};
}

std::vector<float> JackCapture::Audio(int64_t& firstFrame) const {
  const size_t count = client_->sampleCount.load(std::memory_order_acquire);
  firstFrame = client_->audioStart.load();
  return {client_->samples.begin(), client_->samples.begin() + long(count)};
}

uint64_t JackCapture::Xruns() const { return client_->xruns.load(); }

std::vector<int64_t> JackCapture::XrunFrames() const {
  const size_t count = client_->xrunCount.load(std::memory_order_acquire);
  return {client_->xrunFrames.begin(), client_->xrunFrames.begin() + long(count)};
}

}  // namespace varnel

#else

namespace varnel {
struct JackCapture::Client {};
JackCapture::JackCapture(std::unique_ptr<Client> client) : client_(std::move(client)) {}
JackCapture::~JackCapture() = default;
std::unique_ptr<JackCapture> JackCapture::Open(const std::string&, size_t, size_t) { return nullptr; }
bool JackCapture::ConnectMidi(const std::string&) { return false; }
bool JackCapture::ConnectAudio(const std::string&) { return false; }
std::string JackCapture::MidiPort() const { return ""; }
std::vector<std::string> JackCapture::AudioSources(const std::string&) const { return {}; }
uint32_t JackCapture::SampleRate() const { return 0; }
uint32_t JackCapture::Period() const { return 0; }
void JackCapture::Start() {}
void JackCapture::SettleCycles() const {}
void JackCapture::Stop() {}
std::vector<JackCapture::MidiEvent> JackCapture::Midi() const { return {}; }
std::vector<float> JackCapture::Audio(int64_t& firstFrame) const {
  firstFrame = -1;
  return {};
}
uint64_t JackCapture::Xruns() const { return 0; }
std::vector<int64_t> JackCapture::XrunFrames() const { return {}; }
}  // namespace varnel

#endif
