// TVNFrame, order editor: the order grid's texts and widths, pattern numbers typed into it, and
// Enter that opens the pattern under the cursor.
#include <algorithm>

#include "document/song_document.h"
#include "editing/grid_text.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "song/song.h"

namespace varnel {

QString TVNFrame::Grid2GetText(int col, int row) const {
  return QString::fromStdString(OrderGridText(d->song, col, row, d->options.HexDisplay()));
}

void TVNFrame::RedrawOrders(int firstChannel, int firstRow) {
  TMyGrid2* grid = d->grid2;
  firstChannel = std::max(firstChannel, 0);
  firstRow = std::max(firstRow, 0);
  grid->SetRowCount(OrderGridRowCount);
  grid->SetColCount(OrderGridColCount(d->song));
  const std::vector<int> widths = OrderColumnWidths(d->song, d->cellWidth, d->options.HexDisplay());
  grid->SetColWidth(0, widths[0]);
  for (int c = firstChannel + 1; c < int(widths.size()); ++c) grid->SetColWidth(c, widths[size_t(c)]);
  grid->Repaint();

  if (grid->DefaultRowHeight() != d->cellHeight) grid->SetDefaultRowHeight(d->cellHeight);
  const int rows = grid->RowCount(), cols = grid->ColCount();
  for (int r = firstRow; r < rows; ++r) {
    grid->SetRowHeight(r, d->cellHeight);
    for (int c = firstChannel; c < cols; ++c) grid->SetCellText(c, r, Grid2GetText(c, r));
  }
  // Channels may have come or gone under the cursor: the channel in view follows it.
  ColChanged(d->activeGrid, -1);
}

void TVNFrame::RedrawOrder(int channel, int position) {
  d->grid2->SetCellText(channel + 1, position + 1, Grid2GetText(channel + 1, position + 1));
}

// Digits and Caps Lock in the order grid; the cursor stays, and the digit state carries on across
// cursor moves of this grid.
void TVNFrame::OrderKey(const EditorKey& key) {
  TVNSong& song = d->song;
  TMyGrid2* grid = d->grid2;
  if (!song.EditEnabled) return;
  const int channel = grid->Col() - 1, position = grid->Row() - 1;
  int value;
  bool continued = false;
  if (key.action == EditorKeyAction::NoteOff) {
    value = OrderNoteOff;
  } else if (key.action == EditorKeyAction::Digit) {
    // The digits of one number are one step.
    continued = d->entry.State() != 0;
    value = d->entry.DecEdited(Grid2GetText(grid->Col(), grid->Row()).toStdString(), OrderEntryMaximum, key.value);
    if (value < 0) return;
  } else {
    return;
  }
  EditStep step(d->document, "order", StepScope::Orders(channel, channel, position, position),
                "order " + std::to_string(channel) + " " + std::to_string(position), continued);
  song.SetOrder(channel, position, value);
  RedrawOrder(channel, position);
  RedrawPattern(0, 0, true);  // in song view the pattern grid may show this position
}

// Enter in the order grid: the pattern under the cursor (in song view, the position) becomes the
// shown one, and the pattern grid opens on the channel's first track.
void TVNFrame::OpenPattern() {
  TVNSong& song = d->song;
  TMyGrid2* grid = d->grid2;
  const int channel = grid->Col() - 1, position = grid->Row() - 1;
  const int entry = song.GetOrder(channel, position);
  if (song.FollowSongView != 0) {
    if (entry != OrderEmpty) d->host.SetPatternField(position);
  } else if (entry < song.PatternsCount()) {
    // A note-off entry names no pattern, and one past the last would append a new pattern.
    d->host.SetPatternField(entry);
  }
  for (int t = 0; t < song.TracksCount(); ++t) {
    if (song.GetTrackChannel(t) != channel) continue;
    d->grid1->SetCol(t + 1);
    break;
  }
  d->host.ShowEditor(1);
}

}  // namespace varnel
