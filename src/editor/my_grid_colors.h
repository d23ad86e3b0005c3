// The colour table of TMyGrid2: 21 slots addressed by index, in the order the colour schemes list
// them. The initial values follow the platform palette for the "system" colours.
#pragma once

#include <QColor>
#include <array>

class QPalette;

namespace varnel {

struct TMyGrid2Colors {
  enum Slot : int {
    FocusedColor,
    FocusedFontColor,
    SelectionColor,
    SelectionFontColor,
    FixedGridLineColor,
    FixedSelectionColor,
    FixedSelectionFontColor,
    FixedColor,
    FixedFontColor,
    CellColor,
    CellFontColor,
    CellColor2,
    CellFontColor2,
    FixedActiveColor,
    FixedActiveFontColor,
    LoopedCellColor,  // part of the table; no cell is painted with it
    LoopedCellFontColor,
    LoopedFixedColor,
    LoopedFixedFontColor,
    CellColor3,
    CellColor4,
    Count
  };

  // The initial table: highlight, highlight text, window background, window text and button face
  // are taken from the palette.
  static TMyGrid2Colors Initial(const QPalette& palette);

  QColor& operator[](int slot) { return Slots[static_cast<size_t>(slot)]; }
  const QColor& operator[](int slot) const { return Slots[static_cast<size_t>(slot)]; }
  bool operator==(const TMyGrid2Colors&) const = default;

  std::array<QColor, Count> Slots;
};

}  // namespace varnel
