#include "cli/export_command.h"

#include "exchange/midi_export.h"

namespace varnel::cli {

int RunExportMidi(CommandContext& context) {
  const Arguments args = SplitArguments(context.args, {}, {"--pattern"});
  if (args.positional.size() != 2) throw UsageError("export-midi needs a song and an output file");
  const int pattern = args.Number("--pattern", -1, 0, MaxPatterns - 1);
  const std::string& in = args.positional[0];
  const std::string& out = args.positional[1];

  ConsoleReporter reporter(context.err, context.verbose);
  TVNSong song(&reporter);
  if (!LoadSongOrSay(song, reporter, in, context.err)) return ExitFailure;
  if (pattern >= song.PatternsCount()) {
    context.err << in << ": there is no pattern " << pattern << " (the song has " << song.PatternsCount()
                << (song.PatternsCount() == 1 ? " pattern)\n" : " patterns)\n");
    return ExitFailure;
  }
  if (pattern >= 0) song.CurrentPattern = uint16_t(pattern);

  reporter.SetContext(out);
  return ExportMidi(song, out, pattern < 0) ? ExitOk : ExitFailure;
}

}  // namespace varnel::cli
