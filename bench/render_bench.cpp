// Rendering to WAV against the synth's own floor: a dense 16-channel song rendered by Varnel through
// the embedded synth, and the same song exported as MIDI rendered by the fluidsynth program with the
// same SoundFont and settings, in the same run. The synth does nearly all the work, so Varnel's
// sequencing must cost almost nothing. Target: Varnel's render at most 1.1x fluidsynth's time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "devices/gm_synth.h"
#include "exchange/midi_export.h"
#include "exchange/song_render.h"
#include "song/song.h"

namespace varnel {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// 16 channels on 16 programs, a note on every channel every row: 8 positions of 64 rows, 128 s.
void BuildDenseSong(TVNSong& song) {
  song.Reset(16, 64, true);
  for (int c = 0; c < 16; ++c) {
    song.SetProgram(c, uint8_t(c * 7 % 128));
    for (int r = 0; r < 64; ++r) song.StoreCell(0, c, r, 36 + (c * 5 + r * 7) % 60);
  }
  for (int pos = 1; pos < 8; ++pos)
    for (int c = 0; c < 16; ++c) song.SetOrder(c, pos, 0);
  song.BPM = 120;
  song.SPD = 2;
}

}  // namespace
}  // namespace varnel

int main() {
  using namespace varnel;
  const std::string soundFont = FindSoundFont("");
  if (soundFont.empty()) {
    std::printf("no General MIDI SoundFont installed: nothing to measure\n");
    return 0;
  }
  const auto dir = std::filesystem::temp_directory_path() / "varnel-render-bench";
  std::filesystem::create_directories(dir);
  const std::string mid = (dir / "dense.mid").string(), ours = (dir / "varnel.wav").string(),
                    theirs = (dir / "fluidsynth.wav").string();
  TVNSong song;
  BuildDenseSong(song);
  if (!ExportMidi(song, mid, true)) return 1;

  std::vector<double> varnelTimes, fluidTimes;
  for (int run = 0; run < 3; ++run) {
    auto start = Clock::now();
    {
      SynthSettings settings;
      settings.soundFont = soundFont;
      int result = 0;
      auto synth = GmSynth::Create(settings, result);
      if (!synth) return 1;
      GmRenderSynth render(*synth);
      TVNSong copy;
      BuildDenseSong(copy);
      if (!RenderSong(copy, render, {}, ours)) return 1;
    }
    varnelTimes.push_back(SecondsSince(start));

    start = Clock::now();
    const std::string command =
        "fluidsynth -q -ni -g 0.2 -r 44100 -F '" + theirs + "' '" + soundFont + "' '" + mid + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
      std::printf("the fluidsynth program is not installed or failed: nothing to compare with\n");
      return 0;
    }
    fluidTimes.push_back(SecondsSince(start));
  }
  const double v = Median(varnelTimes), f = Median(fluidTimes);
  const auto seconds = [](const std::string& wav) { return double(std::filesystem::file_size(wav) - 44) / 4 / 44100; };
  std::printf("song: 16 channels, a note on every channel every row, %.1f s of audio (fluidsynth's file: %.1f s)\n",
              seconds(ours), seconds(theirs));
  std::printf("varnel render: median %7.3f s over 3 runs\n", v);
  std::printf("fluidsynth   : median %7.3f s over 3 runs\n", f);
  // fluidsynth renders on past the last event until its voices have died away, so the times are also
  // compared per second of audio written; the verdict takes the less favourable of the two ratios.
  const double perSecond = (v / seconds(ours)) / (f / seconds(theirs));
  const double ratio = std::max(v / f, perSecond);
  std::printf("ratio %.2f (per second of audio %.2f; target <= 1.10)  %s\n", v / f, perSecond,
              ratio <= 1.1 ? "PASS" : "FAIL");
  return 0;
}
