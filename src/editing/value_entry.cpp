#include "editing/value_entry.h"

#include "song/song_types.h"

namespace varnel {
namespace {

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'A' && c <= 'F')
    v = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f')
    v = c - 'a' + 10;
  return v < base ? v : -1;
}

// The text as a decimal number, spaces around it ignored; 0 when it is no number. Large numbers
// stop growing at a bound above any maximum, so they still read as "too large".
int DecimalText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int n = 0;
  for (char c : text) {
    const int d = DigitValue(c, 10);
    if (d < 0) return 0;
    if (n < 100000000) n = n * 10 + d;
  }
  return n;
}

// One character of the text as a digit; 0 when it is missing or no digit.
int DigitAt(std::string_view text, bool last, int base) {
  if (text.empty()) return 0;
  const int d = DigitValue(last ? text.back() : text.front(), base);
  return d < 0 ? 0 : d;
}

}  // namespace

int ValueEntryMaximum(int trackType) {
  if (trackType == ttTempo) return 255;
  if (trackType == ttVelocity || (trackType >= 3 && trackType <= ttProgram)) return 127;
  return 0;
}

int ValueEntry::DecEdited(std::string_view cellText, int maximum, int digit) {
  if (digit < 0 || digit > 9) return -1;
  int value;
  switch (state_) {
    case 0:
      value = digit;
      state_ = 1;
      break;
    case 1:
      value = DigitAt(cellText, true, 10) * 10 + digit;
      state_ = value > maximum / 10 ? 0 : 2;
      break;
    default:
      value = DecimalText(cellText) * 10 + digit;
      if (value > maximum) value = 0;
      state_ = 0;
      break;
  }
  return value;
}

int ValueEntry::HexEdited(std::string_view cellText, int maximum, int digit) {
  if (digit < 0 || digit > 15) return -1;
  if (state_ == 1) {
    state_ = 0;
    return DigitAt(cellText, false, 16) * 16 + digit;
  }
  // A state left at 2 by decimal entry in the order grid starts a new number here too.
  state_ = 0;
  if (digit >= 8 && maximum <= 128) return 0;
  state_ = 1;
  return digit * 16 + DigitAt(cellText, true, 16);
}

}  // namespace varnel
