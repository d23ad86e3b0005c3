// The texts and column widths of the two editor grids: the pattern grid (header row, row-number
// column, one column per track) and the order grid (header row, row-number column, one column
// per song channel, always 256 positions). Grid column c >= 1 is track (or channel) c - 1 and grid
// row r >= 1 is pattern row (or order position) r - 1.
//
// Threads: UI thread only (reads the song through its checked accessors).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace varnel {

class TVNSong;

// The "Row Numbers" option (settings value "UseHex"), by list index.
enum RowNumberFormat : int {
  RowNumbersDecimal = 0,     // "Decimal, every Row, start from 0"
  RowNumbersHex = 1,         // "Hex": every number of both grids is then hexadecimal
  RowNumbersBars = 2,        // "Decimal, every 4th Beat, start from 1"
  RowNumbersBeatsFrom0 = 3,  // "Decimal, every Beat, start from 0"
  RowNumbersBeatsFrom1 = 4,  // "Decimal, every Beat, start from 1 + "
};

// Hex display follows the row-number format; the caller keeps TVNSong::HexNumbers equal to it,
// since the data cells are the song's CellText.
constexpr bool IsHexDisplay(int format) { return format == RowNumbersHex; }

// Width in pixels of a text in the grid's font; the widget supplies its font metrics.
using TextWidthFunction = std::function<int(const std::string&)>;

// The base cell width W: the width of "C#0" + 10. (The row height is the height of "C#0" + 2.)
int BaseCellWidth(const TextWidthFunction& textWidth);

// ---- Pattern grid ----

// RowCount (the shown pattern's rows + 1 header row) and ColCount (tracks + 1).
int PatternGridRowCount(const TVNSong& song);
int PatternGridColCount(const TVNSong& song);

// The text of any cell (Grid1GetText): corner empty; column headers; row numbers; data cells as
// the song's CellText. Cells outside the song read empty.
std::string PatternGridText(const TVNSong& song, int col, int row, int format);

// The header of track t: the channel number (from 1) over the channel's first track, then
// replaced by the type's label ("V", "Pan", ..., "c"/"n"/"r" + parameter, "PRG", "Tmp").
std::string TrackHeaderText(const TVNSong& song, int track, bool hex);

// The row-number text of pattern row index (0-based) for SPD rows per beat (below 1 counts as 1).
std::string RowNumberText(int index, int format, int spd);

// Row-number column: W + 8 for the beat formats 3 and 4; else W - 8 in hex or when the grid has
// at most 101 rows (header included); else W.
int PatternRowNumberWidth(int baseWidth, int format, int gridRowCount);

// A track column: W for notes; W - 11 (hex) or W - 4 (decimal) for value tracks; for NRPN and
// RPN the larger of W and the width of "c" + parameter (as displayed) + 8.
int PatternTrackWidth(int baseWidth, int trackType, int trackParam, bool hex, const TextWidthFunction& textWidth);

// Every column width of the pattern grid, index = grid column.
std::vector<int> PatternColumnWidths(const TVNSong& song, int baseWidth, int format,
                                     const TextWidthFunction& textWidth);

// ---- Order grid ----

inline constexpr int OrderGridRowCount = 257;  // header + 256 positions, whatever OrderLength is
int OrderGridColCount(const TVNSong& song);    // channels + 1

// The text of any cell (Grid2GetText): headers are the channel numbers from 1; row numbers are
// 2 hex digits in hex, else decimal with at least 2 digits; a pattern number reads in decimal with
// at least 2 digits in both modes, OrderNoteOff " - ", OrderEmpty and positions past the order
// length blank. Cells outside the grid read empty.
std::string OrderGridText(const TVNSong& song, int col, int row, bool hex);

// Every column width of the order grid, index = grid column: W - 8 (hex) or W for the row
// numbers, W for each channel.
std::vector<int> OrderColumnWidths(const TVNSong& song, int baseWidth, bool hex);

}  // namespace varnel
