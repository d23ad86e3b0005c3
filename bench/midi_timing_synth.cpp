// The embedded synth part of the MIDI timing benchmark: the synth on JACK audio, driven by the row
// clock like playback drives it, a side stick on every row of 10 ms. Each row also cuts the sound
// half a row later (all sound off), so every click starts from silence and its onset is simply
// the first sound after a quiet stretch of the recording.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "devices/device_results.h"
#include "devices/gm_synth.h"
#include "devices/jack_capture.h"
#include "midi/row_clock.h"
#include "midi_timing_bench.h"

namespace varnel::bench {

using namespace std::chrono_literals;

void RunSynthOnsets(int period, bool loaded, bool quick) {
  const char* load = loaded ? "loaded" : "idle";
  if (FindSoundFont("").empty()) {
    std::printf("%6d %-6s synth   10 ms  no General MIDI SoundFont installed\n", period, load);
    return;
  }
  const int rows = quick ? 100 : 500;
  const RowPeriod row = RowPeriodFor(250, 24);  // 10 ms
  const double rowFrames = 480;
  SynthSettings settings;
  settings.audioDriver = "jack";
  settings.sampleRate = 48000;
  settings.gain = 0.5;
  settings.effects = false;  // the instruments' own reverb would fill the silences between clicks
  int result = 0;
  auto synth = EmbeddedSynthOutput::Open(settings, result);
  auto capture = JackCapture::Open("VarnelBenchAudio", 16, size_t((rows + 50) * rowFrames));
  const auto sources = capture ? capture->AudioSources("fluidsynth") : std::vector<std::string>{};
  if (!synth || !capture || sources.empty() || !capture->ConnectAudio(sources.front())) {
    std::printf("%6d %-6s synth   10 ms  could not play the synth into a capture port (rc %d)\n", period, load, result);
    return;
  }
  std::this_thread::sleep_for(1500ms);  // the audio callback's clock settles

  ThreadRowClock clock;
  clock.SetLead(synth->Lead());
  const uint64_t xruns = capture->Xruns();
  capture->Start();
  clock.Start(row, [&](MidiTime deadline) {
    synth->Send(MakeShortMessage(0x99, 37, 127), deadline);
    synth->Send(MakeShortMessage(0xB9, 120, 0), deadline + row / 2);
  });
  std::this_thread::sleep_for(row * rows + 100ms);
  clock.Stop();
  std::this_thread::sleep_for(100ms);
  capture->Stop();

  int64_t first = 0;
  const auto audio = capture->Audio(first);
  std::vector<int64_t> onsets;
  int quiet = 0;
  for (size_t i = 0; i < audio.size(); ++i) {
    // An idle synth keeps a noise floor near 1e-8; a click's first sample is far above 1e-6.
    const bool sound = std::abs(audio[i]) > 1e-6f;
    if (sound && quiet >= 32) onsets.push_back(int64_t(i));
    quiet = sound ? 0 : quiet + 1;
  }
  // The recording's sample i arrived at frame first + i.
  std::vector<int64_t> xrunSamples;
  for (const int64_t frame : capture->XrunFrames()) xrunSamples.push_back(frame - first);
  const Deviation d = IntervalDeviation(onsets, rowFrames, xrunSamples, XrunMargin(period));
  std::printf("%6d %-6s synth   10 ms  %6zu | %6.0f %6.0f %6.0f frames | %7.1f %7.1f %7.1f us | %5llu %4zu %6.0f  %s\n",
              period, load, d.count, d.p50, d.p99, d.max, d.p50 * 1e6 / 48000, d.p99 * 1e6 / 48000, d.max * 1e6 / 48000,
              (unsigned long long)(capture->Xruns() - xruns), d.spanningXruns, d.maxAll,
              d.count > 0 && d.max <= 1 ? "PASS" : "FAIL (target 1 frame; FluidSynth takes events only between its 64-frame blocks)");
  std::fflush(stdout);
}

}  // namespace varnel::bench
