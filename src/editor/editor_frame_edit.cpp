// TVNFrame, range commands: the grids' cursor and selection handed to the grid edit, its redraws,
// the undo snapshot before each typed note, and the keys Ctrl+C/V/X, Delete, Alt+Insert and
// Alt+Backspace.
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "song/song.h"

namespace varnel {

namespace {

class FrameEditView final : public GridEditView {
 public:
  FrameEditView(TVNFrame& frame, EditorHost& host) : frame_(frame), host_(host) {}
  void RedrawCell(EditorGrid grid, int col, int row) override {
    if (grid == EditorGrid::Order)
      frame_.RedrawOrder(col, row);
    else
      frame_.RedrawData(col, row);
  }
  void ShowPattern(int pattern) override { host_.SetPatternField(pattern); }
  void CanUndoChanged(bool canUndo) override { emit frame_.canUndoChanged(canUndo); }

 private:
  TVNFrame& frame_;
  EditorHost& host_;
};

}  // namespace

void TVNFrame::SetupGridEdit() {
  d->editView = std::make_unique<FrameEditView>(*this, d->host);
  d->gridEdit = std::make_unique<GridEdit>(d->song, *d->editView);
}

GridPlace TVNFrame::PlaceOf(int gridTag) const {
  const TMyGrid2* g = GridOf(gridTag);
  const TGridRect s = g->Selection();
  return {gridTag == 2 ? EditorGrid::Order : EditorGrid::Pattern, g->Col(), g->Row(), s.Left, s.Top, s.Right, s.Bottom};
}

void TVNFrame::EditGrid(int action, int scope, int amount, bool transposeSimple) {
  const int grid = d->activeGrid;
  d->gridEdit->EditGrid(action, scope, amount, PlaceOf(grid), transposeSimple);
  // In song view the pattern grid shows the patterns the order lists name.
  if (grid == 2 && action != EditCopy && d->song.FollowSongView != 0) RedrawPattern(0, 0, true);
}

void TVNFrame::PerformUndo() {
  const bool order = d->gridEdit->Undo().UndoGrid == EditorGrid::Order;
  d->gridEdit->PerformUndo();
  if (order && d->song.FollowSongView != 0) RedrawPattern(0, 0, true);
}

void TVNFrame::SetCantUndo() { d->gridEdit->SetCantUndo(); }
bool TVNFrame::CanUndo() const { return d->gridEdit->CanUndo(); }
const GridEdit& TVNFrame::GridEditing() const { return *d->gridEdit; }

void TVNFrame::EditScrollDown() { EditScroll(true); }
void TVNFrame::EditScrollUp() { EditScroll(false); }

// Cursor centring stays off while the column turns, including when nothing happens.
void TVNFrame::EditScroll(bool down) {
  d->editScrolling = true;
  const int grid = d->activeGrid;
  const GridPlace place = PlaceOf(grid);
  const int row = down ? d->gridEdit->EditScrollDown(place) : d->gridEdit->EditScrollUp(place);
  if (row > 0) GridOf(grid)->SetRow(row);
  d->editScrolling = false;
}

// Before each note typed: undo gives back the pattern as it was before the last note.
void TVNFrame::SavePatternUndo() { d->gridEdit->SaveToUndo(EditorGrid::Pattern); }

void TVNFrame::SaveToUndo() { d->gridEdit->SaveToUndo(d->activeGrid == 2 ? EditorGrid::Order : EditorGrid::Pattern); }

void TVNFrame::EditGridKey(EditorKeyAction action) {
  switch (action) {
    case EditorKeyAction::Copy:
      EditGrid(EditCopy, ScopeSelection, 0);
      break;
    case EditorKeyAction::Paste:
      EditGrid(EditPaste, ScopeSelection, 0);
      break;
    case EditorKeyAction::Cut:
      EditGrid(EditCut, ScopeSelection, 0);
      break;
    case EditorKeyAction::Clear:
      EditGrid(EditClear, ScopeSelection, 0);
      NextRow(d->activeGrid, -1);
      break;
    case EditorKeyAction::ScrollDown:
      EditScrollDown();
      break;
    case EditorKeyAction::ScrollUp:
      EditScrollUp();
      break;
    default:
      break;
  }
}

}  // namespace varnel
