// The human-readable form of `varnel-cli info`: laid out the way the editor shows the song
// (channels and MIDI channels counted from 1, notes by name, loops as rows and positions).
#include <iomanip>
#include <sstream>

#include "cli/info_command.h"
#include "song/text_encoding.h"

namespace varnel::cli {

namespace {

constexpr const char* PresetHeaders[PresetCount] = {"Pan", "CVo", "Mod", "Exp", "Sus", "Rev", "Cho", "FCu", "FRe"};

// Song text for a terminal: decoded to UTF-8, with control characters (which a crafted file
// could use to drive the terminal) shown as '?'.
std::string Printable(const std::string& bytes) {
  const std::string text = DisplayText(bytes);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (c < 0x20 || c == 0x7F || c1) {
      out += '?';
      if (c1) ++i;
    } else {
      out += char(c);
    }
  }
  return out;
}

std::string Padded(int value, int digits) {
  std::string text = std::to_string(value);
  if (value >= 0 && int(text.size()) < digits) text.insert(0, size_t(digits) - text.size(), '0');
  return text;
}

std::string Right(const std::string& text, size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string Left(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string TrimmedLine(std::string line) {
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line + '\n';
}

std::string NoteName(int note) {
  std::string name = NoteNames[note % 12];
  if (name.size() == 1) name += '-';
  return name + std::to_string(note / 12);
}

// Like the grid's cell text in decimal mode, with dots for empty cells so columns stay visible;
// values no track type gives meaning to are shown as the raw number.
std::string CellText(int type, int value) {
  if (type == ttNote) {
    if (value == CellEmpty) return "...";
    if (value == CellNoteOff) return " - ";
    return value >= 0 && value < 128 ? NoteName(value) : std::to_string(value);
  }
  if (type == ttVelocity || (type >= ttPan && type <= ttTempo))
    return value == EmptyValue(type) ? ".." : Padded(value, 2);
  return std::to_string(value);
}

std::string TypeName(int type) {
  static const char* const names[] = {"Note", "Velocity", "(type 2)", "(type 3)", "Pan", "Channel volume",
                                      "Modulation", "Expression", "Sustain", "Reverb", "Chorus", "Filter cut",
                                      "Filter res", "Pitch wheel", "Control change", "NRPN", "RPN",
                                      "Program change", "Tempo"};
  return type <= ttTempo ? names[type] : "(type " + std::to_string(type) + ")";
}

// The pattern grid's column header of a track.
std::string HeaderText(const TVNSong& song, int track) {
  static const char* const fixed[] = {"", "V", "", "", "Pan", "CVo", "Mod", "Exp", "Sus", "Rev",
                                      "Cho", "FCu", "FRe", "Pit", "c", "n", "r", "PRG", "Tmp"};
  const int type = song.TrackType(track);
  if (type == ttControlChange || type == ttNRPN || type == ttRPN)
    return fixed[type] + std::to_string(song.TrackParam(track));
  if (type <= ttTempo && fixed[type][0] != '\0') return fixed[type];
  const int channel = song.TrackChannel(track);
  const bool first = track == 0 || song.TrackChannel(track - 1) != channel;
  return first ? std::to_string(channel + 1) : "";
}

std::string OrderText(int entry) {
  if (entry == OrderEmpty) return "..";
  if (entry == OrderNoteOff) return " - ";
  return Padded(entry, 2);
}

// Loop marks are kept as grid rows (index + 1); -1 means not set.
std::string LoopText(int start, int end, const char* unit) {
  if (start < 0 && end < 0) return "not set";
  const auto index = [](int mark) { return mark < 0 ? std::string("?") : std::to_string(mark - 1); };
  return std::string(unit) + " " + index(start) + ".." + index(end);
}

std::string KeyText(const TVNSong& song) {
  if (!song.KeyKnown) return "not stored";
  const int tone = song.KeyTone, type = song.KeyType;
  const std::string root = tone >= 0 && tone < 12 ? NoteNames[tone] : "tone " + std::to_string(tone);
  return root + (type == 0 ? " major" : type == 1 ? " minor" : " (type " + std::to_string(type) + ")");
}

std::string ReleaseText(int mode) {
  return mode == 0 ? "auto" : mode == 255 ? "d/a" : std::to_string(mode);
}

std::string TransposeText(int code) {
  if (code == 0) return "0";
  const int semitones = code - 80;
  return (semitones > 0 ? "+" : "") + std::to_string(semitones);
}

void WriteSongInformation(const TVNSongTag& tag, std::ostream& out) {
  out << "\nSong information\n";
  out << "  Title:   " << Printable(tag.Title) << "\n  Artist:  " << Printable(tag.Artist)
      << "\n  Album:   " << Printable(tag.Album) << "\n  Year:    " << Printable(tag.Year)
      << "\n  Genre:   " << Printable(tag.Genre) << "\n  Show when loaded: " << (tag.ShowOnLoad ? "yes" : "no")
      << "\n  Comments:" << (tag.Comments.empty() ? " (none)" : "") << '\n';
  std::string line;
  std::istringstream lines(tag.Comments);
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out << "    " << Printable(line) << '\n';
  }
}

void WriteChannels(const TVNSong& song, std::ostream& out) {
  out << "\nChannels\n  Ch  MIDI  Vel  Release  Transpose  On   Tracks\n";
  for (int c = 0; c < song.ChannelsCount(); ++c) {
    int first = 0, end = 0;
    song.ChannelTracks(c, first, end);
    const std::string tracks = first >= end ? "none" : end - first == 1 ? std::to_string(first)
                                                                        : std::to_string(first) + "-" + std::to_string(end - 1);
    out << Right(std::to_string(c + 1), 4) << Right(std::to_string(song.ChannelParams(c, 0) + 1), 6)
        << Right(std::to_string(song.ChannelParams(c, 1)), 5) << "  "
        << Left(ReleaseText(song.ChannelParams(c, 2)), 9) << Left(TransposeText(song.ChannelParams(c, 3)), 11)
        << Left(song.ChannelOn(c) ? "on" : "off", 5) << tracks << '\n';
  }
}

bool MidiChannelIsDefault(const TVNSong& song, int m) {
  bool plain = song.MidiChannelParams(m, 0) == 0 && song.BankSelect(m, 0) >= 128 && song.BankSelect(m, 1) >= 128;
  for (int i = 1; i < TVNSong::MIDICHANNEL_PARAMS; ++i) plain = plain && song.MidiChannelParams(m, i) == 255;
  return plain;
}

// Channels 17..48 never reach a device; they are listed only when they hold something.
void WriteMidiChannels(const TVNSong& song, std::ostream& out) {
  out << "\nMIDI channel presets (- = not set)\n  MIDI  Prg";
  for (const char* header : PresetHeaders) out << Right(header, 5);
  out << "  Bank\n";
  int hidden = 0;
  for (int m = 0; m < MidiChannelCount; ++m) {
    if (m >= 16 && MidiChannelIsDefault(song, m)) {
      ++hidden;
      continue;
    }
    out << Right(std::to_string(m + 1), 6) << Right(std::to_string(song.MidiChannelParams(m, 0)), 5);
    for (int i = 1; i < TVNSong::MIDICHANNEL_PARAMS; ++i) {
      const int v = song.MidiChannelParams(m, i);
      out << Right(v == 255 ? "-" : std::to_string(v), 5);
    }
    const auto bank = [&](int i) { int v = song.BankSelect(m, i); return v >= 128 ? std::string("-") : std::to_string(v); };
    out << "  " << bank(0) << '/' << bank(1) << '\n';
  }
  if (hidden > 0) out << "  (" << hidden << " of MIDI channels 17..48 hold no presets)\n";
}

void WriteOrder(const TVNSong& song, std::ostream& out) {
  out << "\nOrder (pattern per channel; .. = nothing, - = release)\n  Pos";
  for (int c = 0; c < song.ChannelsCount(); ++c) out << Right(std::to_string(c + 1), 4);
  out << '\n';
  for (int pos = 0; pos < song.OrderLength(); ++pos) {
    std::string line = Right(Padded(pos, 3), 5);
    for (int c = 0; c < song.ChannelsCount(); ++c) line += Right(OrderText(song.Order(c, pos)), 4);
    out << line << '\n';
  }
}

void WriteTracks(const TVNSong& song, std::ostream& out) {
  out << "\nTracks\n  Track  Header  Type             Ch  Param\n";
  for (int t = 0; t < song.TracksCount(); ++t) {
    const int type = song.TrackType(t);
    const bool hasParam = type == ttControlChange || type == ttNRPN || type == ttRPN;
    out << Right(std::to_string(t), 7) << "  " << Left(HeaderText(song, t), 6) << "  " << Left(TypeName(type), 15)
        << Right(std::to_string(song.TrackChannel(t) + 1), 4)
        << (hasParam ? "  " + std::to_string(song.TrackParam(t)) : "") << '\n';
  }
}

void WritePatterns(const TVNSong& song, bool withCells, std::ostream& out) {
  if (!withCells) {
    out << "\nPatterns (rows)\n";
    for (int p = 0; p < song.PatternsCount(); ++p)
      out << Right(std::to_string(p), 5) << ": " << song.LastRow(p) + 1 << '\n';
    return;
  }
  for (int p = 0; p < song.PatternsCount(); ++p) {
    out << "\nPattern " << p << " (" << song.LastRow(p) + 1 << " rows)\n";
    std::string header = "  Row";
    for (int t = 0; t < song.TracksCount(); ++t) header += ' ' + Left(HeaderText(song, t), 4);
    out << TrimmedLine(header);
    for (int r = 0; r <= song.LastRow(p); ++r) {
      std::string line = Right(Padded(r, 2), 5);
      for (int t = 0; t < song.TracksCount(); ++t)
        line += ' ' + Left(CellText(song.TrackType(t), song.CellData(p, t, r)), 4);
      out << TrimmedLine(line);
    }
  }
}

}  // namespace

void WriteInfoText(const TVNSong& song, const std::string& path, bool withCells, std::ostream& out) {
  out << "Song:         " << path << '\n'
      << "Size:         " << song.PatternsCount() << " patterns, " << int(song.ChannelsCount()) << " channels, "
      << song.TracksCount() << " tracks, order length " << song.OrderLength() << '\n'
      << "Tempo:        " << int(song.BPM) << " BPM, " << int(song.SPD) << " rows per beat\n"
      << "Editor:       octave " << int(song.Octave) + 1 << ", add " << int(song.GridAdd) << ", pattern "
      << int(song.CurrentPattern) << ", " << (song.SongMode ? "song mode" : "pattern mode") << '\n'
      << "Key:          " << KeyText(song) << '\n'
      << "Row loop:     " << LoopText(song.PatternLoopStart, song.PatternLoopEnd, "rows") << '\n'
      << "Song loop:    " << LoopText(song.OrderLoopStart, song.OrderLoopEnd, "positions") << '\n'
      << "Output:       " << (song.LoadedDeviceName.empty() ? "(not named)" : Printable(song.LoadedDeviceName)) << '\n';
  WriteSongInformation(song.Tag, out);
  WriteChannels(song, out);
  WriteMidiChannels(song, out);
  WriteOrder(song, out);
  WriteTracks(song, out);
  WritePatterns(song, withCells, out);
}

}  // namespace varnel::cli
