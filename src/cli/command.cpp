#include "cli/command.h"

#include <fstream>

namespace varnel::cli {

Arguments SplitArguments(const std::vector<std::string>& args, std::initializer_list<std::string_view> known,
                         std::initializer_list<std::string_view> valued) {
  Arguments result;
  bool options = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto among = [&](std::initializer_list<std::string_view> list) {
      for (std::string_view option : list)
        if (arg == option) return true;
      return false;
    };
    if (options && arg == "--") {
      options = false;
    } else if (options && arg.size() > 1 && arg[0] == '-' && among(valued)) {
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      result.values[arg] = args[++i];
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      if (!among(known)) throw UsageError("unknown option " + arg);
      result.flags.insert(arg);
    } else {
      result.positional.push_back(arg);
    }
  }
  return result;
}

std::string Arguments::Value(std::string_view option, std::string fallback) const {
  const auto found = values.find(std::string(option));
  return found == values.end() ? fallback : found->second;
}

int Arguments::Number(std::string_view option, int fallback, int min, int max) const {
  const auto found = values.find(std::string(option));
  if (found == values.end()) return fallback;
  const std::string& text = found->second;
  size_t used = 0;
  long value = 0;
  try {
    value = std::stol(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || value < min || value > max)
    throw UsageError(std::string(option) + " takes a whole number from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not " + text);
  return int(value);
}

namespace {

bool StartsWithMagic(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[5] = {};
  return in.read(magic, sizeof magic) && std::string_view(magic, sizeof magic) == "VnlMd";
}

}  // namespace

bool LoadSongOrSay(TVNSong& song, ConsoleReporter& reporter, const std::string& path, std::ostream& err) {
  reporter.SetContext(path);
  const int before = reporter.MessageCount();
  const bool loaded = song.LoadFromFile(path);
  reporter.SetContext("");
  if (loaded) return true;
  // The song says nothing for a file that is not one of ours.
  if (reporter.MessageCount() == before)
    err << (StartsWithMagic(path) ? path + ": could not be loaded" : "Not a Varnel song: " + path) << '\n';
  return false;
}

}  // namespace varnel::cli
