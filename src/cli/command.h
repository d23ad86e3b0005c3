// What every varnel-cli command shares: its arguments and streams, exit codes, argument
// splitting and loading a song with the failure said on standard error.
#pragma once

#include <initializer_list>
#include <map>
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
  std::map<std::string, std::string> values;
  bool Has(std::string_view flag) const { return flags.count(std::string(flag)) != 0; }
  // The value of an option that takes one, or fallback when it was not given.
  std::string Value(std::string_view option, std::string fallback = "") const;
  // The value as a whole number in min..max; a UsageError when it is anything else.
  int Number(std::string_view option, int fallback, int min, int max) const;
};

// Splits args into positional arguments, the given flags and the given options that take a value
// ("--rows 16"); "--" ends the options. Any other argument starting with '-' is a UsageError.
Arguments SplitArguments(const std::vector<std::string>& args, std::initializer_list<std::string_view> known,
                         std::initializer_list<std::string_view> valued = {});

// Loads path into song. On failure the song's own message (or, when it gave none, one of ours)
// has been written to standard error, prefixed with the path.
bool LoadSongOrSay(TVNSong& song, ConsoleReporter& reporter, const std::string& path, std::ostream& err);

}  // namespace varnel::cli
