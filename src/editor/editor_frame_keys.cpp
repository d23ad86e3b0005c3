// TVNFrame, keyboard: key events become the editor's key codes, the key map picks the action, and
// the keys shared by both grids (space bar, number pad, Enter) are carried out here.
#include <QGuiApplication>
#include <QKeyEvent>

#include "document/song_document.h"
#include "editing/editor_keys.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "song/song.h"

namespace varnel {

namespace {

struct QtKeyCode {
  int qt;
  int vk;
};

// Keys by their Qt code, for events without a usable scan code. The shifted symbols of a US
// keyboard stand for their unshifted keys, so Shift chords work there too.
// clang-format off
constexpr QtKeyCode QtKeys[] = {
    {Qt::Key_CapsLock, Vk::Capital},   {Qt::Key_Return, Vk::Return},    {Qt::Key_Enter, Vk::Return},
    {Qt::Key_Space, Vk::Space},        {Qt::Key_Delete, Vk::Delete},    {Qt::Key_Insert, Vk::Insert},
    {Qt::Key_Backspace, Vk::Back},     {Qt::Key_Comma, Vk::OemComma},   {Qt::Key_Less, Vk::OemComma},
    {Qt::Key_Period, Vk::OemPeriod},   {Qt::Key_Greater, Vk::OemPeriod}, {Qt::Key_Slash, Vk::Oem2},
    {Qt::Key_Question, Vk::Oem2},      {Qt::Key_Semicolon, Vk::Oem1},   {Qt::Key_Colon, Vk::Oem1},
    {Qt::Key_Apostrophe, Vk::Oem7},    {Qt::Key_QuoteDbl, Vk::Oem7},    {Qt::Key_BracketLeft, Vk::Oem4},
    {Qt::Key_BraceLeft, Vk::Oem4},     {Qt::Key_BracketRight, Vk::Oem6}, {Qt::Key_BraceRight, Vk::Oem6},
    {Qt::Key_Backslash, Vk::Oem5},     {Qt::Key_Bar, Vk::Oem5},         {Qt::Key_Minus, Vk::OemMinus},
    {Qt::Key_Underscore, Vk::OemMinus}, {Qt::Key_Equal, Vk::OemPlus},   {Qt::Key_Plus, Vk::OemPlus},
    {Qt::Key_QuoteLeft, Vk::Oem3},     {Qt::Key_AsciiTilde, Vk::Oem3},  {Qt::Key_Exclam, Vk::Digit(1)},
    {Qt::Key_At, Vk::Digit(2)},        {Qt::Key_NumberSign, Vk::Digit(3)}, {Qt::Key_Dollar, Vk::Digit(4)},
    {Qt::Key_Percent, Vk::Digit(5)},   {Qt::Key_AsciiCircum, Vk::Digit(6)}, {Qt::Key_Ampersand, Vk::Digit(7)},
    {Qt::Key_Asterisk, Vk::Digit(8)},  {Qt::Key_ParenLeft, Vk::Digit(9)}, {Qt::Key_ParenRight, Vk::Digit(0)},
};

constexpr QtKeyCode KeypadKeys[] = {
    {Qt::Key_Asterisk, Vk::Multiply}, {Qt::Key_Plus, Vk::Add},        {Qt::Key_Minus, Vk::Subtract},
    {Qt::Key_Slash, Vk::Divide},      {Qt::Key_Period, Vk::Decimal},  {Qt::Key_Comma, Vk::Decimal},
    {Qt::Key_Enter, Vk::Return},      {Qt::Key_Return, Vk::Return},
};
// clang-format on

template <size_t N>
int Lookup(const QtKeyCode (&table)[N], int key) {
  for (const QtKeyCode& k : table)
    if (k.qt == key) return k.vk;
  return 0;
}

int VirtualKeyOfQtKey(const QKeyEvent* event) {
  const int key = event->key();
  if (event->modifiers() & Qt::KeypadModifier) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return Vk::Numpad(key - Qt::Key_0);
    return Lookup(KeypadKeys, key);
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return Vk::Letter(char('A' + (key - Qt::Key_A)));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return Vk::Digit(key - Qt::Key_0);
  return Lookup(QtKeys, key);
}

KeyModifiers ModifiersOf(const QKeyEvent* event) {
  const Qt::KeyboardModifiers m = event->modifiers();
  return {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier), m.testFlag(Qt::AltModifier)};
}

}  // namespace

int TVNFrame::VirtualKeyOf(const QKeyEvent* event) {
  static const QString platform = QGuiApplication::platformName();
  return VirtualKeyOf(event, platform);
}

