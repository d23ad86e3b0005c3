// The one-level undo snapshot and the column rotations of Alt+Insert and Alt+Backspace.
#include <cstdint>

#include "editing/grid_edit.h"
#include "song/song.h"

namespace varnel {

void GridEdit::SetCanUndo() {
  undo_.CanUndo = true;
  view_.CanUndoChanged(true);
}

void GridEdit::SetCantUndo() {
  undo_.CanUndo = false;
  view_.CanUndoChanged(false);
}

void GridEdit::SaveToUndo(EditorGrid grid) {
  if (song_.FollowSongView != 0) return;
  const int pattern = song_.CurrentPattern;
  if (grid == EditorGrid::Pattern && pattern >= song_.PatternsCount()) {
    SetCantUndo();
    return;
  }
  UndoSnapshot& u = undo_;
  u.UndoGrid = grid;
  u.patterns = song_.PatternsCount();
  u.UndoCells.clear();
  if (grid == EditorGrid::Order) {
    u.columns = song_.ChannelsCount();
    u.rows = 256;
    u.UndoCells.reserve(size_t(u.columns) * size_t(u.rows));
    for (int c = 0; c < u.columns; ++c)
      for (int p = 0; p < u.rows; ++p) u.UndoCells.push_back(song_.GetOrder(c, p));
  } else {
    u.UndoPattern = pattern;
    u.columns = song_.TracksCount();
    u.rows = song_.LastRow(pattern) + 1;
    u.UndoCells.reserve(size_t(u.columns) * size_t(u.rows));
    for (int t = 0; t < u.columns; ++t)
      for (int r = 0; r < u.rows; ++r) u.UndoCells.push_back(uint8_t(song_.CellData(pattern, t, r)));
  }
  SetCanUndo();
}

// A snapshot is only put back into the song it was taken from: once tracks, channels or patterns
// were added or removed, its cells would land in the wrong places.
bool GridEdit::SnapshotFits() const {
  const UndoSnapshot& u = undo_;
  if (u.UndoGrid == EditorGrid::Order) return u.columns == song_.ChannelsCount();
  return u.columns == song_.TracksCount() && u.patterns == song_.PatternsCount() && u.UndoPattern < u.patterns;
}

void GridEdit::PerformUndo() {
  if (song_.FollowSongView != 0) return;
  if (!undo_.CanUndo || !SnapshotFits()) {
    song_.Report().Status("Buffer not filled", 0);
    if (undo_.CanUndo) SetCantUndo();
    return;
  }
  const UndoSnapshot& u = undo_;
  const EditorGrid grid = u.UndoGrid;
  if (grid == EditorGrid::Pattern) {
    if (song_.CurrentPattern != u.UndoPattern) view_.ShowPattern(u.UndoPattern);
    // Straight into the snapshot's pattern, whichever the view ended up showing.
    for (int t = 0; t < u.columns; ++t) {
      const int type = song_.TrackType(t);
      for (int r = 0; r < u.rows; ++r) {
        int v = u.UndoCells[size_t(t) * size_t(u.rows) + size_t(r)];
        if (v == CellNoteOff && type != ttNote && type != ttTempo) v = 127;
        song_.StoreCell(u.UndoPattern, t, r, v);
        view_.RedrawCell(grid, t, r);
      }
    }
    song_.Modified = true;
  } else {
    for (int c = 0; c < u.columns; ++c)
      for (int p = 0; p < u.rows; ++p) {
        const int v = u.UndoCells[size_t(c) * size_t(u.rows) + size_t(p)];
        if (song_.GetOrder(c, p) != v) song_.SetOrder(c, p, v);
        view_.RedrawCell(grid, c, p);
      }
  }
  SetCantUndo();
}

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
