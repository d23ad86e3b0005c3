#include "editing/grid_text.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "song/song.h"

namespace varnel {
namespace {

std::string Format(const char* format, int value) {
  char text[24];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Padded(int value, bool hex) { return Format(hex ? "%02X" : "%02d", value); }

// A track parameter as its header shows it: 2 or more upper-case hex digits, or plain decimal.
std::string ParamText(int param, bool hex) {
  if (param < 0) return std::to_string(param);  // an unset parameter (-1) reads as itself
  return hex ? Format("%02X", param) : std::to_string(param);
}

// Header labels by track type; null keeps the channel number (notes, the unused types 2 and 3).
const char* const TypeLabels[] = {nullptr, "V",   nullptr, nullptr, "Pan", "CVo", "Mod", "Exp", "Sus", "Rev",
                                  "Cho",   "FCu", "FRe",   "Pit",   "c",   "n",   "r",   "PRG", "Tmp"};

bool HasParameter(int type) { return type == ttControlChange || type == ttNRPN || type == ttRPN; }

// A cell's text starts 3 pixels in (4 in a fixed cell, which loses a pixel to its edge) and keeps
// 2 pixels from the line at its right.
constexpr int TextRoom = 6;

int Widest(const std::vector<std::string>& texts, const TextWidthFunction& textWidth) {
  int widest = 0;
  for (const std::string& text : texts) widest = std::max(widest, textWidth(text));
  return widest;
}

std::vector<std::string> NoteTexts() {
  std::vector<std::string> texts{" - "};
  for (int note = 0; note < 128; ++note) {
    std::string name = NoteNames[note % 12];
    if (name.size() == 1) name += '-';
    texts.push_back(name + std::to_string(note / 12));
  }
  return texts;
}

std::vector<std::string> ValueTexts(int last, bool hex) {
  std::vector<std::string> texts;
  for (int v = 0; v <= last; ++v) texts.push_back(Padded(v, hex));
  return texts;
}

// The widest data text a track of this type can show, measured once per kind for a redraw.
class DataWidths {
 public:
  DataWidths(const TextWidthFunction& textWidth, bool hex) : textWidth_(textWidth), hex_(hex) {}
  int Of(int type) {
    if (type == ttNote) return Measured(notes_, [] { return NoteTexts(); });
    if (type == ttTempo) return Measured(tempos_, [this] { return ValueTexts(254, hex_); });
    if (type >= ttVelocity && type < ttTempo) return Measured(values_, [this] { return ValueTexts(127, hex_); });
    return 0;
  }

 private:
  template <class Texts>
  int Measured(int& cached, Texts texts) {
    if (cached < 0) cached = Widest(texts(), textWidth_);
    return cached;
  }
  const TextWidthFunction& textWidth_;
  bool hex_;
  int notes_ = -1, tempos_ = -1, values_ = -1;
};

}  // namespace

int BaseCellWidth(const TextWidthFunction& textWidth) { return textWidth("C#0") + 10; }

int PatternGridRowCount(const TVNSong& song) { return song.GetLastRow() + 2; }
int PatternGridColCount(const TVNSong& song) { return song.TracksCount() + 1; }
int OrderGridColCount(const TVNSong& song) { return song.ChannelsCount() + 1; }

std::string TrackHeaderText(const TVNSong& song, int track, bool hex) {
  if (track < 0 || track >= song.TracksCount()) return {};
  const int type = song.GetTrackType(track);
  if (type >= 0 && type < int(std::size(TypeLabels)) && TypeLabels[type]) {
    std::string label = TypeLabels[type];
    if (HasParameter(type)) label += ParamText(song.GetTrackParam(track), hex);
    return label;
  }
  const int channel = song.GetTrackChannel(track);
  if (track == 0 || song.GetTrackChannel(track - 1) != channel) return std::to_string(channel + 1);
  return {};
}

std::string RowNumberText(int index, int format, int spd) {
  const int beat = std::max(spd, 1);
  const int bar = 4 * beat;
  switch (format) {
    case RowNumbersHex:
      return Padded(index, true);
    case RowNumbersBars:
      if (index % bar == 0) return "*" + std::to_string(index / bar + 1) + "*";
      return index % beat == 0 ? "  *" : "  ";
    case RowNumbersBeatsFrom0:
    case RowNumbersBeatsFrom1: {
      const int o = format == RowNumbersBeatsFrom1 ? 1 : 0;
      std::string text = index % beat == 0
                             ? std::to_string(index / bar + o) + " " + std::to_string(index % bar / beat + o)
                             : std::string(5, ' ');
      return text + " " + std::to_string(index % bar % beat + o);
    }
    default:
      return Padded(index, false);
  }
}

std::string PatternGridText(const TVNSong& song, int col, int row, int format) {
  if (col < 0 || row < 0 || col > song.TracksCount() || row > RowsPerPattern) return {};
  if (row == 0) return col == 0 ? std::string() : TrackHeaderText(song, col - 1, IsHexDisplay(format));
  if (col == 0) return RowNumberText(row - 1, format, song.SPD);
  return song.CellText(col - 1, row - 1);
}

int PatternRowNumberWidth(int baseWidth, int format, int gridRowCount) {
  if (format == RowNumbersBeatsFrom0 || format == RowNumbersBeatsFrom1) return baseWidth + 8;
  if (IsHexDisplay(format) || gridRowCount <= 101) return baseWidth - 8;
  return baseWidth;
}

int PatternTrackWidth(int baseWidth, int trackType, int trackParam, bool hex, const TextWidthFunction& textWidth) {
  if (trackType == ttNRPN || trackType == ttRPN)
    return std::max(baseWidth, textWidth("c" + ParamText(trackParam, hex)) + 8);
  if ((trackType >= ttVelocity && trackType <= ttControlChange) || trackType == ttProgram || trackType == ttTempo)
    return baseWidth - (hex ? 11 : 4);
  return baseWidth;
}

std::vector<int> PatternColumnWidths(const TVNSong& song, int baseWidth, int format,
                                     const TextWidthFunction& textWidth) {
  const bool hex = IsHexDisplay(format);
  std::vector<int> widths(size_t(PatternGridColCount(song)));
  std::vector<std::string> rowNumbers;
  for (int row = 0; row <= song.GetLastRow(); ++row) rowNumbers.push_back(RowNumberText(row, format, song.SPD));
  widths[0] = std::max(PatternRowNumberWidth(baseWidth, format, PatternGridRowCount(song)),
                       Widest(rowNumbers, textWidth) + TextRoom);
  // Each column at least as wide as its header and its widest value need ("G-10", "PRG", "n16383").
  DataWidths data(textWidth, hex);
  for (int t = 0; t < song.TracksCount(); ++t) {
    const int type = song.GetTrackType(t);
    const int text = std::max(textWidth(TrackHeaderText(song, t, hex)), data.Of(type));
    widths[size_t(t) + 1] =
        std::max(PatternTrackWidth(baseWidth, type, song.GetTrackParam(t), hex, textWidth), text + TextRoom);
  }
  return widths;
}

std::string OrderGridText(const TVNSong& song, int col, int row, bool hex) {
  if (col < 0 || row < 0 || col > song.ChannelsCount() || row >= OrderGridRowCount) return {};
  if (row == 0) return col == 0 ? std::string() : std::to_string(col);
  if (col == 0) return Padded(row - 1, hex);
  const int entry = song.GetOrder(col - 1, row - 1);
  if (entry == OrderNoteOff) return " - ";
  return entry >= 0 && entry < OrderEmpty ? Padded(entry, false) : std::string();
}

std::vector<int> OrderColumnWidths(const TVNSong& song, int baseWidth, bool hex) {
  std::vector<int> widths(size_t(OrderGridColCount(song)), baseWidth);
  widths[0] = hex ? baseWidth - 8 : baseWidth;
  return widths;
}

}  // namespace varnel
