// The editor's keys: key codes in Windows virtual-key numbering (the numbering the note layouts
// are defined on), the two computer-keyboard piano layouts, and the map from Linux evdev scan
// codes to key positions so that the piano follows the physical keys on any keyboard layout.
//
// Threads: UI thread (pure functions without shared state, so safe from any thread).
#pragma once

#include <string>

namespace varnel {

// Virtual key codes. Letters and digits are their upper-case ASCII codes ('A' = 0x41,
// '0' = 0x30); key caps are those of a US keyboard.
namespace Vk {
inline constexpr int Back = 0x08;
inline constexpr int Tab = 0x09;
inline constexpr int Return = 0x0D;
inline constexpr int Shift = 0x10;
inline constexpr int Control = 0x11;
inline constexpr int Menu = 0x12;     // Alt
inline constexpr int Capital = 0x14;  // Caps Lock
inline constexpr int Escape = 0x1B;
inline constexpr int Space = 0x20;
inline constexpr int Prior = 0x21;  // Page Up
inline constexpr int Next = 0x22;   // Page Down
inline constexpr int End = 0x23;
inline constexpr int Home = 0x24;
inline constexpr int Left = 0x25;
inline constexpr int Up = 0x26;
inline constexpr int Right = 0x27;
inline constexpr int Down = 0x28;
inline constexpr int Insert = 0x2D;
inline constexpr int Delete = 0x2E;
constexpr int Digit(int d) { return 0x30 + d; }   // 0..9
constexpr int Letter(char c) { return int(c); }   // 'A'..'Z'
constexpr int Numpad(int d) { return 0x60 + d; }  // number-pad digits 0..9
inline constexpr int Multiply = 0x6A;
inline constexpr int Add = 0x6B;
inline constexpr int Subtract = 0x6D;
inline constexpr int Decimal = 0x6E;
inline constexpr int Divide = 0x6F;
constexpr int F(int n) { return 0x6F + n; }  // F1..F12 = 0x70..0x7B
inline constexpr int NumLock = 0x90;
inline constexpr int Oem1 = 0xBA;       // ;
inline constexpr int OemPlus = 0xBB;    // =
inline constexpr int OemComma = 0xBC;   // ,
inline constexpr int OemMinus = 0xBD;   // -
inline constexpr int OemPeriod = 0xBE;  // .
inline constexpr int Oem2 = 0xBF;       // /
inline constexpr int Oem3 = 0xC0;       // `
inline constexpr int Oem4 = 0xDB;       // [
inline constexpr int Oem5 = 0xDC;       // backslash
inline constexpr int Oem6 = 0xDD;       // ]
inline constexpr int Oem7 = 0xDE;       // '
inline constexpr int Oem102 = 0xE2;     // the extra key beside the left Shift on ISO keyboards
}  // namespace Vk

// The editor's KeyboardMode: which piano layout the note keys follow.
enum KeyboardMode : int {
  KeyboardTwoOctaves = 0,   // 33 note offsets, chromatic, over the four key rows
  KeyboardFourOctaves = 1,  // white keys only, one octave per key row
};

// Note offset (0..57) that key vk plays in the layout, or -1 when it is no note key there.
// The note written is offset + 12 x Octave; the preview adds the channel's transpose.
int NoteKeyOffset(int vk, KeyboardMode mode);
inline bool IsNoteKey(int vk, KeyboardMode mode) { return NoteKeyOffset(vk, mode) >= 0; }

// Note keys of the two lower key rows are lower keys, those of the two upper rows upper keys.
// Both are false for a key that plays no note in the layout.
bool IsLowerNoteKey(int vk, KeyboardMode mode);
bool IsUpperNoteKey(int vk, KeyboardMode mode);

// A note key sounds and writes a chord when Shift is held, or it is a lower key while
// "Chords Lower Keys" is on, or an upper key while "Chords Upper Keys" is on.
bool IsChordKey(int vk, KeyboardMode mode, bool shift, bool chordsLowerKeys, bool chordsUpperKeys);

// The caption the piano window puts on the piano key of note offset, when hints are shown: the
// cap of the computer key that plays it ("Z", "2", ";"), empty when no key plays it. Where two keys
// play one offset, a letter or digit key names it before a punctuation key, then the upper row
// before the lower one (two octaves: offset 12 reads "Q"); the two-octave offsets 29..32 read
// "[", "+", "]" and "\".
std::string NoteKeyCaption(int offset, KeyboardMode mode);

// The virtual key at the position of a Linux evdev key code (X11 key code minus 8) on a US
// keyboard, or 0 for a code that has none. Letters, digits, punctuation, Caps Lock, Enter, Space,
// Delete, Insert, Backspace, the number pad, F1..F12, the cursor block and the modifiers are known.
int VirtualKeyForEvdevScanCode(int evdevCode);

}  // namespace varnel
