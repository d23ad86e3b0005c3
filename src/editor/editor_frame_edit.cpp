// TVNFrame, range commands and the history: the grids' cursor and selection handed to the grid
// edit, each command one step of the document's history, undo and redo that bring the view to
// where the step happened, and the keys Ctrl+C/V/X, Delete, Alt+Insert and Alt+Backspace.
#include <QTimer>

#include "document/song_document.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "song/song.h"

namespace varnel {

namespace {

class FrameEditView final : public GridEditView {
 public:
  explicit FrameEditView(TVNFrame& frame) : frame_(frame) {}
  void RedrawCell(EditorGrid grid, int col, int row) override {
    if (grid == EditorGrid::Order)
      frame_.RedrawOrder(col, row);
    else
      frame_.RedrawData(col, row);
  }

 private:
  TVNFrame& frame_;
};

const char* StepName(int action) {
  if (action & EditTranspose) return "transpose";
  if (action & EditPaste) return "paste";
  if ((action & EditCut) == EditCut) return "cut";
  return "clear";
}

// Everything a range command of the grid may reach: a paste comes round past the last column and row.
StepScope WholeGrid(const TVNSong& song, int grid) {
  return grid == 2 ? StepScope::Orders(0, song.ChannelsCount() - 1, 0, 255)
                   : StepScope::Cells(0, song.TracksCount() - 1, 0, RowsPerPattern - 1);
}

}  // namespace

void TVNFrame::SetupGridEdit() {
  d->editView = std::make_unique<FrameEditView>(*this);
  d->gridEdit = std::make_unique<GridEdit>(d->song, *d->editView);
}

GridPlace TVNFrame::PlaceOf(int gridTag) const {
  const TMyGrid2* g = GridOf(gridTag);
  const TGridRect s = g->Selection();
  return {gridTag == 2 ? EditorGrid::Order : EditorGrid::Pattern, g->Col(), g->Row(), s.Left, s.Top, s.Right, s.Bottom};
}

void TVNFrame::EditGrid(int action, int scope, int amount, bool transposeSimple) {
  const int grid = d->activeGrid;
  if (action == EditCopy) {
    d->gridEdit->EditGrid(action, scope, amount, PlaceOf(grid), transposeSimple);
    return;
  }
  {
    EditStep step(d->document, StepName(action), WholeGrid(d->song, grid));
    d->gridEdit->EditGrid(action, scope, amount, PlaceOf(grid), transposeSimple);
  }
  // In song view the pattern grid shows the patterns the order lists name.
  if (grid == 2 && d->song.FollowSongView != 0) RedrawPattern(0, 0, true);
}

const GridEdit& TVNFrame::GridEditing() const { return *d->gridEdit; }

// ---- Undo and redo ----

const HistoryStep* TVNFrame::PerformUndo() { return StepThrough(false); }
const HistoryStep* TVNFrame::PerformRedo() { return StepThrough(true); }
bool TVNFrame::CanUndo() const { return d->document.CanUndo(); }
bool TVNFrame::CanRedo() const { return d->document.CanRedo(); }

const HistoryStep* TVNFrame::StepThrough(bool redo) {
  Reporter& report = d->song.Report();
  const HistoryStep* step = redo ? d->document.Redo() : d->document.Undo();
  if (!step) {
    report.Status(redo ? "Nothing to redo" : "Buffer not filled", 0);
    return nullptr;
  }
  RedrawPattern(0, 0, true);
  RedrawOrders(0, 0);
  ShowPlace(step->place);
  report.Status((redo ? "Redo: " : "Undo: ") + step->name, 0);
  return step;
}

EditPlace TVNFrame::Place() const {
  const TVNSong& song = d->song;
  const TMyGrid2* g = GridOf(d->activeGrid);
  EditPlace place;
  place.grid = d->activeGrid;
  place.songView = song.FollowSongView != 0;
  place.pattern = song.CurrentPattern;
  place.order = song.PlayingOrder;
  place.col = g->Col();
  place.row = g->Row();
  return place;
}

void TVNFrame::ShowPlace(const EditPlace& place) {
  TVNSong& song = d->song;
  if (song.FollowSongView != 0) {
    if (place.songView && place.order != song.PlayingOrder) d->host.SetPatternField(place.order);
  } else if (!place.songView && place.pattern != song.CurrentPattern && place.pattern < song.PatternsCount()) {
    d->host.SetPatternField(place.pattern);
  }
  if (place.grid != d->activeGrid) d->host.ShowEditor(place.grid);
  TMyGrid2* g = GridOf(place.grid);
  if (g->ColCount() > 1) g->SetCol(std::clamp(place.col, 1, g->ColCount() - 1));
  if (g->RowCount() > 1) g->SetRow(std::clamp(place.row, 1, g->RowCount() - 1));
}

// ---- Keys ----

void TVNFrame::EditScrollDown() { EditScroll(true); }
void TVNFrame::EditScrollUp() { EditScroll(false); }

// Cursor centring stays off while the column turns, including when nothing happens.
void TVNFrame::EditScroll(bool down) {
  d->editScrolling = true;
  const int grid = d->activeGrid;
  const GridPlace place = PlaceOf(grid);
  const int column = place.cursorCol - 1;
  int row;
  {
    EditStep step(d->document, down ? "shift rows down" : "shift rows up",
                  grid == 2 ? StepScope::Orders(column, column, 0, 255)
                            : StepScope::Cells(column, column, 0, RowsPerPattern - 1));
    row = down ? d->gridEdit->EditScrollDown(place) : d->gridEdit->EditScrollUp(place);
  }
  if (row > 0) GridOf(grid)->SetRow(row);
  d->editScrolling = false;
}

// The caller writes right after; the step closes with the next one, or when the events of this
// moment have been handled.
void TVNFrame::SavePatternUndo() {
  const int track = d->grid1->Col() - 1;
  d->document.BeginLoose("note", StepScope::Cells(track, track, 0, RowsPerPattern - 1));
  QTimer::singleShot(0, this, [this] { d->document.CommitLoose(); });
}

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
    case EditorKeyAction::Clear: {
      // The cursor's step may drop the template's note-offs: part of the same step.
      EditStep step(d->document, "clear", WholeGrid(d->song, d->activeGrid));
      EditGrid(EditClear, ScopeSelection, 0);
      NextRow(d->activeGrid, -1);
      break;
    }
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
