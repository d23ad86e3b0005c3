// A JACK client that records what reaches its ports together with the frame each arrived at, on
// the server's own frame clock: MIDI events and one channel of audio. It measures where Varnel's
// messages and notes really land (tests and benchmarks); nothing of the program uses it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "midi/midi_output.h"

namespace varnel {

class JackCapture {
 public:
  struct MidiEvent {
    int64_t frame;  // frames since the capture client's first cycle
    ShortMessage message;
  };

  // Ports "midi_in" and, with `audioFrames` > 0, "audio_in", recording up to `maxEvents` events and
  // `audioFrames` frames of audio. Null when no JACK server runs.
  static std::unique_ptr<JackCapture> Open(const std::string& clientName, size_t maxEvents, size_t audioFrames);
  ~JackCapture();

  // Connects an output port of another client to the MIDI (or audio) port. False on failure.
  bool ConnectMidi(const std::string& source);
  bool ConnectAudio(const std::string& source);
  std::string MidiPort() const;
  // The audio output ports of the clients whose names start with `client` (the synth's, say).
  std::vector<std::string> AudioSources(const std::string& client) const;
  uint32_t SampleRate() const;
  uint32_t Period() const;

  // Recording runs from Start to Stop; Start forgets what was recorded before.
  void Start();
  void Stop();
  std::vector<MidiEvent> Midi() const;  // after Stop
  // The audio recorded, and the frame its first sample arrived at.
  std::vector<float> Audio(int64_t& firstFrame) const;
  uint64_t Xruns() const;  // the server's xruns since Open
  // Where the xruns since Start happened, on the frame scale of Midi(), roughly (to within a period
  // or two: JACK reports them after the cycle). The dummy driver restarts its timeline after a late
  // cycle, so its frame clock loses the time it was late: a gap between two events that spans an
  // xrun is short by that much, whatever sent them.
  std::vector<int64_t> XrunFrames() const;

  struct Client;

 private:
  explicit JackCapture(std::unique_ptr<Client> client);
  void SettleCycles() const;
  std::unique_ptr<Client> client_;
};

}  // namespace varnel
