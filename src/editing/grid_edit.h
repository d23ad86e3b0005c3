// The range commands of both editor grids (cut, copy, paste, clear, transpose on the selection,
// the cursor's track, the cursor's channel or everything), the editor's own clipboard and the two
// column rotations on Alt+Insert and Alt+Backspace. What they change goes into the edit history
// through the caller (document/), which opens a step around each command.
//
// Ranges are in song coordinates: columns are tracks (pattern grid) or song channels (order
// grid), rows are pattern rows or order positions. Cells go through the song's view-aware access
// (GetCellData/SetCellData, GetOrder/SetOrder). Questions, messages and status texts go through
// the song's Reporter; redraws through a GridEditView.
//
// Threads: UI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "editing/editor_key_map.h"

namespace varnel {

class TVNSong;

// EditGrid's action bits.
enum EditAction : int {
  EditCopy = 1,
  EditPaste = 2,
  EditClear = 4,
  EditTranspose = 8,
  EditCut = EditCopy | EditClear,
};

// EditGrid's scopes.
enum EditScope : int {
  ScopeSelection = 0,
  ScopeTrack = 1,    // the cursor's column
  ScopeChannel = 2,  // the tracks of the cursor track's channel; in the order grid the cursor's column
  ScopeAll = 3,      // the whole pattern or the whole order table
};

// The clipboard column kind of an order clipboard.
inline constexpr uint8_t OrderColumnKind = 255;

// The cursor and selection of a grid, in grid coordinates (row 0 and column 0 are the headers).
struct GridPlace {
  EditorGrid grid = EditorGrid::Pattern;
  int cursorCol = 1, cursorRow = 1;
  int selLeft = 1, selTop = 1, selRight = 1, selBottom = 1;  // normalised: left <= right, top <= bottom
};

// Both ends included.
struct EditRange {
  int firstCol = 0, firstRow = 0, lastCol = -1, lastRow = -1;
  int Width() const { return lastCol - firstCol + 1; }
  int Height() const { return lastRow - firstRow + 1; }
  bool Empty() const { return Width() <= 0 || Height() <= 0; }
  bool operator==(const EditRange&) const = default;
};

struct EditClipboard {
  bool ClipFilled = false;  // never cleared once set
  EditorGrid ClipKind = EditorGrid::Pattern;
  EditRange ClipRect;
  std::vector<uint8_t> ClipColumnKinds;  // the track type per column, or OrderColumnKind
  std::vector<int32_t> ClipCells;        // row by row; a pattern clipboard keeps bytes
  int Cell(int col, int row) const { return ClipCells[size_t(row) * size_t(ClipRect.Width()) + size_t(col)]; }
};

// The value a transposition by `amount` gives a cell below 128: value + amount on value tracks
// or with simple transposition; on note tracks otherwise one step along the song's scale (two
// semitones where one would leave it), and -1 for a note that is not in the scale. Results outside
// 0..127 are erased notes.
int TransposedValue(int value, int amount, bool noteTrack, bool simple, int keyTone, int keyType);

// What the grid edit asks of the editor around it.
class GridEditView {
 public:
  virtual ~GridEditView() = default;
  // A cell of the grid changed (song coordinates).
  virtual void RedrawCell(EditorGrid grid, int col, int row) = 0;
};

class GridEdit {
 public:
  GridEdit(TVNSong& song, GridEditView& view) : song_(song), view_(view) {}

  // The range command on the grid of `place`. Simple transposition moves by semitones; it is on
  // when the "Transpose simple" option is checked or |amount| > 1.
  void EditGrid(int action, int scope, int amount, const GridPlace& place, bool transposeSimple);

  // The range a scope covers, clipped to the song (empty when there is nothing).
  EditRange RangeOf(int scope, const GridPlace& place) const;

  // Alt+Insert and Alt+Backspace: rotate the cursor's column down or up by one row (through the
  // clipboard). The grid row the cursor moves to, or -1 when the cursor
  // was on the last (down) or first (up) row and nothing happened.
  int EditScrollDown(const GridPlace& place);
  int EditScrollUp(const GridPlace& place);

  const EditClipboard& Clipboard() const { return clip_; }

 private:
  // grid_edit.cpp
  int Columns(EditorGrid grid) const;
  int Rows(EditorGrid grid) const;
  int Read(EditorGrid grid, int col, int row) const;
  void Write(EditorGrid grid, int col, int row, int value);
  bool Transpose(EditorGrid grid, int scope, int amount, const EditRange& range, bool simple);
  void Copy(EditorGrid grid, const EditRange& range);
  void Clear(EditorGrid grid, const EditRange& range);
  bool Paste(EditorGrid grid, const EditRange& range);
  bool RangeCommand(int action, int scope, int amount, EditorGrid grid, const EditRange& range, bool simple);
  // grid_edit_rotate.cpp
  int Rotate(const GridPlace& place, bool down);

  TVNSong& song_;
  GridEditView& view_;
  EditClipboard clip_;
};

}  // namespace varnel
