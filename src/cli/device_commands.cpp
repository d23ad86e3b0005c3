// Commands that use the system's MIDI devices: listing them and real-time playback.
#include "cli/device_commands.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

#include "devices/system_midi_backend.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/row_clock.h"

namespace varnel::cli {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted = true; }

// The menu item for --device: a number as the menus count (-1 is the MIDI Mapper) or a name.
bool FindOutput(const std::string& wanted, const std::vector<std::string>& names, int& id, std::string& caption) {
  id = -1;
  caption = "MIDI Mapper";
  if (wanted.empty()) return true;
  char* end = nullptr;
  const long number = std::strtol(wanted.c_str(), &end, 10);
  if (end && *end == '\0' && !wanted.empty()) {
    if (number < -1 || number >= long(names.size())) return false;
    id = int(number);
    caption = id < 0 ? "MIDI Mapper" : names[size_t(id)];
    return true;
  }
  if (wanted == caption) return true;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] != wanted) continue;
    id = int(i);
    caption = names[i];
    return true;
  }
  return false;
}

// Remembers the last status text, so a failed open can be told on standard error.
class PlayReporter final : public Reporter {
 public:
  PlayReporter(std::ostream& err, bool verbose) : console_(err, verbose) {}
  void Status(const std::string& text, int panel) override {
    last = text;
    console_.Status(text, panel);
  }
  void Message(const std::string& text) override { console_.Message(text); }
  bool Question(const std::string& text) override { return console_.Question(text); }
  ConsoleReporter& Console() { return console_; }
  std::string last;

 private:
  ConsoleReporter console_;
};

}  // namespace

int RunDevices(CommandContext& context) {
  const Arguments args = SplitArguments(context.args, {});
  if (!args.positional.empty()) throw UsageError("devices takes no arguments");
  SystemMidiBackend backend;
  context.out << "MIDI Out Device\n  -1  MIDI Mapper\n";
  const auto outputs = backend.OutputNames();
  for (size_t i = 0; i < outputs.size(); ++i) context.out << "  " << i << "  " << outputs[i] << '\n';
  context.out << "MIDI In Device\n  -1  None\n";
  const auto inputs = backend.InputNames();
  for (size_t i = 0; i < inputs.size(); ++i) context.out << "  " << i << "  " << inputs[i] << '\n';
  return ExitOk;
}

int RunPlay(CommandContext& context) {
  const Arguments args = SplitArguments(context.args, {"--pattern"}, {"--device", "--loops", "--soundfont"});
  if (args.positional.size() != 1) throw UsageError("play needs one song file");
  const int loops = args.Number("--loops", 1, 1, 1'000'000);

  PlayReporter reporter(context.err, context.verbose);
  TVNSong song(&reporter);
  if (!LoadSongOrSay(song, reporter.Console(), args.positional[0], context.err)) return ExitFailure;
  song.SongMode = !args.Has("--pattern");

  SynthSettings synth;
  synth.soundFont = args.Value("--soundfont");
  SystemMidiBackend backend(synth);
  MidiDevices devices(backend, song);
  int id;
  std::string caption;
  if (!FindOutput(args.Value("--device"), devices.GetMidiOutDevices(), id, caption)) {
    context.err << "No such MIDI output: " << args.Value("--device") << " (see varnel-cli devices)\n";
    return ExitFailure;
  }
  reporter.last.clear();
  if (!devices.OpenMidiOut(id)) {
    context.err << caption << ": " << reporter.last << '\n';
    return ExitFailure;
  }
  devices.ResetChannels(-1);

  ThreadRowClock clock;
  PlaybackEngine engine(song, devices, clock);
  engine.SetPassLimit(loops);
  interrupted = false;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  engine.Rewind();
  if (!engine.StartPlayTimer()) {
    context.err << reporter.last << '\n';
    return ExitFailure;
  }
  const bool terminal = isatty(STDERR_FILENO) != 0;
  int shown = -1;
  while (!interrupted && !engine.Finished()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int position = song.LastPlayedOrder * 256 + song.LastPlayedRow;
    if (terminal && position != shown) {
      shown = position;
      std::fprintf(stderr, "\rPlay: %02d %02d  ", int(song.LastPlayedOrder), int(song.LastPlayedRow));
      std::fflush(stderr);
    }
  }
  // The last row sounds for its whole period before the notes are cut.
  if (!interrupted) std::this_thread::sleep_for(RowPeriodFor(song.BPM, song.SPD));
  engine.Stop();
  if (terminal) std::fprintf(stderr, "\n");
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  return interrupted ? 130 : ExitOk;
}

}  // namespace varnel::cli
