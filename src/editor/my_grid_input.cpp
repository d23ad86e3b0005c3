// TMyGrid2: keys, mouse and wheel. The owner sees every key first; the header gestures select whole
// rows or columns and mark loops with the middle button.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

#include "editor/my_grid.h"

namespace varnel {

// ---- Keys ----

void TMyGrid2::keyPressEvent(QKeyEvent* event) {
  event->ignore();
  emit keyDown(this, event);
  if (event->isAccepted()) return;
  if (NavigationKey(event)) event->accept();
}

void TMyGrid2::keyReleaseEvent(QKeyEvent* event) {
  event->ignore();
  emit keyUp(this, event);
}

// Cursor keys, Page Up/Down, Home/End and Tab as in any grid; Shift extends the selection (Tab
// never does); Ctrl+Up/Down scroll without moving the cursor.
bool TMyGrid2::NavigationKey(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers();
  if (mods & (Qt::AltModifier | Qt::MetaModifier)) return false;
  const bool shift = mods & Qt::ShiftModifier;
  const bool ctrl = mods & Qt::ControlModifier;
  const int pageH = std::max(1, VisibleRowCount() - 1);
  const int pageW = std::max(1, VisibleColCount() - 1);
  int col = cursor_.Col, row = cursor_.Row, top = topRow_, left = leftCol_;
  bool collapse = !shift;
  switch (event->key()) {
    case Qt::Key_Up:
      if (ctrl) --top;
      else --row;
      break;
    case Qt::Key_Down:
      if (ctrl) ++top;
      else ++row;
      break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int dir = event->key() == Qt::Key_Left ? -1 : 1;
      if (ctrl) left += dir * pageW;
      col += ctrl ? dir * pageW : dir;
      break;
    }
    case Qt::Key_PageUp:
      if (ctrl) {
        row = topRow_;
      } else {
        row -= pageH;
        top -= pageH;
      }
      break;
    case Qt::Key_PageDown:
      if (ctrl) {
        row = topRow_ + VisibleRowCount() - 1;
      } else {
        row += pageH;
        top += pageH;
      }
      break;
    case Qt::Key_Home:
      col = fixedCols_;
      if (ctrl) row = fixedRows_;
      break;
    case Qt::Key_End:
      col = colCount_ - 1;
      if (ctrl) row = rowCount_ - 1;
      break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      if (ctrl) return false;
      collapse = true;
      if (event->key() == Qt::Key_Backtab || shift) {
        if (--col < fixedCols_) {
          col = colCount_ - 1;
          if (--row < fixedRows_) row = rowCount_ - 1;
        }
      } else if (++col >= colCount_) {
        col = fixedCols_;
        if (++row >= rowCount_) row = fixedRows_;
      }
      break;
    default: return false;
  }
  // Paging stops at the last full page (or where the owner scrolled beyond it).
  top = std::clamp(top, fixedRows_, std::max(MaxTopRow(), topRow_));
  left = std::clamp(left, fixedCols_, std::max(MaxLeftCol(), leftCol_));
  SetTopRow(top);
  SetLeftCol(left);
  col = std::clamp(col, fixedCols_, colCount_ - 1);
  row = std::clamp(row, fixedRows_, rowCount_ - 1);
  const bool scrollOnly = ctrl && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down);
  if (col != cursor_.Col || row != cursor_.Row)
    MoveCursor(col, row, collapse, true);
  else if (!scrollOnly)
    ScrollIntoView(col, row);
  return true;
}

// Tab moves between cells instead of leaving the grid.
bool TMyGrid2::focusNextPrevChild(bool) {
  return false;
}

void TMyGrid2::focusInEvent(QFocusEvent*) {
  InvalidateRange({cursor_.Col, cursor_.Row, cursor_.Col, cursor_.Row});
}

void TMyGrid2::focusOutEvent(QFocusEvent*) {
  InvalidateRange({cursor_.Col, cursor_.Row, cursor_.Col, cursor_.Row});
}

void TMyGrid2::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    ForgetGlyphs();
    Repaint();
  }
}

// ---- Mouse ----

void TMyGrid2::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  event->accept();
  const auto hit = CellAt(event->position().toPoint());
  if (!hit) return;
  const int col = hit->Col, row = hit->Row;
  const Qt::MouseButton button = event->button();
  const bool fixedCol = col < fixedCols_;
  const bool fixedRow = row < fixedRows_;

  // The grid's own part: the left button on a normal cell moves the cursor, or with Shift
  // extends the selection, and starts a drag selection.
  if (button == Qt::LeftButton && !fixedCol && !fixedRow) {
    if (event->modifiers() & Qt::ShiftModifier)
      ExtendSelection({col, row});
    else
      MoveCursor(col, row, true, true);
    selecting_ = true;
    dragPos_ = event->position().toPoint();
  }
  // A middle click on a header row clears the loop.
  if (loopMarking_ && button == Qt::MiddleButton && fixedRow) {
    SetLoopRect({});
    emit loopChanged(this, col, row);
  }
  if (button == Qt::LeftButton || (button == Qt::MiddleButton && fixedCol)) {
    if (fixedCol && fixedRow) {
      if (button == Qt::LeftButton) SetSelection({0, 0, colCount_ - 1, rowCount_ - 1});
    } else if (fixedCol) {
      const TGridRect whole{0, row, colCount_ - 1, row};
      if (button == Qt::LeftButton)
        SetSelection(whole);
      else if (loopMarking_)
        SetLoopRect(whole);
      dragAnchorRow_ = row;
      dragMode_ = 1;
    } else if (fixedRow) {
      if (button == Qt::LeftButton) SetSelection({col, 0, col, rowCount_ - 1});
      dragAnchorCol_ = col;
      dragMode_ = 2;
    }
  }
  if (button == Qt::RightButton) emit headerClick(this, col, row);
  if (button == Qt::MiddleButton && !fixedCol) emit headerMiddleClick(this, col, row);
}

