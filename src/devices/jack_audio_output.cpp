#include "devices/jack_audio_output.h"

#include "devices/device_results.h"

#if defined(VARNEL_HAVE_JACK)

#include <algorithm>
#include <atomic>

#include "devices/device_log.h"
#include "devices/jack_time.h"

namespace varnel {

struct JackAudioOutput::Client : JackClientWatch {
  jack_client_t* client = nullptr;
  jack_port_t* left = nullptr;
  jack_port_t* right = nullptr;
  std::string server = CurrentJackServer();
  Render render = nullptr;
  void* data = nullptr;
  double sampleRate = 0;

  static int Process(jack_nframes_t frames, void* arg) {
    auto* c = static_cast<Client*>(arg);
    const MidiTime now = MidiClock::now();
    auto* l = static_cast<float*>(jack_port_get_buffer(c->left, frames));
    auto* r = static_cast<float*>(jack_port_get_buffer(c->right, frames));
    std::fill_n(l, frames, 0.0f);
    std::fill_n(r, frames, 0.0f);
    c->render(c->data, l, r, int(frames), now);
    return 0;
  }
};

JackAudioOutput::JackAudioOutput(std::unique_ptr<Client> client) : client_(std::move(client)) {}

std::unique_ptr<JackAudioOutput> JackAudioOutput::Open(Render render, void* data, int& result,
                                                       std::shared_ptr<DeviceNews> news) {
  QuietDeviceLibraries();
  auto c = std::make_unique<Client>();
  c->render = render;
  c->data = data;
  c->news = std::move(news);
  c->client = OpenJackClient("Varnel synth", c->server);
  if (!c->client) {
    result = DeviceNoAudio;
    return nullptr;
  }
  c->left = jack_port_register(c->client, "left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  c->right = jack_port_register(c->client, "right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  c->sampleRate = jack_get_sample_rate(c->client);
  jack_set_process_callback(c->client, &Client::Process, c.get());
  c->Watch(c->client, false);
  if (!c->left || !c->right || jack_activate(c->client) != 0) {
    jack_client_close(c->client);
    result = DeviceNoAudio;
    return nullptr;
  }
  // What FluidSynth's own driver does: the first two playback ports of the system's sound card.
  if (const char** playback =
          jack_get_ports(c->client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput)) {
    if (playback[0]) {
      ConnectJackPorts(c->client, jack_port_name(c->left), playback[0]);
      ConnectJackPorts(c->client, jack_port_name(c->right), playback[1] ? playback[1] : playback[0]);
    }
    jack_free(playback);
  }
  result = DeviceOk;
  return std::unique_ptr<JackAudioOutput>(new JackAudioOutput(std::move(c)));
}

JackAudioOutput::~JackAudioOutput() { CloseJackClient(client_); }

double JackAudioOutput::SampleRate() const { return client_->sampleRate; }

std::string JackAudioOutput::Lost() const { return client_->dead ? "the JACK server has stopped" : ""; }

}  // namespace varnel

#else

namespace varnel {
struct JackAudioOutput::Client {};
JackAudioOutput::JackAudioOutput(std::unique_ptr<Client> client) : client_(std::move(client)) {}
JackAudioOutput::~JackAudioOutput() = default;
std::unique_ptr<JackAudioOutput> JackAudioOutput::Open(Render, void*, int& result, std::shared_ptr<DeviceNews>) {
  result = DeviceNoAudio;
  return nullptr;
}
double JackAudioOutput::SampleRate() const { return 0; }
std::string JackAudioOutput::Lost() const { return ""; }
}  // namespace varnel

#endif
