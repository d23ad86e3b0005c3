// Typing numbers into cells digit by digit, shared by the pattern grid (controller, velocity and
// tempo values) and the order grid (pattern numbers). Each digit yields the cell's next value from
// the cell's current text and the entry state, which remembers how far the number has come.
//
// Threads: UI thread only (one entry state serves every grid of the editor).
#pragma once

#include <string_view>

namespace varnel {

// The largest value typed into a pattern track of this type: 127 for velocity and types 3..17,
// 255 for tempo, 0 for note tracks and types that take no typed values.
int ValueEntryMaximum(int trackType);

// The order grid's pattern numbers are typed in decimal up to this.
inline constexpr int OrderEntryMaximum = 255;

class ValueEntry {
 public:
  // 0 = the next digit starts a new number; 1 = one digit typed; 2 = two decimal digits typed.
  int State() const { return state_; }

  // Call when the pattern grid's cursor moves; the order grid's cursor moves keep the state.
  void Reset() { state_ = 0; }

  // Decimal digit 0..9 typed into a cell whose text (as the grid shows it) is cellText, for a
  // maximum m: the first digit gives itself; the second the last digit of the text followed by it,
  // ending the number when it exceeds m / 10; the third the whole text followed by it, or 0 when
  // that exceeds m. Writing the result into the cell (before the next digit) is the caller's.
  // Returns -1 and changes nothing for a digit outside 0..9. A text that is no number (an empty
  // cell, " - ") counts as 0.
  int DecEdited(std::string_view cellText, int maximum, int digit);

  // Hex digit 0..15: the first digit becomes the high digit in front of the text's old low digit
  // (a first digit of 8 or more gives 0 when m <= 128, and the state stays 0); the second replaces
  // the low digit. Returns -1 and changes nothing for a digit outside 0..15.
  int HexEdited(std::string_view cellText, int maximum, int digit);

 private:
  int state_ = 0;
};

}  // namespace varnel
