#include "devices/gm_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "devices/device_log.h"
#include "devices/device_results.h"
#include "devices/jack_audio_output.h"
#include "devices/jack_server.h"
#include "song/reporter.h"

namespace varnel {

struct GmSynth::Handles {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  ~Handles() {
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

struct EmbeddedSynthOutput::Driver {
  fluid_settings_t* settings = nullptr;     // the audio driver's own
  fluid_audio_driver_t* driver = nullptr;   // a FluidSynth driver (not JACK's), or
  std::unique_ptr<JackAudioOutput> jack;    // Varnel's own JACK client
  std::atomic<TimedSynth*> timed{nullptr};  // silence until the synth runs at the driver's rate

  // The audio thread. The buffers come zeroed.
  static int Render(void* data, int frames, int, float*[], int outputs, float* out[]) {
    if (outputs >= 2) RenderJack(data, out[0], out[1], frames, MidiClock::now());
    return FLUID_OK;
  }
  static void RenderJack(void* data, float* left, float* right, int frames, MidiTime now) {
    TimedSynth* timed = static_cast<Driver*>(data)->timed.load(std::memory_order_acquire);
    if (timed) timed->Render(left, right, frames, now);
  }

  ~Driver() {
    jack.reset();
    if (driver) delete_fluid_audio_driver(driver);
    if (settings) delete_fluid_settings(settings);
  }
};

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::vector<std::string> DataDirs() {
  std::vector<std::string> dirs;
  std::string home = Environment("XDG_DATA_HOME");
  if (home.empty() && !Environment("HOME").empty()) home = Environment("HOME") + "/.local/share";
  if (!home.empty()) dirs.push_back(home);
  std::string system = Environment("XDG_DATA_DIRS");
  if (system.empty()) system = "/usr/local/share:/usr/share";
  std::istringstream list(system);
  for (std::string dir; std::getline(list, dir, ':');) {
    if (!dir.empty()) dirs.push_back(dir);
  }
  return dirs;
}

// A SoundFont (SF2/SF3) or DLS file by its RIFF header. Other files are not handed to FluidSynth,
// whose DLS loader complains about them on stderr.
bool IsInstrumentFile(const std::string& path) {
  char header[12] = {};
  std::ifstream file(path, std::ios::binary);
  if (!file.read(header, sizeof header)) return false;
  const std::string_view form(header + 8, 4);
  return std::string_view(header, 4) == "RIFF" && (form == "sfbk" || form == "DLS ");
}

}  // namespace

std::vector<std::string> SoundFontCandidates(const std::string& setting) {
  std::vector<std::string> candidates;
  if (!setting.empty()) candidates.push_back(setting);
  if (std::string variable = Environment("VARNEL_SOUNDFONT"); !variable.empty()) candidates.push_back(variable);
  const auto dirs = DataDirs();
  for (const char* file : {"default-GM.sf2", "TimGM6mb.sf2", "FluidR3_GM.sf2"}) {
    for (const std::string& dir : dirs) candidates.push_back(dir + "/sounds/sf2/" + file);
  }
  return candidates;
}

std::string FindSoundFont(const std::string& setting) {
  for (const std::string& candidate : SoundFontCandidates(setting)) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
  }
  return "";
}

GmSynth::GmSynth(std::unique_ptr<Handles> handles, std::string soundFont)
    : handles_(std::move(handles)), soundFont_(std::move(soundFont)) {}

GmSynth::~GmSynth() = default;

std::unique_ptr<GmSynth> GmSynth::Create(const SynthSettings& settings, int& result) {
  QuietDeviceLibraries();
  auto handles = std::make_unique<Handles>();
  handles->settings = new_fluid_settings();
  if (!handles->settings) {
    result = DeviceSynthFailed;
    return nullptr;
  }
  // Out-of-range values would be refused and leave FluidSynth's defaults; the nearest valid value
  // is closer to what was asked for.
  fluid_settings_setnum(handles->settings, "synth.sample-rate", std::clamp(settings.sampleRate, 8000.0, 96000.0));
  fluid_settings_setnum(handles->settings, "synth.gain", std::clamp(settings.gain, 0.0, 10.0));
  fluid_settings_setint(handles->settings, "synth.midi-channels", 48);  // the song's three blocks
  if (!settings.effects) {
    fluid_settings_setint(handles->settings, "synth.reverb.active", 0);
    fluid_settings_setint(handles->settings, "synth.chorus.active", 0);
  }
  if (!settings.audioDriver.empty()) fluid_settings_setstr(handles->settings, "audio.driver", settings.audioDriver.c_str());
  handles->synth = new_fluid_synth(handles->settings);
  if (!handles->synth) {
    result = DeviceSynthFailed;
    return nullptr;
  }
  // A SoundFont that is missing or will not load gives way to the next one: the synth should sound.
  for (const std::string& candidate : SoundFontCandidates(settings.soundFont)) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(candidate, error)) continue;
    int loaded = FLUID_FAILED;
    if (IsInstrumentFile(candidate)) {
      GlibLogCapture quiet;
      loaded = fluid_synth_sfload(handles->synth, candidate.c_str(), 1);
    }
    if (loaded != FLUID_FAILED) {
      Trace("SoundFont ", candidate);
      result = DeviceOk;
      return std::unique_ptr<GmSynth>(new GmSynth(std::move(handles), candidate));
    }
    Trace("SoundFont not loaded: ", candidate);
  }
  result = DeviceNoSoundFont;
  return nullptr;
}

