// The key map of the pattern and order grids: which editor action a key press asks for, given
// the grid, the cursor's track type and the display mode. The widget then carries the action out
// (sounding notes, writing cells, moving the cursor). Window-level keys (octave on F1..F8, the
// step on the number pad with modifiers) are the main window's and never reach this map.
//
// Threads: UI thread (a pure function without shared state, so safe from any thread).
#pragma once

#include "editing/editor_keys.h"

namespace varnel {

struct KeyModifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

enum class EditorGrid { Pattern = 1, Order = 2 };  // the frame's ActiveGrid numbers

enum class EditorKeyAction {
  None,
  Copy,             // Ctrl+C
  Paste,            // Ctrl+V
  Cut,              // Ctrl+X
  Clear,            // Delete with any modifiers: clear the selection, then NextRow(grid, -1)
  ScrollDown,       // Alt+Insert: rotate the cursor's column down by one row
  ScrollUp,         // Alt+Backspace: rotate it up by one row
  SpaceBar,         // stop or pause while playing (the "Space key action" option), else play
  NextProgram,      // number-pad *: next entry of the channel panel's program list
  PreviousProgram,  // number-pad /
  NextPattern,      // number-pad +: "Ptn." field + 1
  PreviousPattern,  // number-pad -: "Ptn." field - 1
  OpenOrderGrid,    // Enter in the pattern grid: the order grid at this channel
  OpenPattern,      // Enter in the order grid: the pattern under the cursor
  Note,             // a note key on a note track; value = note offset
  NoteOff,          // Caps Lock: CellNoteOff on a note track, OrderNoteOff in the order grid
  Digit,            // a digit on a value track or in the order grid; value = 0..15
};

struct EditorKey {
  EditorKeyAction action = EditorKeyAction::None;
  int value = 0;
};

struct EditorKeyContext {
  EditorGrid grid = EditorGrid::Pattern;
  int cursorTrackType = 0;  // type of the pattern grid's cursor track (unused in the order grid)
  bool hexDisplay = false;  // "Hex" row numbers: A..F are digits on value tracks too
  KeyboardMode keyboardMode = KeyboardTwoOctaves;
};

// "Plain" means no modifier or Shift alone; Ctrl and Alt actions want exactly that modifier.
// Whether editing is enabled is the caller's test: notes preview even with editing off.
// Order-grid digits are always decimal.
EditorKey ClassifyEditorKey(int vk, KeyModifiers modifiers, const EditorKeyContext& context);

}  // namespace varnel
