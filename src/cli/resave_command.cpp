#include "cli/resave_command.h"

namespace varnel::cli {

int RunResave(CommandContext& context) {
  const Arguments args = SplitArguments(context.args, {});
  if (args.positional.size() != 2) throw UsageError("resave needs an input and an output file");
  const std::string& in = args.positional[0];
  const std::string& out = args.positional[1];

  ConsoleReporter reporter(context.err, context.verbose);
  TVNSong song(&reporter);
  if (!LoadSongOrSay(song, reporter, in, context.err)) return ExitFailure;

  reporter.SetContext(out);
  const int before = reporter.MessageCount();
  if (song.SaveToFile(out)) return ExitOk;
  if (reporter.MessageCount() == before) context.err << out << ": Error saving file\n";
  return ExitFailure;
}

}  // namespace varnel::cli
