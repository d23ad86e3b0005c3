// TMyGrid2: construction, properties, texts, cursor and selection, colours, loop marks.
#include "editor/my_grid.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <climits>

namespace varnel {

namespace {

QFont DefaultGridFont() {
  QFont font;
  if (QFontDatabase::families().contains(QStringLiteral("Courier New")))
    font = QFont(QStringLiteral("Courier New"));
  else
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(10);
  return font;
}

}  // namespace

bool TGridRect::Contains(int col, int row) const {
  return col >= Left && col <= Right && row >= Top && row <= Bottom;
}

TGridRect TGridRect::Normalized() const {
  return {std::min(Left, Right), std::min(Top, Bottom), std::max(Left, Right), std::max(Top, Bottom)};
}

TMyGrid2::TMyGrid2(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the grid's own bars replace these
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted by paintEvent
  viewport()->setAutoFillBackground(false);
  setFont(DefaultGridFont());

  colors_ = TMyGrid2Colors::Initial(palette());
  UpdateInks();
  gridLineColor_ = QColor(0xC0, 0xC0, 0xC0);
  backgroundColor_ = palette().color(QPalette::Active, QPalette::Base);
  columnGroup_.fill(-1);
  colWidths_.assign(static_cast<size_t>(colCount_), defaultColWidth_);
  rowHeights_.assign(static_cast<size_t>(rowCount_), defaultRowHeight_);
  texts_.resize(static_cast<size_t>(colCount_) * static_cast<size_t>(rowCount_));

  hbar_ = new QScrollBar(Qt::Horizontal, this);
  vbar_ = new QScrollBar(Qt::Vertical, this);
  corner_ = new QToolButton(this);
  corner_->setAutoRaise(true);  // flat, with no action of its own
  corner_->setFocusPolicy(Qt::NoFocus);
  corner_->hide();
  for (QScrollBar* bar : {hbar_, vbar_}) {
    bar->setFocusPolicy(Qt::NoFocus);
    bar->setSingleStep(1);
    bar->hide();
    connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar](int action) { PageStep(bar, action); });
  }
  connect(hbar_, &QAbstractSlider::valueChanged, this, [this](int col) { SetLeftCol(col); });
  connect(vbar_, &QAbstractSlider::valueChanged, this, [this](int row) { SetTopRow(row); });

  autoScroll_ = new QTimer(this);
  autoScroll_->setInterval(60);
  connect(autoScroll_, &QTimer::timeout, this, [this] { AutoScrollStep(); });
  UpdateScrollBars();
}

TMyGrid2::~TMyGrid2() = default;

// ---- Size ----

void TMyGrid2::SetColCount(int count) {
  count = std::clamp(count, 1, MaxCount);
  if (count == colCount_) return;
  std::vector<QString> texts(static_cast<size_t>(count) * static_cast<size_t>(rowCount_));
  const int keep = std::min(count, colCount_);
  for (int r = 0; r < rowCount_; ++r)
    for (int c = 0; c < keep; ++c)
      texts[static_cast<size_t>(r) * count + c] = std::move(texts_[static_cast<size_t>(r) * colCount_ + c]);
  texts_.swap(texts);
  colWidths_.resize(static_cast<size_t>(count), defaultColWidth_);
  colCount_ = count;
  fixedCols_ = std::min(fixedCols_, count - 1);
  ClampState();
  Relayout();
  KeepCursorShown();
}

void TMyGrid2::SetRowCount(int count) {
  count = std::clamp(count, 1, MaxCount);
  if (count == rowCount_) return;
  texts_.resize(static_cast<size_t>(count) * static_cast<size_t>(colCount_));
  rowHeights_.resize(static_cast<size_t>(count), defaultRowHeight_);
  rowCount_ = count;
  fixedRows_ = std::min(fixedRows_, count - 1);
  ClampState();
  Relayout();
  KeepCursorShown();
}

void TMyGrid2::SetFixedCols(int count) {
  count = std::clamp(count, 0, colCount_ - 1);
  if (count == fixedCols_) return;
  fixedCols_ = count;
  ClampState();
  Relayout();
}

void TMyGrid2::SetFixedRows(int count) {
  count = std::clamp(count, 0, rowCount_ - 1);
  if (count == fixedRows_) return;
  fixedRows_ = count;
  ClampState();
  Relayout();
}

void TMyGrid2::SetDefaultColWidth(int width) {
  defaultColWidth_ = std::clamp(width, 0, 10000);
  colWidths_.assign(colWidths_.size(), defaultColWidth_);
  Relayout();
}

void TMyGrid2::SetDefaultRowHeight(int height) {
  defaultRowHeight_ = std::clamp(height, 0, 10000);
  rowHeights_.assign(rowHeights_.size(), defaultRowHeight_);
  Relayout();
}