// The second press of a double click is a press like any other.
void TMyGrid2::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

// The cell under the mouse, kept inside the data area: past the last cells (or beyond the right
// or bottom edge) means the last column or row; the headers, and above or left of the grid,
// mean the first.
GridCoord TMyGrid2::ClampedCellAt(QPoint pos) const {
  const QSize area = AreaSize(hbarShown_, vbarShown_);
  const int x = std::min(pos.x(), area.width() - 1);
  const int y = std::min(pos.y(), area.height() - 1);
  int col = pos.x() < 0 ? fixedCols_ : colCount_ - 1;
  int row = pos.y() < 0 ? fixedRows_ : rowCount_ - 1;
  if (x >= 0 && pos.x() < area.width()) {
    const int i = SpanAt(ColAxis(), x, gridLineWidth_);
    if (i >= 0) col = colAxis_.Spans[static_cast<size_t>(i)].Index;
  }
  if (y >= 0 && pos.y() < area.height()) {
    const int i = SpanAt(RowAxis(), y, gridLineWidth_);
    if (i >= 0) row = rowAxis_.Spans[static_cast<size_t>(i)].Index;
  }
  return {std::max(col, std::min(fixedCols_, colCount_ - 1)), std::max(row, std::min(fixedRows_, rowCount_ - 1))};
}

void TMyGrid2::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  const QPoint pos = event->position().toPoint();
  const bool left = event->buttons() & Qt::LeftButton;
  if (selecting_ && left) DragSelectTo(pos);
  if (dragMode_ == 1) {
    const int row = ClampedCellAt(pos).Row;
    const TGridRect rows{0, std::min(dragAnchorRow_, row), colCount_ - 1, std::max(dragAnchorRow_, row)};
    if (left)
      SetSelection(rows);
    else if (loopMarking_)
      SetLoopRect(rows);
  } else if (dragMode_ == 2 && left) {
    const int col = ClampedCellAt(pos).Col;
    SetSelection({std::min(dragAnchorCol_, col), 0, std::max(dragAnchorCol_, col), rowCount_ - 1});
  }
}

void TMyGrid2::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton) {
    selecting_ = false;
    autoScroll_->stop();
  }
  dragMode_ = 0;
  if (event->button() == Qt::MiddleButton && loopMarking_) {
    const auto hit = CellAt(event->position().toPoint());
    emit loopChanged(this, hit ? hit->Col : -1, hit ? hit->Row : -1);
  }
}

// A drag over normal cells moves the selection's far end; over the headers or past the view it
// reaches the first or last cell shown and keeps scrolling while the mouse stays there.
void TMyGrid2::DragSelectTo(QPoint pos) {
  dragPos_ = pos;
  const QSize area = AreaSize(hbarShown_, vbarShown_);
  const int headersRight = FixedEnd(ColAxis(), fixedCols_);
  const int headersBottom = FixedEnd(RowAxis(), fixedRows_);
  GridCoord target = ClampedCellAt(pos);
  bool outside = false;
  if (pos.x() < headersRight) {
    target.Col = leftCol_;
    outside = true;
  }
  if (pos.y() < headersBottom) {
    target.Row = topRow_;
    outside = true;
  }
  if (pos.x() >= area.width()) {
    target.Col = std::min(colCount_ - 1, leftCol_ + VisibleColCount() - 1);
    outside = true;
  }
  if (pos.y() >= area.height()) {
    target.Row = std::min(rowCount_ - 1, topRow_ + VisibleRowCount() - 1);
    outside = true;
  }
  if (outside && !autoScroll_->isActive()) autoScroll_->start();
  if (!outside) autoScroll_->stop();
  if (target.Col < fixedCols_ || target.Row < fixedRows_) return;
  if (target.Col != anchor_.Col || target.Row != anchor_.Row) ExtendSelection(target);
}

void TMyGrid2::AutoScrollStep() {
  if (!selecting_ || !(QApplication::mouseButtons() & Qt::LeftButton)) {
    autoScroll_->stop();
    return;
  }
  const QSize area = AreaSize(hbarShown_, vbarShown_);
  if (dragPos_.y() >= area.height())
    SetTopRow(std::min(topRow_ + 1, std::max(topRow_, MaxTopRow())));
  else if (dragPos_.y() < FixedEnd(RowAxis(), fixedRows_))
    SetTopRow(topRow_ - 1);
  if (dragPos_.x() >= area.width())
    SetLeftCol(std::min(leftCol_ + 1, std::max(leftCol_, MaxLeftCol())));
  else if (dragPos_.x() < FixedEnd(ColAxis(), fixedCols_))
    SetLeftCol(leftCol_ - 1);
  DragSelectTo(dragPos_);
}

// ---- Wheel ----

void TMyGrid2::wheelEvent(QWheelEvent* event) {
  event->accept();
  const QPoint delta = event->angleDelta();
  const bool sideways = delta.x() != 0 || (event->modifiers() & Qt::ShiftModifier);
  wheelDelta_ += sideways && delta.x() != 0 ? delta.x() : delta.y();
  const int notches = wheelDelta_ / 120;  // fine-grained wheels add up to whole notches
  wheelDelta_ -= notches * 120;
  if (notches == 0) return;
  if (sideways) {
    const int target = leftCol_ - notches;
    SetLeftCol(std::min(target, std::max(leftCol_, MaxLeftCol())));
  } else {
    const int target = topRow_ - notches * QApplication::wheelScrollLines();
    SetTopRow(std::min(target, std::max(topRow_, MaxTopRow())));
  }
}

}  // namespace varnel
