// TVNFrame, pattern view: the pattern grid's texts, column widths and colour groups, the header
// mouse gestures of both grids, cursor centring and the loop marks.
#include <QFontMetrics>
#include <algorithm>

#include "document/song_document.h"
#include "editing/grid_text.h"
#include "editing/track_info.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "song/song.h"

namespace varnel {

QString TVNFrame::Grid1GetText(int col, int row) const {
  return QString::fromStdString(PatternGridText(d->song, col, row, d->options.rowNumberFormat));
}

int TVNFrame::TextWidth(const std::string& text) const {
  return QFontMetrics(d->grid1->font()).horizontalAdvance(QString::fromStdString(text));
}

void TVNFrame::RedrawPattern(int firstTrack, int firstRow, bool rebuildColumns) {
  TVNSong& song = d->song;
  TMyGrid2* grid = d->grid1;
  // The data cells are the song's own texts, which follow its hex flag.
  song.HexNumbers = d->options.HexDisplay();
  firstTrack = std::max(firstTrack, 0);
  firstRow = std::max(firstRow, 0);

  grid->SetRowCount(PatternGridRowCount(song));
  if (rebuildColumns) {
    grid->SetColCount(PatternGridColCount(song));
    const std::vector<int> widths = PatternColumnWidths(song, d->cellWidth, d->options.rowNumberFormat,
                                                        [this](const std::string& s) { return TextWidth(s); });
    grid->SetColWidth(0, widths[0]);
    for (int c = firstTrack + 1; c < int(widths.size()); ++c) grid->SetColWidth(c, widths[size_t(c)]);
  }
  grid->Repaint();

  if (grid->DefaultRowHeight() != d->cellHeight) grid->SetDefaultRowHeight(d->cellHeight);
  const int rows = grid->RowCount(), cols = grid->ColCount();
  for (int r = firstRow; r < rows; ++r) {
    grid->SetRowHeight(r, d->cellHeight);
    for (int c = firstTrack; c < cols; ++c) grid->SetCellText(c, r, Grid1GetText(c, r));
  }
  ShareColsChannels();
  // Tracks may have come or gone under the cursor: the channel in view follows it.
  if (rebuildColumns) ColChanged(d->activeGrid, -1);
}

void TVNFrame::RedrawData(int track, int row) {
  d->song.HexNumbers = d->options.HexDisplay();
  d->grid1->SetCellText(track + 1, row + 1, Grid1GetText(track + 1, row + 1));
}

// Tracks of every second song channel, and every second order column, use the alternate colours.
void TVNFrame::ShareColsChannels() {
  for (int c = 0; c < TMyGrid2::ColumnGroupCount; ++c) {
    d->grid1->SetColumnGroup(c, c == 0 ? 0 : d->song.GetTrackChannel(c - 1));
    d->grid2->SetColumnGroup(c, c);
  }
}

// Right click: on a row number it moves the play position, on a column header it acts as the
// right click on that channel's toggle.
void TVNFrame::Grid1HeaderClick(TMyGrid2* grid, int col, int row) {
  TVNSong& song = d->song;
  const bool order = grid == d->grid2;
  if (col == 0 && row >= 1) {
    if (!order) {
      song.PlayingRow = row - 1;
    } else if (row - 1 == song.PlayingOrder) {
      song.PlayingRow = 0;
    } else {
      song.PlayingOrder = row - 1;
    }
    d->host.UpdatePlayCounter();
    d->host.UpdatePlayRow();
  } else if (row == 0 && col >= 1) {
    d->host.ChannelToggleRightClick(order ? col - 1 : song.GetTrackChannel(col - 1));
  }
}

void TVNFrame::EditTrackProperties(int col, int row) {
  TVNSong& song = d->song;
  if (row != 0 || col <= 0 || col > song.TracksCount()) return;
  const int track = col - 1;
  const int type = song.GetTrackType(track);
  if (!HasTrackPropertiesDialog(type)) {
    song.Report().Message(TrackInfoText(col, type, song.GetTrackChannel(track)));
    return;
  }
  const TrackParamFields fields = SplitTrackParam(type, song.GetTrackParam(track));
  int first = fields.first, second = fields.second;
  if (!d->host.EditCustomTrack(TrackDialogCaption(type, true), fields.secondShown, first, second)) return;
  // Each field is one 7-bit byte of the parameter; whatever the dialog let through stays one.
  first = std::clamp(first, 0, 127);
  second = std::clamp(second, 0, 127);
  {
    EditStep step(d->document, "track properties", StepScope::Values());
    song.SetTrackParam(track, JoinTrackParam(type, first, second));
  }
  RedrawPattern(0, 0, true);
}

// Announced before the cursor moves, so the grid's Row is still the row being left.
void TVNFrame::Grid1SelectCell(int, int) {
  d->entry.Reset();
  if (d->editScrolling) return;
  const EditorOptions& o = d->options;
  if (o.centring == 2 || (o.centring == 1 && (!PlayerRunning() || !o.followNote))) return;
  TMyGrid2* grid = d->grid1;
  const int half = grid->VisibleRowCount() / 2;
  if (grid->Row() > grid->TopRow() + half && grid->TopRow() + grid->VisibleRowCount() < grid->RowCount())
    grid->SetTopRow(grid->Row() - half);
}

// A loop marked or cleared with the middle button becomes the song's loop (grid rows, -1 none).
void TVNFrame::LoopChanged(TMyGrid2* grid) {
  EditStep step(d->document, "loop", StepScope::Values());
  const TGridRect loop = grid->LoopRect().Normalized();
  if (grid == d->grid1) {
    d->song.PatternLoopStart = loop.Top;
    d->song.PatternLoopEnd = loop.Bottom;
  } else {
    d->song.OrderLoopStart = loop.Top;
    d->song.OrderLoopEnd = loop.Bottom;
  }
}

}  // namespace varnel
