// TMyGrid2: painting. Only the cells inside the update region are painted; nothing is cached per
// cell beyond its text. Neighbouring cells of one plain colour are filled together, the lines
// between cells are drawn over them, and the texts last, one glyph run per colour.
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include "editor/my_grid.h"
#include "editor/readable_colors.h"

namespace varnel {

namespace {

// Groups are numbered from 0; -1 (no group) is not odd.
bool IsOddGroup(int group) {
  return group % 2 == 1;
}

bool IsBlank(const QString& text) {
  for (const QChar c : text)
    if (c != QLatin1Char(' ')) return false;
  return true;
}

}  // namespace

void TMyGrid2::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setFont(font());
  const QFontMetrics fm(font());
  const TextMetrics metrics{fm.ascent()};
  const QRegion& region = event->region();
  for (const QRect& area : region) {
    // A cell that reaches into two areas is painted twice: keep each area's text to that area.
    if (region.rectCount() > 1) painter.setClipRect(area);
    PaintArea(painter, area, metrics);
  }
}

const int TMyGrid2::InkPairs[InkCount][2] = {
    {TMyGrid2Colors::FocusedFontColor, TMyGrid2Colors::FocusedColor},
    {TMyGrid2Colors::FixedActiveFontColor, TMyGrid2Colors::FixedActiveColor},
    {TMyGrid2Colors::FixedSelectionFontColor, TMyGrid2Colors::FixedSelectionColor},
    {TMyGrid2Colors::LoopedFixedFontColor, TMyGrid2Colors::LoopedFixedColor},
    {TMyGrid2Colors::FixedFontColor, TMyGrid2Colors::FixedColor},
    {TMyGrid2Colors::SelectionFontColor, TMyGrid2Colors::SelectionColor},
    {TMyGrid2Colors::CellFontColor2, TMyGrid2Colors::CellColor2},
    {TMyGrid2Colors::CellFontColor2, TMyGrid2Colors::CellColor4},
    {TMyGrid2Colors::CellFontColor, TMyGrid2Colors::CellColor},
    {TMyGrid2Colors::CellFontColor, TMyGrid2Colors::CellColor3}};

void TMyGrid2::UpdateInks() {
  for (int i = 0; i < InkCount; ++i) {
    const QColor& font = colors_[InkPairs[i][0]];
    inks_[size_t(i)] = minimumContrast_ > 0 ? Readable(font, colors_[InkPairs[i][1]], minimumContrast_) : font;
  }
}

QColor TMyGrid2::TextColor(int fontSlot, int fillSlot) const {
  for (int i = 0; i < InkCount; ++i)
    if (InkPairs[i][0] == fontSlot && InkPairs[i][1] == fillSlot) return inks_[size_t(i)];
  return fontSlot >= 0 && fontSlot < TMyGrid2Colors::Count ? colors_[fontSlot] : QColor();
}

// The colour rules of one cell: its fill, its text colour, and whether it is fixed (a line of
// FixedGridLineColor at its left and top) or a highlight band (filled one pixel in).
TMyGrid2::CellLook TMyGrid2::LookOf(int col, int row) const {
  using C = TMyGrid2Colors;
  const bool fixed = col < fixedCols_ || row < fixedRows_;
  const bool focused = col == cursor_.Col && row == cursor_.Row && hasFocus();
  // Without the keys a one-cell selection (the cursor alone) is not filled: the cursor shows
  // hollow (PaintCursorMark), so the grid with the keys is the one with a filled cursor.
  const TGridRect& s = selection_;
  const bool lone = s.Left == s.Right && s.Top == s.Bottom;
  const bool selected = s.Contains(col, row) && (hasFocus() || !lone);
  const auto ink = [this](Ink i) { return &inks_[size_t(i)]; };
  if (focused && drawFocused_) return {&colors_[C::FocusedColor], ink(InkFocused), CellLook::Plain};
  if (fixed) {
    if (activeRow_ > 0 && row == activeRow_) return {&colors_[C::FixedActiveColor], ink(InkFixedActive), CellLook::Fixed};
    if (selected) return {&colors_[C::FixedSelectionColor], ink(InkFixedSelected), CellLook::Fixed};
    if (loopRect_.Contains(col, row)) return {&colors_[C::LoopedFixedColor], ink(InkLoopedFixed), CellLook::Fixed};
    return {&colors_[C::FixedColor], ink(InkFixed), CellLook::Fixed};
  }
  if (selected && drawFocused_) return {&colors_[C::SelectionColor], ink(InkSelection), CellLook::Plain};
  const bool odd = IsOddGroup(ColumnGroup(col));
  if (rowHighlight_ > 0 && (row - fixedRows_) % rowHighlight_ == 0)
    return {&colors_[odd ? C::CellColor4 : C::CellColor2], ink(odd ? InkBandOdd : InkBand), CellLook::Band};
  return {&colors_[odd ? C::CellColor3 : C::CellColor], ink(odd ? InkCellOdd : InkCell), CellLook::Plain};
}

