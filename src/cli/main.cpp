// varnel-cli: the headless tool. Each command is one entry of the table below; a command parses
// its own arguments and returns the exit status (0 done, 1 failed, 2 wrong use).
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.h"
#include "cli/device_commands.h"
#include "cli/events_command.h"
#include "cli/export_command.h"
#include "cli/import_command.h"
#include "cli/render_command.h"
#include "cli/info_command.h"
#include "cli/resave_command.h"

namespace varnel::cli {
namespace {

struct Command {
  std::string_view name;
  std::string_view arguments;
  std::string_view summary;
  int (*run)(CommandContext&);
};

constexpr Command Commands[] = {
    {"info", "SONG.vnl [--json] [--cells]",
     "show what the song holds; --json as one JSON document, --cells with every cell of every pattern",
     RunInfo},
    {"resave", "IN.vnl OUT.vnl", "load a song and save it in the current file version", RunResave},
    {"events", "SONG.vnl --rows N [--mode song|pattern] [--metronome]",
     "play N rows on a virtual clock and print every MIDI message: the row count (-1 for the channel "
     "preparation), then the bytes in hex",
     RunEvents},
    {"devices", "", "list the MIDI output and input devices, numbered as the device menus number them", RunDevices},
    {"play", "SONG.vnl [--device N|NAME] [--device2 N|NAME] [--device3 N|NAME] [--pattern] [--loops N] [--soundfont FILE] [--follow-clock IN]",
     "play the song through a MIDI output (default: the embedded synth) once, or N times; MIDI channels "
     "17-32 and 33-48 go to --device2 and --device3 (on their channels 1-16), else to the embedded synth when "
     "it is the output; --pattern plays the current pattern; --follow-clock follows the MIDI clock of input IN "
     "(a number or name as `devices` lists it): playback waits for its Start or Continue and follows its tempo, "
     "Stop and Song Position Pointer; Ctrl+C stops with all notes off",
     RunPlay},
    {"export-midi", "SONG.vnl OUT.mid [--pattern N]",
     "write the song (or pattern N, played once) as a Standard MIDI File", RunExportMidi},
    {"import", "IN.mid|IN.xm OUT.vnl [--start-row S] [--rows L] [--spd R] [--method 0|1] [--pack]",
     "make a song from a MIDI file or an extended module (told apart by their content)", RunImport},
    {"render", "SONG.vnl OUT.wav [--pattern N] [--loops N] [--rate 44100|48000] [--soundfont FILE]",
     "play the song through the embedded synth into a WAV file, faster than real time", RunRender},
};

void PrintUsage(std::ostream& out) {
  out << "Usage: varnel-cli [--verbose] COMMAND ARGUMENTS\n\nCommands:\n";
  for (const Command& command : Commands) {
    out << "  " << command.name << ' ' << command.arguments << "\n      " << command.summary << '\n';
  }
  out << "\nOptions:\n  --verbose   also print the song's status texts on standard error\n"
         "  --help      show this text\n\nExit status: 0 done, 1 failed, 2 wrong use.\n";
}

int Run(const std::vector<std::string>& all) {
  std::vector<std::string> args;
  bool verbose = false, help = false, options = true;
  for (const std::string& arg : all) {
    if (options && arg == "--") options = false;
    if (options && arg == "--verbose") {
      verbose = true;
    } else if (options && (arg == "--help" || arg == "-h")) {
      help = true;
    } else {
      args.push_back(arg);
    }
  }
  if (help) {
    PrintUsage(std::cout);
    return ExitOk;
  }
  if (args.empty()) {
    PrintUsage(std::cerr);
    return ExitUsage;
  }
  for (const Command& command : Commands) {
    if (command.name != args[0]) continue;
    CommandContext context{{args.begin() + 1, args.end()}, verbose, std::cout, std::cerr};
    try {
      return command.run(context);
    } catch (const UsageError& error) {
      std::cerr << "varnel-cli " << command.name << ": " << error.what() << "\nUsage: varnel-cli "
                << command.name << ' ' << command.arguments << '\n';
      return ExitUsage;
    }
  }
  std::cerr << "varnel-cli: unknown command " << args[0] << "\n\n";
  PrintUsage(std::cerr);
  return ExitUsage;
}

}  // namespace
}  // namespace varnel::cli

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    return varnel::cli::Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    std::cerr << "varnel-cli: " << error.what() << '\n';
  } catch (...) {
    std::cerr << "varnel-cli: unexpected failure\n";
  }
  return varnel::cli::ExitFailure;
}
