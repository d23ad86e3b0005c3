// The column rotations of Alt+Insert and Alt+Backspace.
#include "editing/grid_edit.h"

namespace varnel {

int GridEdit::EditScrollDown(const GridPlace& place) { return Rotate(place, true); }
int GridEdit::EditScrollUp(const GridPlace& place) { return Rotate(place, false); }

// Copy the cursor's column, paste it one row further down (or at the last row, which brings
// row 0 round to the end) and move the cursor with the content.
int GridEdit::Rotate(const GridPlace& place, bool down) {
  const int lastGridRow = Rows(place.grid);
  if (down ? place.cursorRow >= lastGridRow : place.cursorRow <= 1) return -1;
  if (place.cursorCol < 1 || place.cursorCol > Columns(place.grid)) return -1;
  EditGrid(EditCopy, ScopeTrack, 0, place, false);
  GridPlace target = place;
  target.cursorRow = down ? 2 : lastGridRow;
  target.selLeft = target.selRight = target.cursorCol;
  target.selTop = target.selBottom = target.cursorRow;
  EditGrid(EditPaste, ScopeSelection, 0, target, false);
  return down ? place.cursorRow + 1 : place.cursorRow - 1;
}

}  // namespace varnel
