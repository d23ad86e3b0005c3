#include "editing/editor_key_map.h"

#include "editing/value_entry.h"
#include "song/song_types.h"

namespace varnel {
namespace {

using A = EditorKeyAction;

struct KeyRule {
  int vk;
  A action;
};

// Plain keys that act the same in both grids.
constexpr KeyRule PlainKeys[] = {
    {Vk::Space, A::SpaceBar},  {Vk::Multiply, A::NextProgram},     {Vk::Divide, A::PreviousProgram},
    {Vk::Add, A::NextPattern}, {Vk::Subtract, A::PreviousPattern},
};
constexpr KeyRule CtrlKeys[] = {{'C', A::Copy}, {'V', A::Paste}, {'X', A::Cut}};
constexpr KeyRule AltKeys[] = {{Vk::Insert, A::ScrollDown}, {Vk::Back, A::ScrollUp}};

template <size_t N>
EditorKey Find(const KeyRule (&rules)[N], int vk) {
  for (const KeyRule& rule : rules)
    if (rule.vk == vk) return {rule.action, 0};
  return {};
}

int DigitOfKey(int vk, bool hex) {
  if (vk >= Vk::Digit(0) && vk <= Vk::Digit(9)) return vk - Vk::Digit(0);
  if (hex && vk >= 'A' && vk <= 'F') return vk - 'A' + 10;
  return -1;
}

}  // namespace

EditorKey ClassifyEditorKey(int vk, KeyModifiers modifiers, const EditorKeyContext& context) {
  if (vk == Vk::Delete) return {A::Clear, 0};
  const bool ctrlOnly = modifiers.ctrl && !modifiers.alt && !modifiers.shift;
  const bool altOnly = modifiers.alt && !modifiers.ctrl && !modifiers.shift;
  if (ctrlOnly) return Find(CtrlKeys, vk);
  if (altOnly) return Find(AltKeys, vk);
  if (modifiers.ctrl || modifiers.alt) return {};

  if (EditorKey common = Find(PlainKeys, vk); common.action != A::None) return common;
  const bool order = context.grid == EditorGrid::Order;
  if (vk == Vk::Return) return {order ? A::OpenPattern : A::OpenOrderGrid, 0};

  if (order) {
    if (vk == Vk::Capital) return {A::NoteOff, 0};
    const int digit = DigitOfKey(vk, false);
    return digit >= 0 ? EditorKey{A::Digit, digit} : EditorKey{};
  }
  if (context.cursorTrackType == ttNote) {
    if (vk == Vk::Capital) return {A::NoteOff, 0};
    const int offset = NoteKeyOffset(vk, context.keyboardMode);
    return offset >= 0 ? EditorKey{A::Note, offset} : EditorKey{};
  }
  if (ValueEntryMaximum(context.cursorTrackType) > 0) {
    const int digit = DigitOfKey(vk, context.hexDisplay);
    if (digit >= 0) return {A::Digit, digit};
  }
  return {};
}

}  // namespace varnel
