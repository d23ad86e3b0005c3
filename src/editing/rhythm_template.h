// The rhythm template of the template frame: a column of up to 256 rows, each empty, X (the cursor
// stops here) or "-" (a note-off goes here). While it is used in the editor, the cursor jumps from
// X to X after each entry, repeating the template down the pattern, and drops note-offs on the "-"
// rows it passes.
//
// Threads: UI thread (a plain value without shared state).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class RhythmTemplate {
 public:
  enum Mark : uint8_t { Empty = 0, Stop = 1, NoteOff = 2 };  // blank, "X", "-"

  static constexpr int MaxRows = 256;
  static constexpr int MinFieldLength = 4;  // the "Len." field's own lower limit
  static constexpr int DefaultLength = 16;

  // The preset list, "Select" first (it does nothing).
  static const std::vector<std::string>& Presets();

  int Length() const { return length_; }
  void SetLength(int rows);  // clamped to 1..256; rows past the length keep their marks, hidden
  int Row(int row) const;    // Empty outside 0..255
  void SetRow(int row, int mark);  // ignored outside 0..255 or for a mark other than 0..2
  bool HasStop() const;            // any X among the shown rows

  // A preset "n-n-...": rows 0..length-1 are cleared, then the numbers are marked X in every block
  // of 4, 8, 16, 32 or 64 rows (the smallest block that holds the last number). False for
  // "Select" and for text that is not such a list; the template is then unchanged.
  bool ApplyPreset(std::string_view text);

  // Loads a track's rows (`cells`, one per pattern row): a note (or value) becomes X, a note-off
  // "-", the track's empty value blank; anything else leaves the row as it was. On a tempo track
  // only 0 is empty. The length becomes the row count, then halves (up to twice) while the first
  // half repeats in the second.
  void LoadFromTrack(std::span<const int> cells, int trackType);

  // True when rows 0..h-1 equal rows h..2h-1, h = length div 2 (true for h = 0).
  bool CanPack() const;

  // Each row i moves to row i * factor, the rows after it become blank. Returns the refusal
  // ("Cannot expand template, rows > 128" for * 2, "... > 85" for * 3) or empty when done.
  std::string Expand(int factor);
  // Row i becomes the first non-blank mark of old rows i*k .. i*k+k-1; rows past the new length
  // are cleared. Returns "Cannot shrink template, rows < 1" when the template is shorter than k.
  std::string Shrink(int divisor);

  // The step from pattern row `row` to the next X (-1 when the template has no X) and the
  // pattern rows that receive a note-off on the way: those the cursor passes before it gets
  // there, counted through the end of the pattern (patternRows rows) to its top as the cursor
  // wraps, never its own row. Without an X nothing is placed.
  struct Advance {
    int step = -1;
    std::vector<int> noteOffRows;
  };
  Advance GetNextAdd(int row, int patternRows) const;

 private:
  std::array<uint8_t, MaxRows> rows_{};
  int length_ = DefaultLength;
};

}  // namespace varnel
