// The key map of the two editor grids: modifiers, grids, track types and display modes.
#include "editing/editor_key_map.h"

#include <gtest/gtest.h>

#include <string>

#include "song/song_types.h"

namespace varnel {
namespace {

using A = EditorKeyAction;

constexpr KeyModifiers None{};
constexpr KeyModifiers Shift{true, false, false};
constexpr KeyModifiers Ctrl{false, true, false};
constexpr KeyModifiers Alt{false, false, true};
constexpr KeyModifiers CtrlShift{true, true, false};

const EditorKeyContext NoteTrack{EditorGrid::Pattern, ttNote, false, KeyboardTwoOctaves};
const EditorKeyContext VelocityDec{EditorGrid::Pattern, ttVelocity, false, KeyboardTwoOctaves};
const EditorKeyContext VelocityHex{EditorGrid::Pattern, ttVelocity, true, KeyboardTwoOctaves};
const EditorKeyContext TempoDec{EditorGrid::Pattern, ttTempo, false, KeyboardTwoOctaves};
const EditorKeyContext TypeTwo{EditorGrid::Pattern, 2, false, KeyboardTwoOctaves};
const EditorKeyContext OrderHex{EditorGrid::Order, ttNote, true, KeyboardTwoOctaves};
const EditorKeyContext NoteTrackFour{EditorGrid::Pattern, ttNote, false, KeyboardFourOctaves};

struct Case {
  const char* name;
  int vk;
  KeyModifiers modifiers;
  EditorKeyContext context;
  A action;
  int value;
};

const Case Cases[] = {
    {"Ctrl+C copies", 'C', Ctrl, NoteTrack, A::Copy, 0},
    {"Ctrl+V pastes in the order grid", 'V', Ctrl, OrderHex, A::Paste, 0},
    {"Ctrl+X cuts", 'X', Ctrl, VelocityHex, A::Cut, 0},
    {"Ctrl+Shift+C is not exactly Ctrl", 'C', CtrlShift, NoteTrack, A::None, 0},
    {"Ctrl+Z does nothing", 'Z', Ctrl, NoteTrack, A::None, 0},
    {"Delete clears", Vk::Delete, None, NoteTrack, A::Clear, 0},
    {"Ctrl+Delete clears too", Vk::Delete, Ctrl, OrderHex, A::Clear, 0},
    {"Alt+Insert scrolls down", Vk::Insert, Alt, NoteTrack, A::ScrollDown, 0},
    {"Alt+Backspace scrolls up", Vk::Back, Alt, OrderHex, A::ScrollUp, 0},
    {"Insert alone does nothing", Vk::Insert, None, NoteTrack, A::None, 0},
    {"Backspace alone does nothing", Vk::Back, None, VelocityDec, A::None, 0},
    {"Space plays or stops", Vk::Space, None, NoteTrack, A::SpaceBar, 0},
    {"Shift+Space is plain", Vk::Space, Shift, OrderHex, A::SpaceBar, 0},
    {"Ctrl+Space is not plain", Vk::Space, Ctrl, NoteTrack, A::None, 0},
    {"number-pad * next program", Vk::Multiply, None, NoteTrack, A::NextProgram, 0},
    {"number-pad / previous program", Vk::Divide, None, OrderHex, A::PreviousProgram, 0},
    {"number-pad + next pattern", Vk::Add, None, VelocityDec, A::NextPattern, 0},
    {"number-pad - previous pattern", Vk::Subtract, None, NoteTrack, A::PreviousPattern, 0},
    {"Enter in the pattern grid opens the order grid", Vk::Return, None, NoteTrack, A::OpenOrderGrid, 0},
    {"Enter in the order grid opens the pattern", Vk::Return, None, OrderHex, A::OpenPattern, 0},
    {"Z on a note track plays offset 0", 'Z', None, NoteTrack, A::Note, 0},
    {"Shift+Q plays offset 12 (chord)", 'Q', Shift, NoteTrack, A::Note, 12},
    {"backslash plays offset 32", Vk::Oem5, None, NoteTrack, A::Note, 32},
    {"A plays nothing with two octaves", 'A', None, NoteTrack, A::None, 0},
    {"A plays offset 12 with four octaves", 'A', None, NoteTrackFour, A::Note, 12},
    {"Alt+Z plays nothing", 'Z', Alt, NoteTrack, A::None, 0},
    {"Caps Lock on a note track writes a note-off", Vk::Capital, None, NoteTrack, A::NoteOff, 0},
    {"Caps Lock on a velocity track does nothing", Vk::Capital, None, VelocityDec, A::None, 0},
    {"Caps Lock in the order grid writes a note-off", Vk::Capital, None, OrderHex, A::NoteOff, 0},
    {"digit on a velocity track", '7', None, VelocityDec, A::Digit, 7},
    {"C is no digit in decimal", 'C', None, VelocityDec, A::None, 0},
    {"C is digit 12 in hex", 'C', None, VelocityHex, A::Digit, 12},
    {"F is digit 15 in hex", 'F', None, VelocityHex, A::Digit, 15},
    {"G is no hex digit", 'G', None, VelocityHex, A::None, 0},
    {"digit on a tempo track", '0', None, TempoDec, A::Digit, 0},
    {"number-pad digits are not digits", Vk::Numpad(5), None, VelocityDec, A::None, 0},
    {"type 2 takes no digits", '5', None, TypeTwo, A::None, 0},
    {"digits on a note track are note keys", '2', None, NoteTrack, A::Note, 13},
    {"order grid digits stay decimal in hex", 'A', None, OrderHex, A::None, 0},
    {"order grid digit", '9', None, OrderHex, A::Digit, 9},
    {"note keys do nothing in the order grid", 'Z', None, OrderHex, A::None, 0},
};

TEST(EditorKeyMap, Classify_EachKey_GivesTheAction) {
  for (const Case& c : Cases) {
    SCOPED_TRACE(c.name);
    const EditorKey key = ClassifyEditorKey(c.vk, c.modifiers, c.context);
    EXPECT_EQ(key.action, c.action);
    EXPECT_EQ(key.value, c.value);
  }
}

TEST(EditorKeyMap, Classify_EveryNoteKeyOnANoteTrack_GivesItsOffset) {
  for (KeyboardMode mode : {KeyboardTwoOctaves, KeyboardFourOctaves})
    for (int vk = 0; vk < 256; ++vk) {
      const int offset = NoteKeyOffset(vk, mode);
      if (offset < 0) continue;
      const EditorKey key = ClassifyEditorKey(vk, Shift, {EditorGrid::Pattern, ttNote, false, mode});
      EXPECT_EQ(key.action, A::Note) << "mode " << mode << " key " << vk;
      EXPECT_EQ(key.value, offset) << "mode " << mode << " key " << vk;
    }
}

}  // namespace
}  // namespace varnel
