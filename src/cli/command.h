// What every varnel-cli command shares: its arguments and streams, exit codes, argument
// splitting and loading a song with the failure said on standard error.
#pragma once

#include <initializer_list>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/console_reporter.h"
#include "song/song.h"

namespace varnel::cli {

enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

struct CommandContext {
  std::vector<std::string> args;  // after the command name, with --verbose taken out
  bool verbose = false;
  std::ostream& out;
  std::ostream& err;
};

// Thrown when a command's arguments are wrong; main prints the text and the usage, exit 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Arguments {
  std::vector<std::string> positional;
  std::set<std::string> flags;
  bool Has(std::string_view flag) const { return flags.count(std::string(flag)) != 0; }
};

// Splits args into positional arguments and the given flags; "--" ends the options.
// Any other argument starting with '-' is a UsageError.
Arguments SplitArguments(const std::vector<std::string>& args, std::initializer_list<std::string_view> known);

// Loads path into song. On failure the song's own message (or, when it gave none, one of ours)
// has been written to standard error, prefixed with the path.
bool LoadSongOrSay(TVNSong& song, ConsoleReporter& reporter, const std::string& path, std::ostream& err);

}  // namespace varnel::cli