int TVNFrame::VirtualKeyOf(const QKeyEvent* event, const QString& platform) {
  // The key's position, so that the piano keys lie where they are on any keyboard layout.
  if (platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"))) {
    const quint32 code = event->nativeScanCode();
    if (code > 8)
      if (const int vk = VirtualKeyForEvdevScanCode(int(code) - 8)) return vk;
  } else if (platform == QLatin1String("windows")) {
    if (const quint32 vk = event->nativeVirtualKey(); vk > 0 && vk < 256) return int(vk);
  }
  return VirtualKeyOfQtKey(event);
}

void TVNFrame::Grid1KeyDown(TMyGrid2* grid, QKeyEvent* event) {
  const int vk = VirtualKeyOf(event);
  if (vk == 0) return;
  const int gridTag = grid == d->grid2 ? 2 : grid == d->grid1 ? 1 : d->activeGrid;
  EditorKeyContext context;
  context.grid = gridTag == 2 ? EditorGrid::Order : EditorGrid::Pattern;
  context.cursorTrackType = d->song.GetTrackType(d->grid1->Col() - 1);
  context.hexDisplay = d->options.HexDisplay();
  context.keyboardMode = d->options.keyboardMode == 1 ? KeyboardFourOctaves : KeyboardTwoOctaves;
  const KeyModifiers modifiers = ModifiersOf(event);
  const EditorKey key = ClassifyEditorKey(vk, modifiers, context);
  if (key.action == EditorKeyAction::None) return;
  event->accept();
  switch (key.action) {
    case EditorKeyAction::Note:
    case EditorKeyAction::NoteOff:
    case EditorKeyAction::Digit:
      if (gridTag == 2)
        OrderKey(key);
      else
        PatternKey(key, vk, modifiers.shift);
      break;
    case EditorKeyAction::SpaceBar:
      // A held space bar would flip between play and pause with every repeat.
      if (!event->isAutoRepeat()) CommonKey(key);
      break;
    default:
      CommonKey(key);
      break;
  }
}

// Ends the preview of a note key. A key's auto-repeat releases are not the key going up.
void TVNFrame::Grid1KeyUp(TMyGrid2*, QKeyEvent* event) {
  if (event->isAutoRepeat()) return;
  const int vk = VirtualKeyOf(event);
  const KeyboardMode mode = d->options.keyboardMode == 1 ? KeyboardFourOctaves : KeyboardTwoOctaves;
  const int offset = NoteKeyOffset(vk, mode);
  if (offset < 0) return;
  event->accept();
  // Exactly what the key's preview started ends: the chord it began as, on the channel it began on,
  // whatever the shift state, the cursor or "d/a releases" now.
  EndPreview(offset);
}

void TVNFrame::PatternKey(const EditorKey& key, int vk, bool shift) {
  TVNSong& song = d->song;
  switch (key.action) {
    case EditorKeyAction::Note:
      NoteEntry(key.value, vk, shift);
      break;
    case EditorKeyAction::NoteOff:
      if (song.EditEnabled) {
        const int track = d->grid1->Col() - 1, row = d->grid1->Row() - 1;
        EditStep step(d->document, "note-off", StepScope::Cells(track, track, 0, RowsPerPattern - 1));
        song.SetCellData(track, row, CellNoteOff);
        RedrawData(track, row);
        NextRow(1, -1);
      }
      break;
    case EditorKeyAction::Digit:
      ValueKey(key.value);
      break;
    default:
      break;
  }
}

void TVNFrame::CommonKey(const EditorKey& key) {
  EditorHost& host = d->host;
  switch (key.action) {
    case EditorKeyAction::SpaceBar:
      if (!PlayerRunning())
        host.PlayPause();
      else if (d->options.spaceKeyAction == 0)
        host.StopPlayback();
      else
        host.PlayPause();
      break;
    case EditorKeyAction::NextProgram:
      host.StepProgram(1);
      break;
    case EditorKeyAction::PreviousProgram:
      host.StepProgram(-1);
      break;
    case EditorKeyAction::NextPattern:
      host.StepPatternField(1);
      break;
    case EditorKeyAction::PreviousPattern:
      host.StepPatternField(-1);
      break;
    case EditorKeyAction::OpenOrderGrid:
      OpenOrderGrid();
      break;
    case EditorKeyAction::OpenPattern:
      OpenPattern();
      break;
    case EditorKeyAction::Copy:
    case EditorKeyAction::Paste:
    case EditorKeyAction::Cut:
    case EditorKeyAction::Clear:
    case EditorKeyAction::ScrollDown:
    case EditorKeyAction::ScrollUp:
      EditGridKey(key.action);
      break;
    default:
      break;
  }
}

// Enter in the pattern grid: the order grid at the cursor track's channel (in song view at the
// position being shown).
void TVNFrame::OpenOrderGrid() {
  TVNSong& song = d->song;
  d->grid2->SetCol(song.GetTrackChannel(d->grid1->Col() - 1) + 1);
  d->host.ShowEditor(2);
  if (song.FollowSongView != 0) d->grid2->SetRow(song.PlayingOrder + 1);
}

}  // namespace varnel
