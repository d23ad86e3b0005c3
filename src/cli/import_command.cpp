// varnel-cli import: a Standard MIDI File or an extended module into a song file. The format is
// told by the file's first bytes, never by its name.
#include "cli/import_command.h"

#include <fstream>
#include <string_view>

#include "exchange/midi_import.h"
#include "exchange/xm_import.h"

namespace varnel::cli {
namespace {

enum class Format { Unreadable, Unknown, Midi, Module };

Format FormatOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Format::Unreadable;
  char head[17] = {};
  in.read(head, sizeof head);
  const std::string_view start(head, size_t(in.gcount()));
  if (start.starts_with("MThd")) return Format::Midi;
  if (start == "Extended Module: ") return Format::Module;
  return Format::Unknown;
}

// The import's texts end their lines with CR LF, as message boxes want; a terminal wants LF.
class PlainLines final : public Reporter {
 public:
  explicit PlainLines(ConsoleReporter& console) : console_(console) {}
  void Status(const std::string& text, int panel) override { console_.Status(Plain(text), panel); }
  void Message(const std::string& text) override { console_.Message(Plain(text)); }
  bool Question(const std::string& text) override { return console_.Question(Plain(text)); }
  void BeginBusy(const std::string& caption) override { console_.BeginBusy(caption); }
  void EndBusy() override { console_.EndBusy(); }

 private:
  static std::string Plain(std::string text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  ConsoleReporter& console_;
};

}  // namespace

int RunImport(CommandContext& context) {
  const Arguments args =
      SplitArguments(context.args, {"--pack"}, {"--start-row", "--rows", "--spd", "--method"});
  if (args.positional.size() != 2) throw UsageError("import needs an input file and an output file");
  const std::string& in = args.positional[0];
  const std::string& out = args.positional[1];
  MidiImportOptions options;
  options.startRow = args.Number("--start-row", options.startRow, 0, 65536);
  options.patternLength = args.Number("--rows", options.patternLength, 1, 256);
  options.rowsPerQuarter = args.Number("--spd", options.rowsPerQuarter, 1, 96);
  options.method = args.Number("--method", options.method, 0, 1);

  const Format format = FormatOf(in);
  if (format == Format::Unreadable) {
    context.err << in << ": cannot be read\n";
    return ExitFailure;
  }
  if (format == Format::Unknown) {
    context.err << "Neither a MIDI file nor an extended module: " << in << '\n';
    return ExitFailure;
  }
  if (format == Format::Module && !args.values.empty())
    throw UsageError("--start-row, --rows, --spd and --method are for MIDI files; " + in + " is an extended module");

  ConsoleReporter console(context.err, context.verbose);
  PlainLines reporter(console);
  TVNSong song(&reporter);
  console.SetContext(in);
  const int before = console.MessageCount();
  const bool imported = format == Format::Midi ? ImportMidi(song, in, options) : ImportXM(song, in);
  if (!imported) {
    if (console.MessageCount() == before) context.err << in << ": could not be imported\n";
    return ExitFailure;
  }
  // As answering "Pack song?" with yes does; the module import packs the song by itself.
  if (format == Format::Midi && args.Has("--pack"))
    for (int step = 1; step <= 4; ++step) song.Pack(step);

  console.SetContext(out);
  const int beforeSave = console.MessageCount();
  if (song.SaveToFile(out)) return ExitOk;
  if (console.MessageCount() == beforeSave) context.err << out << ": Error saving file\n";
  return ExitFailure;
}

}  // namespace varnel::cli
