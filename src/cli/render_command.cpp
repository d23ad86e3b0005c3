// varnel-cli render: the song through the embedded synth into a WAV file, faster than real time.
#include "cli/render_command.h"

#include <unistd.h>

#include <cstdio>

#include "devices/device_results.h"
#include "devices/gm_synth.h"
#include "exchange/song_render.h"

namespace varnel::cli {

int RunRender(CommandContext& context) {
  const Arguments args = SplitArguments(context.args, {}, {"--pattern", "--loops", "--rate", "--soundfont"});
  if (args.positional.size() != 2) throw UsageError("render needs a song file and a WAV file");
  RenderOptions options;
  options.wholeSong = !args.values.count("--pattern");
  options.pattern = args.Number("--pattern", 0, 0, 255);
  options.loops = args.Number("--loops", 1, 1, 10000);
  options.sampleRate = args.Number("--rate", 44100, 8000, 96000);
  if (options.sampleRate != 44100 && options.sampleRate != 48000) throw UsageError("--rate is 44100 or 48000");
  if (options.wholeSong && args.values.count("--loops")) throw UsageError("--loops goes with --pattern");

  ConsoleReporter reporter(context.err, context.verbose);
  TVNSong song(&reporter);
  const std::string& in = args.positional[0];
  if (!LoadSongOrSay(song, reporter, in, context.err)) return ExitFailure;
  if (!options.wholeSong && options.pattern >= song.PatternsCount()) {
    context.err << in << ": there is no pattern " << options.pattern << " (the song has " << song.PatternsCount()
                << " patterns)\n";
    return ExitFailure;
  }

  SynthSettings settings;
  settings.soundFont = args.Value("--soundfont");
  settings.sampleRate = options.sampleRate;
  int result = 0;
  auto synth = GmSynth::Create(settings, result);
  if (!synth) {
    context.err << (result == DeviceNoSoundFont ? "No General MIDI SoundFont found (install timgm6mb-soundfont or "
                                                  "give --soundfont FILE)"
                                                : "The synth could not be created")
                << '\n';
    return ExitFailure;
  }
  GmRenderSynth render(*synth);
  const bool terminal = isatty(STDERR_FILENO) != 0;
  int64_t shown = -1;
  reporter.SetContext(args.positional[1]);
  const bool ok = RenderSong(song, render, options, args.positional[1], [&](int64_t done, int64_t rows) {
    const int64_t percent = rows > 0 ? done * 100 / rows : 100;
    if (!terminal || percent == shown) return;
    shown = percent;
    std::fprintf(stderr, "\rRendering: %3lld%%", static_cast<long long>(percent));
    std::fflush(stderr);
  });
  if (terminal) std::fprintf(stderr, "\n");
  return ok ? ExitOk : ExitFailure;
}

}  // namespace varnel::cli
