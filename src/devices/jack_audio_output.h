// The embedded synth's audio on JACK, through a client of Varnel's own: FluidSynth's JACK driver
// cannot tell when its server has gone, and closing its client after a restart crashes in libjack.
// Two output ports ("left", "right") connected to the server's playback ports.
#pragma once

#include <memory>
#include <string>

#include "devices/jack_server.h"
#include "midi/midi_output.h"

namespace varnel {

class JackAudioOutput {
 public:
  // Runs on JACK's real-time thread for every period: fill both buffers (they come zeroed);
  // `now` is when the period's processing began.
  using Render = void (*)(void* data, float* left, float* right, int frames, MidiTime now);

  // Null with a code of device_results.h when no server runs or the client cannot start. `render`
  // may be called from the moment this returns until the object is destroyed.
  static std::unique_ptr<JackAudioOutput> Open(Render render, void* data, int& result,
                                               std::shared_ptr<DeviceNews> news = nullptr);
  ~JackAudioOutput();
  JackAudioOutput(const JackAudioOutput&) = delete;
  JackAudioOutput& operator=(const JackAudioOutput&) = delete;

  double SampleRate() const;
  std::string Lost() const;  // the server has stopped

  struct Client;

 private:
  explicit JackAudioOutput(std::unique_ptr<Client> client);
  std::unique_ptr<Client> client_;
};

}  // namespace varnel
