// TMyGrid2: where the cells are, what is shown, scrolling and the grid's own scroll bars.
#include <QEvent>
#include <QScrollBar>
#include <QToolButton>
#include <algorithm>

#include "editor/my_grid.h"

namespace varnel {

// The cell area for a given choice of bars.
QSize TMyGrid2::AreaSize(bool hbar, bool vbar) const {
  const QRect r = contentsRect();
  return {std::max(0, r.width() - (vbar ? ScrollBarSize : 0)), std::max(0, r.height() - (hbar ? ScrollBarSize : 0))};
}

// How many cells from `first` on fit whole (with their grid line) after the fixed ones; at least
// one while there is any, so that paging always moves.
int TMyGrid2::CountFitting(const std::vector<int>& sizes, int fixed, int first, int extent) const {
  const int count = static_cast<int>(sizes.size());
  if (first >= count) return 0;
  int pos = 0;
  for (int i = 0; i < fixed; ++i) pos += sizes[static_cast<size_t>(i)] + gridLineWidth_;
  int n = 0;
  for (int i = first; i < count; ++i) {
    pos += sizes[static_cast<size_t>(i)] + gridLineWidth_;
    if (pos > extent) break;
    ++n;
  }
  return std::max(n, 1);
}

int TMyGrid2::VisibleColCount() const {
  return CountFitting(colWidths_, fixedCols_, leftCol_, AreaSize(hbarShown_, vbarShown_).width());
}

int TMyGrid2::VisibleRowCount() const {
  return CountFitting(rowHeights_, fixedRows_, topRow_, AreaSize(hbarShown_, vbarShown_).height());
}

// The first cell to show so that `last` is the last one that fits whole.
int TMyGrid2::FirstToShow(const std::vector<int>& sizes, int fixed, int last, int extent) const {
  if (last < fixed) return fixed;
  int avail = extent;
  for (int i = 0; i < fixed; ++i) avail -= sizes[static_cast<size_t>(i)] + gridLineWidth_;
  int first = last;
  int used = sizes[static_cast<size_t>(last)] + gridLineWidth_;
  while (first - 1 >= fixed && used + sizes[static_cast<size_t>(first - 1)] + gridLineWidth_ <= avail) {
    --first;
    used += sizes[static_cast<size_t>(first)] + gridLineWidth_;
  }
  return first;
}

int TMyGrid2::MaxTopRow() const {
  return FirstToShow(rowHeights_, fixedRows_, rowCount_ - 1, AreaSize(hbarShown_, vbarShown_).height());
}

int TMyGrid2::MaxLeftCol() const {
  return FirstToShow(colWidths_, fixedCols_, colCount_ - 1, AreaSize(hbarShown_, vbarShown_).width());
}

void TMyGrid2::SetTopRow(int row) {
  row = std::clamp(row, fixedRows_, std::max(fixedRows_, rowCount_ - 1));
  if (row == topRow_) return;
  topRow_ = row;
  Relayout();
}

void TMyGrid2::SetLeftCol(int col) {
  col = std::clamp(col, fixedCols_, std::max(fixedCols_, colCount_ - 1));
  if (col == leftCol_) return;
  leftCol_ = col;
  Relayout();
}

// Scrolls as little as needed to show the cell whole.
void TMyGrid2::ScrollIntoView(int col, int row) {
  const QSize area = AreaSize(hbarShown_, vbarShown_);
  if (row >= fixedRows_) {
    if (row < topRow_)
      SetTopRow(row);
    else if (row >= topRow_ + VisibleRowCount())
      SetTopRow(FirstToShow(rowHeights_, fixedRows_, row, area.height()));
  }
  if (col >= fixedCols_) {
    if (col < leftCol_)
      SetLeftCol(col);
    else if (col >= leftCol_ + VisibleColCount())
      SetLeftCol(FirstToShow(colWidths_, fixedCols_, col, AreaSize(hbarShown_, vbarShown_).width()));
  }
}

// Each bar is shown only while cells are hidden in its direction; showing one narrows the other
// direction, so settle the pair before applying it.
void TMyGrid2::UpdateScrollBars() {
  if (updatingBars_) return;
  updatingBars_ = true;
  bool h = false, v = false;
  int cols = 0, rows = 0;
  for (int pass = 0; pass < 3; ++pass) {
    const QSize area = AreaSize(h, v);
    cols = CountFitting(colWidths_, fixedCols_, leftCol_, area.width());
    rows = CountFitting(rowHeights_, fixedRows_, topRow_, area.height());
    const bool needH = h || (colCount_ >= 3 && cols < colCount_ - 1);
    const bool needV = v || (rowCount_ >= 3 && rows < rowCount_ - 1);
    if (needH == h && needV == v) break;
    h = needH;
    v = needV;
  }
  if (h != hbarShown_ || v != vbarShown_) {
    hbarShown_ = h;
    vbarShown_ = v;
    layoutValid_ = false;
    setViewportMargins(0, 0, v ? ScrollBarSize : 0, h ? ScrollBarSize : 0);
    hbar_->setVisible(h);
    corner_->setVisible(h);
    vbar_->setVisible(v);
    viewport()->update();
  }
  LayoutBars();
  // A Qt bar's maximum is the last first-cell position; its page step sets the thumb length.
  {
    const QSignalBlocker block(hbar_);
    hbar_->setRange(fixedCols_, std::max(fixedCols_, colCount_ - cols));
    hbar_->setPageStep(std::max(1, cols - 1));
    hbar_->setValue(leftCol_);
  }
  {
    const QSignalBlocker block(vbar_);
    vbar_->setRange(fixedRows_, std::max(fixedRows_, rowCount_ - rows));
    vbar_->setPageStep(std::max(1, rows - 1));
    vbar_->setValue(topRow_);
  }
  updatingBars_ = false;
}

void TMyGrid2::LayoutBars() {
  const QRect r = contentsRect();
  const int s = ScrollBarSize;
  if (hbarShown_) {
    hbar_->setGeometry(r.left(), r.bottom() + 1 - s, std::max(0, r.width() - s), s);
    corner_->setGeometry(r.right() + 1 - s, r.bottom() + 1 - s, s, s);
  }
  if (vbarShown_) vbar_->setGeometry(r.right() + 1 - s, r.top(), s, std::max(0, r.height() - (hbarShown_ ? s : 0)));
}

// The thumb is as long as a page, but a click in the trough moves by the large step.
void TMyGrid2::PageStep(QScrollBar* bar, int action) {
  if (action == QAbstractSlider::SliderPageStepAdd)
    bar->setSliderPosition(bar->value() + ScrollLargeStep);
  else if (action == QAbstractSlider::SliderPageStepSub)
    bar->setSliderPosition(bar->value() - ScrollLargeStep);
}

bool TMyGrid2::event(QEvent* event) {
  const bool result = QAbstractScrollArea::event(event);
  if (event->type() == QEvent::Resize) {
    layoutValid_ = false;
    UpdateScrollBars();
    KeepCursorShown();
  }
  return result;
}

// After the grid shrank (fewer rows, a smaller view) nothing is left scrolled past its last cells,
// and the cursor's cell is in view.
void TMyGrid2::KeepCursorShown() {
  const int top = std::min(topRow_, MaxTopRow()), left = std::min(leftCol_, MaxLeftCol());
  if (top != topRow_ || left != leftCol_) {
    topRow_ = top;
    leftCol_ = left;
    Relayout();
  }
  ScrollIntoView(cursor_.Col, cursor_.Row);
}

// ---- Shown cells ----

void TMyGrid2::BuildAxis(Axis& axis, const std::vector<int>& sizes, int fixed, int first, int extent) const {
  axis.Spans.clear();
  int pos = 0;
  for (int i = 0; i < fixed && pos < extent; ++i) {
    axis.Spans.push_back({i, pos, sizes[static_cast<size_t>(i)]});
    pos += sizes[static_cast<size_t>(i)] + gridLineWidth_;
  }
  const int count = static_cast<int>(sizes.size());
  for (int i = first; i < count && pos < extent; ++i) {
    axis.Spans.push_back({i, pos, sizes[static_cast<size_t>(i)]});
    pos += sizes[static_cast<size_t>(i)] + gridLineWidth_;
  }
  axis.End = pos;
}

const TMyGrid2::Axis& TMyGrid2::ColAxis() const {
  if (!layoutValid_) RowAxis();
  return colAxis_;
}

const TMyGrid2::Axis& TMyGrid2::RowAxis() const {
  if (!layoutValid_) {
    const QSize area = AreaSize(hbarShown_, vbarShown_);
    BuildAxis(colAxis_, colWidths_, fixedCols_, leftCol_, area.width());
    BuildAxis(rowAxis_, rowHeights_, fixedRows_, topRow_, area.height());
    layoutValid_ = true;
  }
  return rowAxis_;
}

const TMyGrid2::Span* TMyGrid2::FindSpan(const Axis& axis, int index, int fixed, int first) {
  if (index >= fixed && index < first) return nullptr;
  const int i = index < fixed ? index : fixed + (index - first);
  if (i < 0 || i >= static_cast<int>(axis.Spans.size()) || axis.Spans[static_cast<size_t>(i)].Index != index)
    return nullptr;
  return &axis.Spans[static_cast<size_t>(i)];
}

// The span whose cell or trailing grid line holds the pixel, or -1.
int TMyGrid2::SpanAt(const Axis& axis, int pixel, int lineWidth) {
  for (size_t i = 0; i < axis.Spans.size(); ++i) {
    const Span& s = axis.Spans[i];
    if (pixel >= s.Pos && pixel < s.Pos + s.Size + lineWidth) return static_cast<int>(i);
  }
  return -1;
}

// First pixel after the fixed cells and their lines.
int TMyGrid2::FixedEnd(const Axis& axis, int fixed) const {
  if (fixed <= 0 || axis.Spans.empty()) return 0;
  const Span& s = axis.Spans[static_cast<size_t>(std::min(fixed, static_cast<int>(axis.Spans.size())) - 1)];
  return s.Pos + s.Size + gridLineWidth_;
}

QRect TMyGrid2::CellRect(int col, int row) const {
  const Span* c = FindSpan(ColAxis(), col, fixedCols_, leftCol_);
  const Span* r = FindSpan(RowAxis(), row, fixedRows_, topRow_);
  if (!c || !r) return {};
  return {c->Pos, r->Pos, c->Size, r->Size};
}

std::optional<GridCoord> TMyGrid2::CellAt(QPoint pos) const {
  const QSize area = AreaSize(hbarShown_, vbarShown_);
  if (pos.x() < 0 || pos.y() < 0 || pos.x() >= area.width() || pos.y() >= area.height()) return std::nullopt;
  const int c = SpanAt(ColAxis(), pos.x(), gridLineWidth_);
  const int r = SpanAt(RowAxis(), pos.y(), gridLineWidth_);
  if (c < 0 || r < 0) return std::nullopt;
  return GridCoord{colAxis_.Spans[static_cast<size_t>(c)].Index, rowAxis_.Spans[static_cast<size_t>(r)].Index};
}

}  // namespace varnel