void TMyGrid2::SetGridLineWidth(int width) {
  width = std::clamp(width, 0, 100);
  if (width == gridLineWidth_) return;
  gridLineWidth_ = width;
  Relayout();
}

int TMyGrid2::ColWidth(int col) const {
  return col >= 0 && col < colCount_ ? colWidths_[static_cast<size_t>(col)] : 0;
}

void TMyGrid2::SetColWidth(int col, int width) {
  if (col < 0 || col >= colCount_) return;
  width = std::clamp(width, 0, 10000);
  if (colWidths_[static_cast<size_t>(col)] == width) return;
  colWidths_[static_cast<size_t>(col)] = width;
  Relayout();
}

int TMyGrid2::RowHeight(int row) const {
  return row >= 0 && row < rowCount_ ? rowHeights_[static_cast<size_t>(row)] : 0;
}

void TMyGrid2::SetRowHeight(int row, int height) {
  if (row < 0 || row >= rowCount_) return;
  height = std::clamp(height, 0, 10000);
  if (rowHeights_[static_cast<size_t>(row)] == height) return;
  rowHeights_[static_cast<size_t>(row)] = height;
  Relayout();
}

void TMyGrid2::Relayout() {
  layoutValid_ = false;
  UpdateScrollBars();
  viewport()->update();
}

// Keeps the cursor in the data area and everything else inside the grid after a size change.
void TMyGrid2::ClampState() {
  auto clampCoord = [](GridCoord c, int minCol, int minRow, int cols, int rows) {
    return GridCoord{std::clamp(c.Col, minCol, cols - 1), std::clamp(c.Row, minRow, rows - 1)};
  };
  cursor_ = clampCoord(cursor_, fixedCols_, fixedRows_, colCount_, rowCount_);
  anchor_ = clampCoord(anchor_, 0, 0, colCount_, rowCount_);
  const GridCoord a = clampCoord({selection_.Left, selection_.Top}, 0, 0, colCount_, rowCount_);
  const GridCoord b = clampCoord({selection_.Right, selection_.Bottom}, 0, 0, colCount_, rowCount_);
  selection_ = {a.Col, a.Row, b.Col, b.Row};
  topRow_ = std::clamp(topRow_, fixedRows_, rowCount_ - 1);
  leftCol_ = std::clamp(leftCol_, fixedCols_, colCount_ - 1);
}

// ---- Cursor and selection ----

void TMyGrid2::SetCol(int col) {
  col = std::clamp(col, fixedCols_, colCount_ - 1);
  if (col != cursor_.Col) MoveCursor(col, cursor_.Row, true, true);
}

void TMyGrid2::SetRow(int row) {
  row = std::clamp(row, fixedRows_, rowCount_ - 1);
  if (row != cursor_.Row) MoveCursor(cursor_.Col, row, true, true);
}

// The one way the cursor moves: announce the target, then move, then show it.
void TMyGrid2::MoveCursor(int col, int row, bool collapse, bool show) {
  emit selectCell(this, col, row);
  if (col != lastCol_) {
    lastCol_ = col;
    emit colChanged(this, col);
  }
  // A handler may have resized the grid.
  col = std::clamp(col, fixedCols_, colCount_ - 1);
  row = std::clamp(row, fixedRows_, rowCount_ - 1);
  InvalidateRange({cursor_.Col, cursor_.Row, cursor_.Col, cursor_.Row});
  cursor_ = {col, row};
  if (collapse) anchor_ = cursor_;
  if (show) ScrollIntoView(col, row);
  ChangeSelection(TGridRect{cursor_.Col, cursor_.Row, anchor_.Col, anchor_.Row}.Normalized());
  InvalidateRange({col, row, col, row});
}

void TMyGrid2::SetSelection(const TGridRect& rect) {
  auto clampCol = [this](int c) { return std::clamp(c, 0, colCount_ - 1); };
  auto clampRow = [this](int r) { return std::clamp(r, 0, rowCount_ - 1); };
  const TGridRect r{clampCol(rect.Left), clampRow(rect.Top), clampCol(rect.Right), clampRow(rect.Bottom)};
  anchor_ = {r.Left, r.Top};
  ChangeSelection(r.Normalized());
}

void TMyGrid2::ExtendSelection(GridCoord farEnd) {
  anchor_ = farEnd;
  ChangeSelection(TGridRect{cursor_.Col, cursor_.Row, anchor_.Col, anchor_.Row}.Normalized());
}

void TMyGrid2::ChangeSelection(const TGridRect& rect) {
  if (rect == selection_) return;
  InvalidateRange(selection_);
  selection_ = rect;
  InvalidateRange(selection_);
}

// ---- Texts ----

