// Plays a song on a virtual clock into the recording device and prints every message: the row
// count (-1 for the channel preparation of the start), then the bytes in hex.
#include "cli/events_command.h"

#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/recording_output.h"
#include "midi/row_clock.h"

namespace varnel::cli {

int RunEvents(CommandContext& context) {
  const Arguments args = SplitArguments(context.args, {"--metronome"}, {"--rows", "--mode"});
  if (args.positional.size() != 1) throw UsageError("events needs one song file");
  if (!args.values.count("--rows")) throw UsageError("events needs --rows N");
  const int rows = args.Number("--rows", 0, 0, 1'000'000);
  const std::string mode = args.Value("--mode");
  if (!mode.empty() && mode != "song" && mode != "pattern") throw UsageError("--mode is song or pattern");

  ConsoleReporter reporter(context.err, context.verbose);
  TVNSong song(&reporter);
  if (!LoadSongOrSay(song, reporter, args.positional[0], context.err)) return ExitFailure;
  if (!mode.empty()) song.SongMode = mode == "song";
  if (args.Has("--metronome")) song.Metronome = true;

  RecordingBackend backend;
  MidiDevices devices(backend, song);
  ManualRowClock clock;
  PlaybackEngine engine(song, devices, clock);
  devices.OpenMidiOut(-1);
  backend.Recorder().Clear();

  engine.Rewind();
  backend.Recorder().SetLabel(-1);
  engine.StartPlayTimer();
  for (int row = 0; row < rows; ++row) {
    backend.Recorder().SetLabel(row);
    clock.Advance();
  }
  engine.StopPlayTimer();

  for (const auto& event : backend.Recorder().Events())
    context.out << event.label << ' ' << HexBytes(event.message) << '\n';
  return ExitOk;
}

}  // namespace varnel::cli
