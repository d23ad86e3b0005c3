// EditGrid: the scopes, transposition, copy, clear and paste on both grids.
#include "editing/grid_edit.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "editing/chords.h"
#include "song/song.h"

namespace varnel {

namespace {

struct CellChange {
  int col, row, value;
};

}  // namespace

int TransposedValue(int value, int amount, bool noteTrack, bool simple, int keyTone, int keyType) {
  if (!noteTrack || simple) return value + amount;
  const int s = ((value - keyTone) % 12 + 12) % 12;
  if (!InScale(s, keyType)) return -1;
  int t = s + amount;
  if (t < 0) t += 12;
  return InScale(t, keyType) ? value + amount : value + 2 * amount;
}

int GridEdit::Columns(EditorGrid grid) const {
  return grid == EditorGrid::Order ? song_.ChannelsCount() : song_.TracksCount();
}

int GridEdit::Rows(EditorGrid grid) const { return grid == EditorGrid::Order ? 256 : song_.GetLastRow() + 1; }

int GridEdit::Read(EditorGrid grid, int col, int row) const {
  return grid == EditorGrid::Order ? song_.GetOrder(col, row) : song_.GetCellData(col, row);
}

void GridEdit::Write(EditorGrid grid, int col, int row, int value) {
  if (grid == EditorGrid::Order) {
    // An unchanged entry is left alone: writing it would only lengthen and shorten the lists.
    if (song_.GetOrder(col, row) != value) song_.SetOrder(col, row, value);
  } else {
    song_.SetCellData(col, row, value);
  }
  view_.RedrawCell(grid, col, row);
}

EditRange GridEdit::RangeOf(int scope, const GridPlace& place) const {
  const EditorGrid grid = place.grid;
  const int cols = Columns(grid), rows = Rows(grid);
  const int cursor = place.cursorCol - 1;
  const bool cursorOk = cursor >= 0 && cursor < cols;
  EditRange r;
  switch (scope) {
    case ScopeSelection:
      // A selection made on the row numbers covers every track.
      r = {std::max(place.selLeft - 1, 0), std::max(place.selTop - 1, 0), place.selRight - 1, place.selBottom - 1};
      break;
    case ScopeTrack:
      if (cursorOk) r = {cursor, 0, cursor, rows - 1};
      break;
    case ScopeChannel:
      if (!cursorOk) break;
      if (grid == EditorGrid::Order) {
        r = {cursor, 0, cursor, rows - 1};
      } else {
        int first = 0, end = 0;
        song_.ChannelTracks(song_.GetTrackChannel(cursor), first, end);
        r = {first, 0, end - 1, rows - 1};
      }
      break;
    case ScopeAll:
      r = {0, 0, cols - 1, rows - 1};
      break;
    default:
      break;
  }
  r.lastCol = std::min(r.lastCol, cols - 1);
  r.lastRow = std::min(r.lastRow, rows - 1);
  return r;
}

void GridEdit::EditGrid(int action, int scope, int amount, const GridPlace& place, bool transposeSimple) {
  const bool simple = transposeSimple || std::abs(amount) > 1;
  const EditRange range = RangeOf(scope, place);
  if (range.Empty()) return;
  if (RangeCommand(action, scope, amount, place.grid, range, simple)) song_.Modified = true;
}

// False when the command ended early.
bool GridEdit::RangeCommand(int action, int scope, int amount, EditorGrid grid, const EditRange& range, bool simple) {
  if ((action & EditTranspose) && !Transpose(grid, scope, amount, range, simple)) return false;
  if (action & EditCopy) Copy(grid, range);
  if (action & EditClear) Clear(grid, range);
  if ((action & EditPaste) && !Paste(grid, range)) return false;
  return true;
}

bool GridEdit::Transpose(EditorGrid grid, int scope, int amount, const EditRange& range, bool simple) {
  const bool order = grid == EditorGrid::Order;
  const int limit = order ? 255 : 127;
  if (!order)
    for (int c = range.firstCol; c <= range.lastCol; ++c)
      if (song_.GetTrackType(c) == ttTempo) return false;

  std::vector<CellChange> changes;
  int erased = 0;
  const int keyTone = song_.KeyTone, keyType = song_.KeyType;
  for (int c = range.firstCol; c <= range.lastCol; ++c) {
    const bool noteTrack = !order && song_.GetTrackType(c) == ttNote;
    // The wider scopes move notes only; track and selection move values too.
    if (!order && !noteTrack && scope > ScopeTrack) continue;
    for (int r = range.firstRow; r <= range.lastRow; ++r) {
      const int v = Read(grid, c, r);
      if (v < 0 || v > limit) continue;
      const int nv = order ? v + amount : TransposedValue(v, amount, noteTrack, simple, keyTone, keyType);
      if (nv < 0 || nv > limit) ++erased;
      changes.push_back({c, r, nv});
    }
  }
  if (erased > 0 && !song_.Report().Question(std::to_string(erased) + " note(s) will be erased! Proceed?"))
    return false;
  const int empty = order ? OrderEmpty : CellEmpty;
  for (const CellChange& ch : changes) Write(grid, ch.col, ch.row, ch.value < 0 || ch.value > limit ? empty : ch.value);
  return true;
}

void GridEdit::Copy(EditorGrid grid, const EditRange& range) {
  const bool order = grid == EditorGrid::Order;
  clip_.ClipFilled = true;
  clip_.ClipKind = grid;
  clip_.ClipRect = range;
  clip_.ClipColumnKinds.clear();
  for (int c = range.firstCol; c <= range.lastCol; ++c)
    clip_.ClipColumnKinds.push_back(order ? OrderColumnKind : uint8_t(song_.GetTrackType(c)));
  clip_.ClipCells.clear();
  clip_.ClipCells.reserve(size_t(range.Width()) * size_t(range.Height()));
  for (int r = range.firstRow; r <= range.lastRow; ++r)
    for (int c = range.firstCol; c <= range.lastCol; ++c) {
      const int v = Read(grid, c, r);
      clip_.ClipCells.push_back(order ? v : int32_t(uint8_t(v)));
    }
}

void GridEdit::Clear(EditorGrid grid, const EditRange& range) {
  for (int c = range.firstCol; c <= range.lastCol; ++c) {
    const int empty = grid == EditorGrid::Order ? OrderEmpty : song_.GetTrackType(c) == ttTempo ? 0 : CellEmpty;
    for (int r = range.firstRow; r <= range.lastRow; ++r) Write(grid, c, r, empty);
  }
}

// A one-cell range takes the whole clipboard from there; a larger range is filled by repeating
// it. Columns and rows past the end come round to the first.
bool GridEdit::Paste(EditorGrid grid, const EditRange& range) {
  if (!clip_.ClipFilled) return false;
  if (clip_.ClipKind != grid) {
    song_.Report().Message("Invalid range type");
    return false;
  }
  const int cw = clip_.ClipRect.Width(), ch = clip_.ClipRect.Height();
  if (cw <= 0 || ch <= 0) return false;
  EditRange block = range;
  if (range.Width() == 1 && range.Height() == 1) {
    block.lastCol = block.firstCol + cw - 1;
    block.lastRow = block.firstRow + ch - 1;
  }
  const bool order = grid == EditorGrid::Order;
  const int cols = Columns(grid), rows = Rows(grid);
  if (!order) {
    for (int i = 0; i < block.Width(); ++i) {
      if (song_.GetTrackType((block.firstCol + i) % cols) == clip_.ClipColumnKinds[size_t(i % cw)]) continue;
      song_.Report().Status("Warning: Range type mismatch", 0);
      break;
    }
  }
  for (int i = 0; i < block.Width(); ++i) {
    const int col = (block.firstCol + i) % cols;
    const int type = order ? -1 : song_.GetTrackType(col);
    for (int j = 0; j < block.Height(); ++j) {
      int v = clip_.Cell(i % cw, j % ch);
      if (!order) {
        if (v >= 130 && type != ttTempo)
          v = CellEmpty;
        else if (v == CellNoteOff && type != ttNote && type != ttTempo)
          v = 127;
      }
      Write(grid, col, (block.firstRow + j) % rows, v);
    }
  }
  return true;
}

}  // namespace varnel
