#include "editor/my_grid_colors.h"

#include <QPalette>

namespace varnel {

TMyGrid2Colors TMyGrid2Colors::Initial(const QPalette& palette) {
  const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
  const QColor highlightText = palette.color(QPalette::Active, QPalette::HighlightedText);
  const QColor window = palette.color(QPalette::Active, QPalette::Base);
  const QColor windowText = palette.color(QPalette::Active, QPalette::Text);
  const QColor buttonFace = palette.color(QPalette::Active, QPalette::Button);

  TMyGrid2Colors c;
  c[FocusedColor] = highlight;
  c[FocusedFontColor] = highlightText;
  c[SelectionColor] = highlight;
  c[SelectionFontColor] = highlightText;
  c[FixedGridLineColor] = window;
  c[FixedSelectionColor] = QColor(0xE9, 0xE9, 0xE9);
  c[FixedSelectionFontColor] = QColor(Qt::black);
  c[FixedColor] = buttonFace;
  c[FixedFontColor] = windowText;
  c[CellColor] = window;
  c[CellFontColor] = QColor(0x30, 0x40, 0x80);
  c[CellColor2] = QColor(0xF5, 0xF5, 0xF1);
  c[CellFontColor2] = QColor(0x00, 0x00, 0x80);
  c[FixedActiveColor] = highlight;
  c[FixedActiveFontColor] = highlightText;
  c[LoopedCellColor] = buttonFace;
  c[LoopedCellFontColor] = windowText;
  c[LoopedFixedColor] = QColor(0xFF, 0x00, 0x00);
  c[LoopedFixedFontColor] = QColor(0xFF, 0x00, 0x00);
  c[CellColor3] = QColor(0xF5, 0xF5, 0xF5);
  c[CellColor4] = QColor(0xF0, 0xF0, 0xE6);
  return c;
}

}  // namespace varnel