const QString& TMyGrid2::CellText(int col, int row) const {
  static const QString empty;
  if (col < 0 || col >= colCount_ || row < 0 || row >= rowCount_) return empty;
  return texts_[static_cast<size_t>(row) * colCount_ + col];
}

void TMyGrid2::SetCellText(int col, int row, const QString& text) {
  if (col < 0 || col >= colCount_ || row < 0 || row >= rowCount_) return;
  QString& stored = texts_[static_cast<size_t>(row) * colCount_ + col];
  if (stored == text) return;
  stored = text;
  const QRect rect = CellRect(col, row);
  if (!rect.isEmpty()) MarkDirty(rect);
}

// Many texts set in a row (a whole pattern) become one repaint of their bounding rectangle.
void TMyGrid2::MarkDirty(const QRect& rect) {
  if (pendingDirty_.isNull()) {
    QMetaObject::invokeMethod(
        this,
        [this] {
          const QRect dirty = pendingDirty_;
          pendingDirty_ = QRect();
          viewport()->update(dirty);
        },
        Qt::QueuedConnection);
  }
  pendingDirty_ |= rect;
}

// ---- Looks ----

void TMyGrid2::SetColors(const TMyGrid2Colors& colors) {
  if (colors == colors_) return;
  colors_ = colors;
  UpdateInks();
  Repaint();
}

void TMyGrid2::SetColor(int slot, const QColor& color) {
  if (slot < 0 || slot >= TMyGrid2Colors::Count || colors_[slot] == color) return;
  colors_[slot] = color;
  UpdateInks();
  Repaint();
}

void TMyGrid2::SetMinimumContrast(double ratio) {
  ratio = std::max(ratio, 0.0);
  if (ratio == minimumContrast_) return;
  minimumContrast_ = ratio;
  UpdateInks();
  Repaint();
}

void TMyGrid2::SetGridLineColor(const QColor& color) {
  if (color == gridLineColor_) return;
  gridLineColor_ = color;
  Repaint();
}

void TMyGrid2::SetBackgroundColor(const QColor& color) {
  if (color == backgroundColor_) return;
  backgroundColor_ = color;
  Repaint();
}

void TMyGrid2::SetActiveRow(int row) {
  if (row == activeRow_) return;
  const int old = activeRow_;
  activeRow_ = row;
  InvalidateHeaderCells(old);
  InvalidateHeaderCells(row);
}

// The play position moves up to hundreds of times a second: repaint just the header cells.
void TMyGrid2::InvalidateHeaderCells(int row) {
  if (row <= 0 || row >= rowCount_ || fixedCols_ == 0) return;
  const QRect rect = CellRect(0, row) | CellRect(fixedCols_ - 1, row);
  if (!rect.isEmpty()) viewport()->update(rect);
}

void TMyGrid2::SetRowHighlight(int rows) {
  if (rows == rowHighlight_) return;
  rowHighlight_ = rows;
  Repaint();
}

void TMyGrid2::SetDrawFocused(bool on) {
  if (on == drawFocused_) return;
  drawFocused_ = on;
  Repaint();
}

int TMyGrid2::ColumnGroup(int col) const {
  return col >= 0 && col < ColumnGroupCount ? columnGroup_[static_cast<size_t>(col)] : -1;
}

void TMyGrid2::SetColumnGroup(int col, int group) {
  if (col < 0 || col >= ColumnGroupCount || columnGroup_[static_cast<size_t>(col)] == group) return;
  columnGroup_[static_cast<size_t>(col)] = group;
  InvalidateRange({col, 0, col, rowCount_ - 1});
}

void TMyGrid2::SetLoopRect(const TGridRect& rect) {
  if (rect == loopRect_) return;
  InvalidateRange(loopRect_);
  loopRect_ = rect;
  InvalidateRange(loopRect_);
}

void TMyGrid2::Repaint() {
  viewport()->update();
}

// Repaints the shown part of a range of cells.
void TMyGrid2::InvalidateRange(const TGridRect& rect) {
  const TGridRect r = rect.Normalized();
  if (r.Right < 0 || r.Bottom < 0 || r.Left >= colCount_ || r.Top >= rowCount_) return;
  int x0 = INT_MAX, x1 = -1, y0 = INT_MAX, y1 = -1;
  for (const Span& s : ColAxis().Spans) {
    if (s.Index < r.Left || s.Index > r.Right) continue;
    x0 = std::min(x0, s.Pos);
    x1 = std::max(x1, s.Pos + s.Size);
  }
  for (const Span& s : RowAxis().Spans) {
    if (s.Index < r.Top || s.Index > r.Bottom) continue;
    y0 = std::min(y0, s.Pos);
    y1 = std::max(y1, s.Pos + s.Size);
  }
  if (x1 > x0 && y1 > y0) viewport()->update(QRect(x0, y0, x1 - x0, y1 - y0));
}

}  // namespace varnel
