// Where NextRow puts the cursor after an entry. Rows are grid rows: grid row 0 is the header,
// grid row r shows pattern row (or order position) r - 1.
//
// The caller keeps the rest of NextRow: in the pattern grid nothing moves unless the player is
// stopped, and with "Chords Upper Keys" on the selection becomes the three cells from the cursor
// column to the cursor column + 2 on the new row.
//
// Threads: UI thread (pure functions without shared state, so safe from any thread).
#pragma once

namespace varnel {

inline constexpr int OrderGridPositions = 256;  // the order grid always shows 256 positions

// Wraps a grid row into 1..rows by whole turns, however far past either end it lies.
constexpr int WrapGridRow(int gridRow, int rows) {
  if (rows <= 0) return 1;
  const int index = (gridRow - 1) % rows;
  return 1 + (index < 0 ? index + rows : index);
}

// Pattern grid: step >= 0 moves by step; step < 0 is the automatic advance, automaticStep being
// GridAdd, or the template's next step (GetNextAdd) when its "Use in editor" box is checked.
// patternRows is the shown pattern's row count (GetLastRow() + 1). A target past the last row
// comes round to the top as often as needed, so it always lands inside the pattern.
constexpr int NextPatternGridRow(int cursorRow, int step, int automaticStep, int patternRows) {
  return WrapGridRow(cursorRow + (step >= 0 ? step : automaticStep), patternRows);
}

// Order grid: step >= 0 moves by step, step < 0 by one position; past position 255 it wraps to 0.
constexpr int NextOrderGridRow(int cursorRow, int step) {
  return WrapGridRow(cursorRow + (step >= 0 ? step : 1), OrderGridPositions);
}

}  // namespace varnel
