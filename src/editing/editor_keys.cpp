#include "editing/editor_keys.h"

#include <array>
#include <cctype>
#include <span>

namespace varnel {
namespace {

struct NoteKey {
  int vk;
  int offset;
  bool upper;
  char cap;  // what the key cap shows
};

// Listed row by row, lowest row first.
// clang-format off
constexpr NoteKey TwoOctaveKeys[] = {
    // Lower rows: Z X C V B N M , . / with S D G H J L ; as the black keys.
    {'Z', 0, false, 'Z'}, {'S', 1, false, 'S'}, {'X', 2, false, 'X'}, {'D', 3, false, 'D'},
    {'C', 4, false, 'C'}, {'V', 5, false, 'V'}, {'G', 6, false, 'G'}, {'B', 7, false, 'B'},
    {'H', 8, false, 'H'}, {'N', 9, false, 'N'}, {'J', 10, false, 'J'}, {'M', 11, false, 'M'},
    {Vk::OemComma, 12, false, ','}, {'L', 13, false, 'L'}, {Vk::OemPeriod, 14, false, '.'},
    {Vk::Oem1, 15, false, ';'}, {Vk::Oem2, 16, false, '/'},
    // Upper rows: Q W E R T Y U I O P [ ] \ with the digits and = as the black keys.
    {'Q', 12, true, 'Q'}, {'2', 13, true, '2'}, {'W', 14, true, 'W'}, {'3', 15, true, '3'},
    {'E', 16, true, 'E'}, {'R', 17, true, 'R'}, {'5', 18, true, '5'}, {'T', 19, true, 'T'},
    {'6', 20, true, '6'}, {'Y', 21, true, 'Y'}, {'7', 22, true, '7'}, {'U', 23, true, 'U'},
    {'I', 24, true, 'I'}, {'9', 25, true, '9'}, {'O', 26, true, 'O'}, {'0', 27, true, '0'},
    {'P', 28, true, 'P'}, {Vk::Oem4, 29, true, '['}, {Vk::OemPlus, 30, true, '+'},
    {Vk::Oem6, 31, true, ']'}, {Vk::Oem5, 32, true, '\\'},
};

constexpr NoteKey FourOctaveKeys[] = {
    // Row 1 (lower).
    {'Z', 0, false, 'Z'}, {'X', 2, false, 'X'}, {'C', 4, false, 'C'}, {'V', 5, false, 'V'},
    {'B', 7, false, 'B'}, {'N', 9, false, 'N'}, {'M', 11, false, 'M'}, {Vk::OemComma, 12, false, ','},
    {Vk::OemPeriod, 14, false, '.'}, {Vk::Oem2, 16, false, '/'},
    // Row 2 (lower).
    {'A', 12, false, 'A'}, {'S', 14, false, 'S'}, {'D', 16, false, 'D'}, {'F', 17, false, 'F'},
    {'G', 19, false, 'G'}, {'H', 21, false, 'H'}, {'J', 23, false, 'J'}, {'K', 24, false, 'K'},
    {'L', 26, false, 'L'}, {Vk::Oem1, 28, false, ';'}, {Vk::Oem7, 29, false, '\''},
    // Row 3 (upper).
    {'Q', 24, true, 'Q'}, {'W', 26, true, 'W'}, {'E', 28, true, 'E'}, {'R', 29, true, 'R'},
    {'T', 31, true, 'T'}, {'Y', 33, true, 'Y'}, {'U', 35, true, 'U'}, {'I', 36, true, 'I'},
    {'O', 38, true, 'O'}, {'P', 40, true, 'P'}, {Vk::Oem4, 41, true, '['}, {Vk::Oem6, 43, true, ']'},
    // Row 4 (upper).
    {'1', 36, true, '1'}, {'2', 38, true, '2'}, {'3', 40, true, '3'}, {'4', 41, true, '4'},
    {'5', 43, true, '5'}, {'6', 45, true, '6'}, {'7', 47, true, '7'}, {'8', 48, true, '8'},
    {'9', 50, true, '9'}, {'0', 52, true, '0'}, {Vk::OemMinus, 53, true, '-'},
    {Vk::OemPlus, 55, true, '='}, {Vk::Oem5, 57, true, '\\'},
};
// clang-format on

std::span<const NoteKey> Layout(KeyboardMode mode) {
  switch (mode) {
    case KeyboardTwoOctaves:
      return TwoOctaveKeys;
    case KeyboardFourOctaves:
      return FourOctaveKeys;
  }
  return {};
}

const NoteKey* FindKey(int vk, KeyboardMode mode) {
  for (const NoteKey& key : Layout(mode))
    if (key.vk == vk) return &key;
  return nullptr;
}

// Index = evdev key code (linux/input-event-codes.h), value = virtual key at that US position.
constexpr std::array<int, 112> EvdevToVk = [] {
  std::array<int, 112> t{};
  t[1] = Vk::Escape;
  for (int d = 1; d <= 9; ++d) t[1 + d] = Vk::Digit(d);  // KEY_1..KEY_9 = 2..10
  t[11] = Vk::Digit(0);
  t[12] = Vk::OemMinus;
  t[13] = Vk::OemPlus;
  t[14] = Vk::Back;
  t[15] = Vk::Tab;
  const char* rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  const int starts[] = {16, 30, 44};
  for (int r = 0; r < 3; ++r)
    for (int i = 0; rows[r][i] != 0; ++i) t[starts[r] + i] = Vk::Letter(rows[r][i]);
  t[26] = Vk::Oem4;
  t[27] = Vk::Oem6;
  t[28] = Vk::Return;
  t[29] = Vk::Control;
  t[39] = Vk::Oem1;
  t[40] = Vk::Oem7;
  t[41] = Vk::Oem3;
  t[42] = Vk::Shift;
  t[43] = Vk::Oem5;
  t[51] = Vk::OemComma;
  t[52] = Vk::OemPeriod;
  t[53] = Vk::Oem2;
  t[54] = Vk::Shift;
  t[55] = Vk::Multiply;
  t[56] = Vk::Menu;
  t[57] = Vk::Space;
  t[58] = Vk::Capital;
  for (int n = 1; n <= 10; ++n) t[58 + n] = Vk::F(n);  // KEY_F1..KEY_F10 = 59..68
  t[69] = Vk::NumLock;
  const int keypad[] = {7, 8, 9, -1, 4, 5, 6, -2, 1, 2, 3, 0};  // KEY_KP7 = 71 .. KEY_KP0 = 82
  for (int i = 0; i < 12; ++i)
    t[71 + i] = keypad[i] >= 0 ? Vk::Numpad(keypad[i]) : keypad[i] == -1 ? Vk::Subtract : Vk::Add;
  t[83] = Vk::Decimal;
  t[86] = Vk::Oem102;
  t[87] = Vk::F(11);
  t[88] = Vk::F(12);
  t[96] = Vk::Return;  // number-pad Enter
  t[97] = Vk::Control;
  t[98] = Vk::Divide;
  t[100] = Vk::Menu;
  t[102] = Vk::Home;
  t[103] = Vk::Up;
  t[104] = Vk::Prior;
  t[105] = Vk::Left;
  t[106] = Vk::Right;
  t[107] = Vk::End;
  t[108] = Vk::Down;
  t[109] = Vk::Next;
  t[110] = Vk::Insert;
  t[111] = Vk::Delete;
  return t;
}();

}  // namespace

int NoteKeyOffset(int vk, KeyboardMode mode) {
  const NoteKey* key = FindKey(vk, mode);
  return key ? key->offset : -1;
}

bool IsLowerNoteKey(int vk, KeyboardMode mode) {
  const NoteKey* key = FindKey(vk, mode);
  return key && !key->upper;
}

bool IsUpperNoteKey(int vk, KeyboardMode mode) {
  const NoteKey* key = FindKey(vk, mode);
  return key && key->upper;
}

bool IsChordKey(int vk, KeyboardMode mode, bool shift, bool chordsLowerKeys, bool chordsUpperKeys) {
  const NoteKey* key = FindKey(vk, mode);
  if (!key) return false;
  return shift || (key->upper ? chordsUpperKeys : chordsLowerKeys);
}

std::string NoteKeyCaption(int offset, KeyboardMode mode) {
  // Of the keys that share an offset, a letter or digit beats punctuation, then the upper row wins.
  const NoteKey* best = nullptr;
  auto rank = [](const NoteKey& k) {
    return (std::isalnum(static_cast<unsigned char>(k.cap)) ? 2 : 0) + (k.upper ? 1 : 0);
  };
  for (const NoteKey& key : Layout(mode))
    if (key.offset == offset && (!best || rank(key) > rank(*best))) best = &key;
  return best ? std::string(1, best->cap) : std::string();
}

int VirtualKeyForEvdevScanCode(int evdevCode) {
  if (evdevCode < 0 || evdevCode >= int(EvdevToVk.size())) return 0;
  return EvdevToVk[size_t(evdevCode)];
}

}  // namespace varnel