// The cursor is never lost: inside a selection (the same fill in some schemes) it gets a frame in
// its text colour, and a grid without the keys still marks it, with a frame in the colour of the
// cell's text around the cell's own fill.
void TMyGrid2::PaintCursorMark(QPainter& painter, const QRect& area) {
  if (!drawFocused_ || cursor_.Col < fixedCols_ || cursor_.Row < fixedRows_) return;
  const QRect cell = CellRect(cursor_.Col, cursor_.Row);
  if (cell.isEmpty() || !cell.intersects(area)) return;
  const bool focused = hasFocus();
  const TGridRect& s = selection_;
  const bool inSelection = s.Contains(cursor_.Col, cursor_.Row) && (s.Left != s.Right || s.Top != s.Bottom);
  if (focused && !inSelection) return;
  const int width = 2;
  const QColor color = *LookOf(cursor_.Col, cursor_.Row).Font;
  const QRect frame = cell.adjusted(0, 0, -1, -1);
  painter.save();
  painter.setClipRect(area & cell);
  for (int i = 0; i < width; ++i) {
    painter.setPen(color);
    painter.drawRect(frame.adjusted(i, i, -i, -i));
  }
  painter.restore();
}

void TMyGrid2::PaintArea(QPainter& painter, const QRect& area, const TextMetrics& metrics) {
  const Axis& cols = ColAxis();
  const Axis& rows = RowAxis();
  const QRect grid(0, 0, cols.End, rows.End);
  const QRect inside = area & grid;
  if (inside != area) {
    for (const QRect& r : QRegion(area).subtracted(grid)) painter.fillRect(r, backgroundColor_);
  }
  if (inside.isEmpty()) return;

  for (const Span& r : rows.Spans) {
    if (r.Pos > inside.bottom()) break;
    if (r.Pos + r.Size <= inside.top() || r.Size <= 0) continue;
    // A run of plain cells of one colour, filled at once (over the lines between them).
    const QColor* runColor = nullptr;
    int runLeft = 0, runRight = 0;
    auto endRun = [&] {
      if (runColor) painter.fillRect(QRect(runLeft, r.Pos, runRight - runLeft, r.Size), *runColor);
      runColor = nullptr;
    };
    for (const Span& c : cols.Spans) {
      if (c.Pos > inside.right()) break;
      if (c.Pos + c.Size <= inside.left() || c.Size <= 0) continue;
      const CellLook look = LookOf(c.Index, r.Index);
      QRect rect(c.Pos, r.Pos, c.Size, r.Size);
      if (look.Kind == CellLook::Plain) {
        if (runColor && *runColor == *look.Back) {
          runRight = c.Pos + c.Size;
        } else {
          endRun();
          runColor = look.Back;
          runLeft = c.Pos;
          runRight = c.Pos + c.Size;
        }
      } else {
        endRun();
        if (look.Kind == CellLook::Fixed) {
          painter.fillRect(rect, colors_[TMyGrid2Colors::FixedGridLineColor]);
          rect.adjust(1, 1, 0, 0);  // the text moves with the rectangle
          painter.fillRect(rect, *look.Back);
        } else {
          painter.fillRect(rect, backgroundColor_);
          painter.fillRect(rect.adjusted(1, 1, 0, 0), *look.Back);
        }
      }
      const QString& text = texts_[static_cast<size_t>(r.Index) * colCount_ + c.Index];
      if (!IsBlank(text)) QueueCellText(text, rect, *look.Font, metrics);
    }
    endRun();
  }
  // Lines between all cells, fixed or not.
  if (gridLineWidth_ > 0) {
    for (const Span& c : cols.Spans)
      painter.fillRect(QRect(c.Pos + c.Size, inside.top(), gridLineWidth_, inside.height()) & inside, gridLineColor_);
    for (const Span& r : rows.Spans)
      painter.fillRect(QRect(inside.left(), r.Pos + r.Size, inside.width(), gridLineWidth_) & inside, gridLineColor_);
  }
  PaintCursorMark(painter, inside);
  FlushText(painter);
}

}  // namespace varnel
