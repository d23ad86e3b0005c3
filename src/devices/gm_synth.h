// Varnel's embedded General MIDI synthesizer (FluidSynth with a GM SoundFont): the "MIDI Mapper".
// GmSynth is the synth alone, which renders offline (a song to WAV); EmbeddedSynthOutput adds the
// platform's audio output for real-time play.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devices/jack_server.h"
#include "devices/timed_synth.h"
#include "exchange/song_render.h"
#include "midi/midi_output.h"

namespace varnel {

struct SynthSettings {
  std::string soundFont;    // the "SoundFont" setting; empty: search the usual places
  std::string audioDriver;  // a FluidSynth driver name ("alsa", "jack", "pulseaudio", ...); empty: default
  double sampleRate = 44100;
  double gain = 0.2;
  bool effects = true;  // the reverb and chorus units
};

// Where a SoundFont is looked for, in order: the setting, $VARNEL_SOUNDFONT, then under
// $XDG_DATA_HOME and each of $XDG_DATA_DIRS (default /usr/local/share:/usr/share) Debian's
// "sounds/sf2/default-GM.sf2" link, then "sounds/sf2/TimGM6mb.sf2", then "sounds/sf2/FluidR3_GM.sf2".
std::vector<std::string> SoundFontCandidates(const std::string& setting);
// The first candidate that is an existing file; empty when there is none.
std::string FindSoundFont(const std::string& setting);

class GmSynth final : public MidiOutput {
 public:
  // Null with a result code of devices/device_results.h when no SoundFont could be loaded.
  static std::unique_ptr<GmSynth> Create(const SynthSettings& settings, int& result);
  ~GmSynth() override;

  // Channel messages sound as on a GM module, on the synth's channel 16 x port + the message's
  // (48 channels); 0xFF resets the synth; other system messages are
  // ignored. Safe from several threads at once. `when` is not used: the message plays from the
  // next rendered frame.
  void Send(const ShortMessage& message, MidiTime when) override;

  // Renders the next frames of audio into two float buffers (offline, or for the audio callback).
  void RenderFrames(float* left, float* right, int frames);
  // The rate RenderFrames renders at. An audio output may run the synth at its device's own rate
  // (JACK does), which FluidSynth does not report back.
  double SampleRate() const;
  const std::string& SoundFontPath() const { return soundFont_; }

 private:
  friend class EmbeddedSynthOutput;
  struct Handles;
  explicit GmSynth(std::unique_ptr<Handles> handles, std::string soundFont);

  std::unique_ptr<Handles> handles_;
  std::string soundFont_;
};

// The synth playing through the platform's audio output. Every message is placed in the audio at
// its intended time plus one audio buffer (see TimedSynth), so rows sound evenly spaced whatever
// the buffer size; the audio thread alone touches the synth.
class EmbeddedSynthOutput final : public MidiOutput {
 public:
  // Null with DeviceNoAudio when the audio output cannot be started (no sound card, no server).
  // `news` hears when the audio output's server stops.
  static std::unique_ptr<EmbeddedSynthOutput> Open(const SynthSettings& settings, int& result,
                                                   std::shared_ptr<DeviceNews> news = nullptr);
  ~EmbeddedSynthOutput() override;

  void Send(const ShortMessage& message, MidiTime when) override;
  std::chrono::nanoseconds Lead() const override;
  void SetLatencyOffset(std::chrono::nanoseconds offset) override;
  void CancelAfter(MidiTime after) override;
  bool HoldsMessages() const override { return true; }
  std::string Lost() const override;  // its JACK server has stopped
  int Blocks() const override { return 3; }  // MIDI channels 1..48
  // The synth's rate, which is the audio output's.
  double SampleRate() const { return synth_->SampleRate(); }

 private:
  struct Driver;
  EmbeddedSynthOutput(std::unique_ptr<GmSynth> synth, std::unique_ptr<TimedSynth> timed,
                      std::unique_ptr<Driver> driver);

  std::unique_ptr<GmSynth> synth_;
  std::unique_ptr<TimedSynth> timed_;
  std::unique_ptr<Driver> driver_;  // last: stopped before the synth goes
};

// The synth as the song renderer's instrument: messages at once, audio on demand (no audio output).
class GmRenderSynth final : public RenderSynth {
 public:
  explicit GmRenderSynth(GmSynth& synth) : synth_(synth) {}
  void Send(const ShortMessage& message) override { synth_.Send(message, SendNow); }
  void Render(float* left, float* right, int frames) override { synth_.RenderFrames(left, right, frames); }

 private:
  GmSynth& synth_;
};

// How early a message should reach the embedded synth (the row clock's wake-up latency and more).
inline constexpr std::chrono::nanoseconds SynthScheduleMargin = std::chrono::milliseconds(8);

}  // namespace varnel
