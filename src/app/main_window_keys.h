// Keys the main window takes before the focused control sees them: the cursor step on the number
// pad, the octave on F1..F8, the pattern on Ctrl + number pad and the first menu on F10.
#pragma once

#include <Qt>

namespace varnel {

struct WindowKeyAction {
  enum Kind { None, Step, Octave, Pattern, Menu };
  Kind kind = None;
  int value = 0;  // the step, the octave as shown (F1 -> 1), or the pattern number
};

// Modifiers must match exactly; Qt::KeypadModifier marks the number pad.
WindowKeyAction ClassifyWindowKey(int key, Qt::KeyboardModifiers modifiers);

}  // namespace varnel
