// Commands that use the system's MIDI devices: listing them and real-time playback.
#include "cli/device_commands.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "devices/system_midi_backend.h"
#include "midi/device_session.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/row_clock.h"

namespace varnel::cli {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted = true; }

// The device for --device, --device2 or --device3: a number as the device list counts (-1 is the
// MIDI Mapper) or a name. An empty value: the MIDI Mapper for the first output, none for the others.
bool FindOutput(const std::string& wanted, const std::vector<std::string>& names, bool first, std::string& name) {
  name = wanted.empty() && first ? MapperName : "";
  if (wanted.empty()) return true;
  char* end = nullptr;
  const long number = std::strtol(wanted.c_str(), &end, 10);
  if (end && *end == '\0') {
    if (number < -1 || number >= long(names.size())) return false;
    name = number < 0 ? MapperName : names[size_t(number)];
    return true;
  }
  if (wanted == MapperName || std::find(names.begin(), names.end(), wanted) != names.end()) {
    name = wanted;
    return true;
  }
  return false;
}

// The input for --follow-clock: a number as `devices` lists it, or a name.
bool FindInput(const std::string& wanted, const std::vector<std::string>& names, int& id) {
  char* end = nullptr;
  const long number = std::strtol(wanted.c_str(), &end, 10);
  if (end && *end == '\0' && !wanted.empty()) {
    id = int(number);
    return number >= 0 && number < long(names.size());
  }
  const auto it = std::find(names.begin(), names.end(), wanted);
  id = int(it - names.begin());
  return it != names.end();
}

// Remembers the last status text, so a failed open can be told on standard error.
class PlayReporter final : public Reporter {
 public:
  PlayReporter(std::ostream& err, bool verbose) : console_(err, verbose) {}
  void Status(const std::string& text, int panel) override {
    last = text;
    if (text.starts_with("Could not open")) failure = text;
    console_.Status(text, panel);
  }
  void Message(const std::string& text) override { console_.Message(text); }
  bool Question(const std::string& text) override { return console_.Question(text); }
  ConsoleReporter& Console() { return console_; }
  std::string last;
  std::string failure;

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
  const Arguments args = SplitArguments(context.args, {"--pattern"},
                                        {"--device", "--device2", "--device3", "--loops", "--soundfont", "--follow-clock"});
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
  DeviceSession& session = devices.Session();
  const auto names = session.OutputNames();
  const char* options[OutputBlocks] = {"--device", "--device2", "--device3"};
  std::string chosen[OutputBlocks];
  for (int block = 0; block < OutputBlocks; ++block) {
    if (!FindOutput(args.Value(options[block]), names, block == 0, chosen[block])) {
      context.err << "No such MIDI output: " << args.Value(options[block]) << " (see varnel-cli devices)\n";
      return ExitFailure;
    }
  }
  // --follow-clock: the input's MIDI clock sets tempo and transport; playback waits for its Start.
  int in = -1;
  std::string inName;
  const bool follow = !args.Value("--follow-clock").empty();
  if (follow) {
    const auto inputs = devices.GetMidiInDevices();
    if (!FindInput(args.Value("--follow-clock"), inputs, in)) {
      context.err << "No such MIDI input: " << args.Value("--follow-clock") << " (see varnel-cli devices)\n";
      return ExitFailure;
    }
    inName = inputs[size_t(in)];
  }
  for (int block = 0; block < OutputBlocks; ++block) {
    const std::string& name = chosen[block];
    if (name.empty()) continue;
    reporter.last.clear();
    session.SelectOutput(block, name);
    if (session.Status(block).state != DeviceState::Open) {
      context.err << name << ": " << reporter.last << '\n';
      return ExitFailure;
    }
  }
  // A device that goes or comes back while the song plays is told whatever --verbose says.
  session.SetListener([&](int slot, const DeviceStatus&, bool) {
    if (!context.verbose) context.err << '\r' << session.StatusText(slot) << '\n';
  });
  std::atomic<bool> woken{false};
  session.SetWake([&] { woken = true; });
  devices.ResetChannels(-1);

  ThreadRowClock clock;
  PlaybackEngine engine(song, devices, clock);
  engine.SetPassLimit(loops);
  if (follow) {
    devices.SetTimedInputHandler([&engine](const ShortMessage& m, MidiTime when) { engine.Follower().Receive(m, when); });
    devices.SelectInDevice(in, inName);
    if (!reporter.failure.empty()) {
      context.err << inName << ": " << reporter.failure << '\n';
      devices.SelectInDevice(-1, "None");
      session.SetWake(nullptr);
      session.SetListener(nullptr);
      return ExitFailure;
    }
    engine.SetFollowing(true);
  }
  interrupted = false;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  engine.Rewind();
  if (!follow && !engine.StartPlayTimer()) {
    context.err << reporter.last << '\n';
    return ExitFailure;
  }
  const bool terminal = isatty(STDERR_FILENO) != 0;
  int shown = -1;
  auto polled = std::chrono::steady_clock::now();
  std::string shownSync;
  while (!interrupted && !engine.Finished()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // The devices' states: at once when a device told, else once a second.
    if (woken.exchange(false) || std::chrono::steady_clock::now() - polled >= std::chrono::seconds(1)) {
      polled = std::chrono::steady_clock::now();
      session.Poll();
    }
    const int position = song.LastPlayedOrder * 256 + song.LastPlayedRow;
    std::string sync;
    if (follow) {
      const double tempo = engine.Follower().Tempo(MidiClock::now());
      char text[32];
      std::snprintf(text, sizeof text, "EXT %.1f BPM", tempo);
      sync = tempo > 0 ? text : "EXT: no clock";
    }
    if (terminal && (position != shown || sync != shownSync)) {
      shown = position;
      shownSync = sync;
      std::fprintf(stderr, "\rPlay: %02d %02d  %s  ", int(song.LastPlayedOrder), int(song.LastPlayedRow), sync.c_str());
      std::fflush(stderr);
    } else if (!terminal && (sync == "EXT: no clock") != (shownSync == "EXT: no clock")) {
      shownSync = sync;  // a log gets a line when the clock comes or goes
      std::fprintf(stderr, "%s\n", sync.c_str());
    }
  }
  // The last row sounds for its whole period before the notes are cut.
  if (!interrupted) std::this_thread::sleep_for(RowPeriodFor(song.BPM, song.SPD));
  engine.Stop();
  if (follow) devices.SelectInDevice(-1, "None");  // the input calls into the engine: it goes first
  session.SetWake(nullptr);
  session.SetListener(nullptr);
  if (terminal) std::fprintf(stderr, "\n");
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  return interrupted ? 130 : ExitOk;
}

}  // namespace varnel::cli
