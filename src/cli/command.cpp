#include "cli/command.h"

#include <fstream>

namespace varnel::cli {

Arguments SplitArguments(const std::vector<std::string>& args, std::initializer_list<std::string_view> known) {
  Arguments result;
  bool options = true;
  for (const std::string& arg : args) {
    if (options && arg == "--") {
      options = false;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      bool found = false;
      for (std::string_view flag : known) found = found || arg == flag;
      if (!found) throw UsageError("unknown option " + arg);
      result.flags.insert(arg);
    } else {
      result.positional.push_back(arg);
    }
  }
  return result;
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