void GmSynth::Send(const ShortMessage& message, MidiTime) {
  if (message.size == 0) return;
  fluid_synth_t* synth = handles_->synth;
  const int status = message.bytes[0];
  const int channel = (status & 0x0F) + 16 * std::min<int>(message.port, 2);
  const int data1 = message.size > 1 ? message.bytes[1] & 0x7F : 0;
  const int data2 = message.size > 2 ? message.bytes[2] & 0x7F : 0;
  switch (status & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth, channel, data1); break;
    case 0x90: data2 ? fluid_synth_noteon(synth, channel, data1, data2) : fluid_synth_noteoff(synth, channel, data1); break;
    case 0xA0: fluid_synth_key_pressure(synth, channel, data1, data2); break;
    case 0xB0: fluid_synth_cc(synth, channel, data1, data2); break;
    case 0xC0: fluid_synth_program_change(synth, channel, data1); break;
    case 0xD0: fluid_synth_channel_pressure(synth, channel, data1); break;
    case 0xE0: fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7)); break;
    default:
      if (status == 0xFF) fluid_synth_system_reset(synth);
      break;
  }
}

void GmSynth::RenderFrames(float* left, float* right, int frames) {
  if (frames > 0) fluid_synth_write_float(handles_->synth, frames, left, 0, 1, right, 0, 1);
}

double GmSynth::SampleRate() const {
  double rate = 44100;
  fluid_settings_getnum(handles_->settings, "synth.sample-rate", &rate);
  return rate;
}

EmbeddedSynthOutput::EmbeddedSynthOutput(std::unique_ptr<GmSynth> synth, std::unique_ptr<TimedSynth> timed,
                                         std::unique_ptr<Driver> driver)
    : synth_(std::move(synth)), timed_(std::move(timed)), driver_(std::move(driver)) {}

EmbeddedSynthOutput::~EmbeddedSynthOutput() { driver_.reset(); }

void EmbeddedSynthOutput::Send(const ShortMessage& message, MidiTime when) {
  if (message.size > 0 && message.size <= 3) timed_->Push(message, when);
}

std::chrono::nanoseconds EmbeddedSynthOutput::Lead() const {
  const auto offset = timed_->LatencyOffset();
  return SynthScheduleMargin + (offset.count() < 0 ? -offset : std::chrono::nanoseconds{});
}

void EmbeddedSynthOutput::SetLatencyOffset(std::chrono::nanoseconds offset) { timed_->SetLatencyOffset(offset); }

void EmbeddedSynthOutput::CancelAfter(MidiTime after) { timed_->CancelAfter(after); }

std::string EmbeddedSynthOutput::Lost() const { return driver_->jack ? driver_->jack->Lost() : ""; }

std::unique_ptr<EmbeddedSynthOutput> EmbeddedSynthOutput::Open(const SynthSettings& settings, int& result,
                                                               std::shared_ptr<DeviceNews> news) {
  QuietDeviceLibraries();
  if (FindSoundFont(settings.soundFont).empty()) {
    result = DeviceNoSoundFont;
    return nullptr;
  }
  // The audio output first: where there is none, trying costs little; loading a SoundFont does not.
  auto driver = std::make_unique<Driver>();
  driver->settings = new_fluid_settings();
  if (!driver->settings) {
    result = DeviceSynthFailed;
    return nullptr;
  }
  double rate = std::clamp(settings.sampleRate, 8000.0, 96000.0);
  fluid_settings_setnum(driver->settings, "synth.sample-rate", rate);
  // With no driver chosen, each that this machine might have is tried in turn, so that a new user
  // hears the song. JACK only where a server already runs: libjack would otherwise start one.
  std::vector<std::string> drivers{settings.audioDriver};
  if (settings.audioDriver.empty()) drivers = {"pipewire", "jack", "pulseaudio", "alsa", "sdl2", "oss"};
  for (const std::string& name : drivers) {
    if (name == "jack") {
      if (!JackServerRunning(CurrentJackServer())) continue;
      int jackResult = DeviceOk;
      driver->jack = JackAudioOutput::Open(&Driver::RenderJack, driver.get(), jackResult, news);
      if (!driver->jack) continue;
      rate = driver->jack->SampleRate();  // the server's own rate: the synth follows it
      break;
    }
    if (fluid_settings_setstr(driver->settings, "audio.driver", name.c_str()) != FLUID_OK) continue;
    driver->driver = new_fluid_audio_driver2(driver->settings, &Driver::Render, driver.get());
    if (driver->driver) {
      fluid_settings_getnum(driver->settings, "synth.sample-rate", &rate);
      break;
    }
  }
  if (!driver->jack && !driver->driver) {
    result = DeviceNoAudio;
    return nullptr;
  }
  SynthSettings at = settings;
  at.sampleRate = rate;
  auto synth = GmSynth::Create(at, result);
  if (!synth) return nullptr;  // the driver goes first and stops calling back
  auto timed = std::make_unique<TimedSynth>(*synth, synth->SampleRate());
  driver->timed.store(timed.get(), std::memory_order_release);
  result = DeviceOk;
  return std::unique_ptr<EmbeddedSynthOutput>(
      new EmbeddedSynthOutput(std::move(synth), std::move(timed), std::move(driver)));
}

}  // namespace varnel
