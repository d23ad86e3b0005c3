// TMyGrid2: defaults, sizes and texts, the scroll bars, keyboard navigation and the cursor signals.
#include <QKeyEvent>
#include <QPalette>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "editor/my_grid.h"

using varnel::TGridRect;
using varnel::TMyGrid2;


namespace {

// Cells of 40 x 15 pixels plus 1-pixel lines: 41 x 16 per cell.
std::unique_ptr<TMyGrid2> ShownGrid(int cols, int rows, QSize size = {300, 200}) {
  auto grid = std::make_unique<TMyGrid2>();
  grid->resize(size);
  grid->SetColCount(cols);
  grid->SetRowCount(rows);
  grid->show();
  if (!QTest::qWaitForWindowExposed(grid.get())) qWarning("grid window not exposed");
  return grid;
}

QString Str(const TGridRect& r) {
  return QStringLiteral("(%1,%2,%3,%4)").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom);
}

}  // namespace

class MyGridTest : public QObject {
  Q_OBJECT

 private slots:
  void create_freshGrid_hasDefaultProperties();
  void create_colourTable_hasInitialValues_data();
  void create_colourTable_hasInitialValues();
  void scrollBars_afterResize_followVisibilityAndRanges_data();
  void scrollBars_afterResize_followVisibilityAndRanges();
  void scrollBars_countChange_updatesAtOnce();
  void scrollBars_troughClick_movesByLargeStep();
  void scrollBars_moved_scrollGridAndBack();
  void keys_navigation_movesCursorAndSelection_data();
  void keys_navigation_movesCursorAndSelection();
  void keys_pageDown_scrollsByAPage();
  void keys_ownerAcceptsKey_gridDoesNotMove();
  void keys_release_raisesKeyUp();
  void cursor_movesWithinColumn_colChangedOnlyOnFirstMove();
  void cursor_setRowFarDown_scrollsIntoView();
  void cursor_gridShrinks_cursorAndLastRowsStayShown();
  void selection_leftGreaterThanRight_spansBothColumns();
  void texts_fullPatternGrid_storedAndKeptOnResize();
  void texts_outsideTheGrid_ignored();
  void sizes_absurdCounts_clamped();
  void wheel_notch_scrollsWithoutMovingCursor();
};

void MyGridTest::create_freshGrid_hasDefaultProperties() {
  TMyGrid2 grid;
  QCOMPARE(grid.ColCount(), 16);
  QCOMPARE(grid.RowCount(), 64);
  QCOMPARE(grid.FixedCols(), 1);
  QCOMPARE(grid.FixedRows(), 1);
  QCOMPARE(grid.DefaultColWidth(), 40);
  QCOMPARE(grid.DefaultRowHeight(), 15);
  QCOMPARE(grid.GridLineWidth(), 1);
  QCOMPARE(grid.ColWidth(5), 40);
  QCOMPARE(grid.RowHeight(5), 15);
  QCOMPARE(grid.Tag(), 0);
  QCOMPARE(grid.ActiveRow(), 0);
  QCOMPARE(grid.RowHighlight(), 0);
  QVERIFY(grid.DrawFocused());
  QVERIFY(!grid.LoopMarking());
  QCOMPARE(Str(grid.LoopRect()), Str(TGridRect{-1, -1, -1, -1}));
  QCOMPARE(grid.ColumnGroup(0), -1);
  QCOMPARE(grid.ColumnGroup(255), -1);
  QCOMPARE(grid.DragMode(), 0);
  QCOMPARE(grid.LastCol(), -1);
  QCOMPARE(grid.Col(), 1);
  QCOMPARE(grid.Row(), 1);
  QCOMPARE(grid.TopRow(), 1);
  QCOMPARE(grid.LeftCol(), 1);
  QVERIFY(!grid.OnGetText);
}

void MyGridTest::create_colourTable_hasInitialValues_data() {
  QTest::addColumn<int>("slot");
  QTest::addColumn<QColor>("expected");
  const QPalette p;
  const QColor highlight = p.color(QPalette::Active, QPalette::Highlight);
  const QColor highlightText = p.color(QPalette::Active, QPalette::HighlightedText);
  const QColor window = p.color(QPalette::Active, QPalette::Base);
  const QColor windowText = p.color(QPalette::Active, QPalette::Text);
  const QColor face = p.color(QPalette::Active, QPalette::Button);
  QTest::newRow("0 FocusedColor") << 0 << highlight;
  QTest::newRow("1 FocusedFontColor") << 1 << highlightText;
  QTest::newRow("2 SelectionColor") << 2 << highlight;
  QTest::newRow("3 SelectionFontColor") << 3 << highlightText;
  QTest::newRow("4 FixedGridLineColor") << 4 << window;
  QTest::newRow("5 FixedSelectionColor") << 5 << QColor(0xE9, 0xE9, 0xE9);
  QTest::newRow("6 FixedSelectionFontColor") << 6 << QColor(Qt::black);
  QTest::newRow("7 FixedColor") << 7 << face;
  QTest::newRow("8 FixedFontColor") << 8 << windowText;
  QTest::newRow("9 CellColor") << 9 << window;
  QTest::newRow("10 CellFontColor") << 10 << QColor(0x30, 0x40, 0x80);
  QTest::newRow("11 CellColor2") << 11 << QColor(0xF5, 0xF5, 0xF1);
  QTest::newRow("12 CellFontColor2") << 12 << QColor(0x00, 0x00, 0x80);
  QTest::newRow("13 FixedActiveColor") << 13 << highlight;
  QTest::newRow("14 FixedActiveFontColor") << 14 << highlightText;
  QTest::newRow("15 LoopedCellColor") << 15 << face;
  QTest::newRow("16 LoopedCellFontColor") << 16 << windowText;
  QTest::newRow("17 LoopedFixedColor") << 17 << QColor(0xFF, 0x00, 0x00);
  QTest::newRow("18 LoopedFixedFontColor") << 18 << QColor(0xFF, 0x00, 0x00);
  QTest::newRow("19 CellColor3") << 19 << QColor(0xF5, 0xF5, 0xF5);
  QTest::newRow("20 CellColor4") << 20 << QColor(0xF0, 0xF0, 0xE6);
}

void MyGridTest::create_colourTable_hasInitialValues() {
  QFETCH(int, slot);
  QFETCH(QColor, expected);
  TMyGrid2 grid;
  QCOMPARE(grid.Colors()[slot], expected);
}

void MyGridTest::scrollBars_afterResize_followVisibilityAndRanges_data() {
  QTest::addColumn<int>("cols");
  QTest::addColumn<int>("rows");
  QTest::addColumn<QSize>("size");
  QTest::addColumn<bool>("horz");
  QTest::addColumn<bool>("vert");
  QTest::addColumn<int>("visibleCols");
  QTest::addColumn<int>("visibleRows");
  // Width 300: the row-number column (41) and 6 columns (246) fit; 284 with the vertical bar: 5.
  QTest::newRow("everything fits") << 5 << 10 << QSize(300, 200) << false << false << 4 << 9;
  QTest::newRow("two columns, narrow") << 2 << 10 << QSize(30, 200) << false << false << 1 << 9;
  QTest::newRow("rows only") << 5 << 100 << QSize(300, 200) << false << true << 4 << 11;
  QTest::newRow("columns only") << 20 << 5 << QSize(300, 200) << true << false << 6 << 4;
  QTest::newRow("both") << 20 << 100 << QSize(300, 200) << true << true << 5 << 10;
  // The vertical bar takes the room that the last column needed.
  QTest::newRow("vertical bar forces horizontal") << 7 << 100 << QSize(290, 200) << true << true << 5 << 10;
}

void MyGridTest::scrollBars_afterResize_followVisibilityAndRanges() {
  QFETCH(int, cols);
  QFETCH(int, rows);
  QFETCH(QSize, size);
  QFETCH(bool, horz);
  QFETCH(bool, vert);
  QFETCH(int, visibleCols);
  QFETCH(int, visibleRows);
  auto grid = ShownGrid(cols, rows, size);
  QCOMPARE(grid->HorzScrollBar()->isVisible(), horz);
  QCOMPARE(grid->CornerButton()->isVisible(), horz);
  QCOMPARE(grid->VertScrollBar()->isVisible(), vert);
  QCOMPARE(grid->VisibleColCount(), visibleCols);
  QCOMPARE(grid->VisibleRowCount(), visibleRows);
  const int s = TMyGrid2::ScrollBarSize;
  if (horz) {
    QScrollBar* bar = grid->HorzScrollBar();
    QCOMPARE(bar->minimum(), 1);
    QCOMPARE(bar->maximum(), cols - visibleCols);  // the range 1 .. ColCount - 2 less a page
    QCOMPARE(bar->pageStep(), visibleCols - 1);
    QCOMPARE(bar->value(), grid->LeftCol());
    QCOMPARE(bar->geometry(), QRect(0, size.height() - s, size.width() - s, s));
    QCOMPARE(grid->CornerButton()->geometry(), QRect(size.width() - s, size.height() - s, s, s));
  }
  if (vert) {
    QScrollBar* bar = grid->VertScrollBar();
    QCOMPARE(bar->minimum(), 1);
    QCOMPARE(bar->maximum(), rows - visibleRows);
    QCOMPARE(bar->pageStep(), visibleRows - 1);
    QCOMPARE(bar->value(), grid->TopRow());
    QCOMPARE(bar->geometry(), QRect(size.width() - s, 0, s, size.height() - (horz ? s : 0)));
  }
  QCOMPARE(grid->viewport()->size(), QSize(size.width() - (vert ? s : 0), size.height() - (horz ? s : 0)));
}

void MyGridTest::scrollBars_countChange_updatesAtOnce() {
  auto grid = ShownGrid(20, 100);
  QVERIFY(grid->VertScrollBar()->isVisible());
  grid->SetRowCount(5);
  QVERIFY(!grid->VertScrollBar()->isVisible());
  grid->SetColCount(2);
  QVERIFY(!grid->HorzScrollBar()->isVisible());
  grid->SetRowCount(64);
  QVERIFY(grid->VertScrollBar()->isVisible());
  QCOMPARE(grid->VertScrollBar()->maximum(), 64 - grid->VisibleRowCount());
}

void MyGridTest::scrollBars_troughClick_movesByLargeStep() {
  auto grid = ShownGrid(20, 100);
  grid->VertScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  QCOMPARE(grid->TopRow(), 1 + TMyGrid2::ScrollLargeStep);
  grid->HorzScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  grid->HorzScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  QCOMPARE(grid->LeftCol(), 1 + 2 * TMyGrid2::ScrollLargeStep);
  grid->VertScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
  QCOMPARE(grid->TopRow(), 1);
  grid->VertScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  QCOMPARE(grid->TopRow(), 2);
}

void MyGridTest::scrollBars_moved_scrollGridAndBack() {
  auto grid = ShownGrid(20, 100);
  grid->VertScrollBar()->setValue(30);
  QCOMPARE(grid->TopRow(), 30);
  grid->HorzScrollBar()->setValue(7);
  QCOMPARE(grid->LeftCol(), 7);
  QCOMPARE(grid->CellRect(7, 30).topLeft(), QPoint(41, 16));
  grid->SetTopRow(12);
  QCOMPARE(grid->VertScrollBar()->value(), 12);
  QTest::keyClick(grid.get(), Qt::Key_Home, Qt::ControlModifier);
  QCOMPARE(grid->VertScrollBar()->value(), 1);
  QCOMPARE(grid->HorzScrollBar()->value(), 1);
}

void MyGridTest::keys_navigation_movesCursorAndSelection_data() {
  QTest::addColumn<Qt::Key>("key");
  QTest::addColumn<int>("modifiers");
  QTest::addColumn<int>("presses");
  QTest::addColumn<int>("col");
  QTest::addColumn<int>("row");
  QTest::addColumn<QString>("selection");
  // From (3, 10) in a 20 x 100 grid.
  const int none = Qt::NoModifier, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
  QTest::newRow("down") << Qt::Key_Down << none << 1 << 3 << 11 << "(3,11,3,11)";
  QTest::newRow("up") << Qt::Key_Up << none << 2 << 3 << 8 << "(3,8,3,8)";
  QTest::newRow("right") << Qt::Key_Right << none << 1 << 4 << 10 << "(4,10,4,10)";
  QTest::newRow("left stops at the first data column") << Qt::Key_Left << none << 5 << 1 << 10 << "(1,10,1,10)";
  QTest::newRow("up stops at the first data row") << Qt::Key_Up << none << 20 << 3 << 1 << "(3,1,3,1)";
  QTest::newRow("home") << Qt::Key_Home << none << 1 << 1 << 10 << "(1,10,1,10)";
  QTest::newRow("end") << Qt::Key_End << none << 1 << 19 << 10 << "(19,10,19,10)";
  QTest::newRow("ctrl+home") << Qt::Key_Home << ctrl << 1 << 1 << 1 << "(1,1,1,1)";
  QTest::newRow("ctrl+end") << Qt::Key_End << ctrl << 1 << 19 << 99 << "(19,99,19,99)";
  QTest::newRow("tab") << Qt::Key_Tab << none << 1 << 4 << 10 << "(4,10,4,10)";
  QTest::newRow("tab wraps to the next row") << Qt::Key_Tab << none << 17 << 1 << 11 << "(1,11,1,11)";
  QTest::newRow("backtab wraps to the previous row") << Qt::Key_Backtab << shift << 3 << 19 << 9 << "(19,9,19,9)";
  QTest::newRow("shift+down extends") << Qt::Key_Down << shift << 2 << 3 << 12 << "(3,10,3,12)";
  QTest::newRow("shift+left extends") << Qt::Key_Left << shift << 2 << 1 << 10 << "(1,10,3,10)";
  QTest::newRow("page up at the top") << Qt::Key_PageUp << none << 3 << 3 << 1 << "(3,1,3,1)";
}

void MyGridTest::keys_navigation_movesCursorAndSelection() {
  QFETCH(Qt::Key, key);
  QFETCH(int, modifiers);
  QFETCH(int, presses);
  QFETCH(int, col);
  QFETCH(int, row);
  QFETCH(QString, selection);
  auto grid = ShownGrid(20, 100);
  grid->SetCol(3);
  grid->SetRow(10);
  for (int i = 0; i < presses; ++i) QTest::keyClick(grid.get(), key, Qt::KeyboardModifiers(modifiers));
  QCOMPARE(grid->Col(), col);
  QCOMPARE(grid->Row(), row);
  QCOMPARE(Str(grid->Selection()), selection);
  // The cursor is always shown.
  QVERIFY(!grid->CellRect(col, row).isEmpty());
}

void MyGridTest::keys_pageDown_scrollsByAPage() {
  auto grid = ShownGrid(20, 100);  // 10 rows shown
  grid->SetRow(3);
  QTest::keyClick(grid.get(), Qt::Key_PageDown);
  QCOMPARE(grid->Row(), 3 + 9);
  QCOMPARE(grid->TopRow(), 1 + 9);
  for (int i = 0; i < 20; ++i) QTest::keyClick(grid.get(), Qt::Key_PageDown);
  QCOMPARE(grid->Row(), 99);
  QCOMPARE(grid->TopRow(), 90);  // the last full page, no further
  QTest::keyClick(grid.get(), Qt::Key_PageUp, Qt::ControlModifier);
  QCOMPARE(grid->Row(), 90);
}

void MyGridTest::keys_ownerAcceptsKey_gridDoesNotMove() {
  auto grid = ShownGrid(20, 100);
  QList<int> seen;
  QObject::connect(grid.get(), &TMyGrid2::keyDown, [&](TMyGrid2* sender, QKeyEvent* event) {
    QCOMPARE(sender, grid.get());
    QVERIFY(!event->isAccepted());
    seen << event->key();
    if (event->key() == Qt::Key_Down && (event->modifiers() & Qt::ControlModifier) == 0) event->accept();
  });
  QTest::keyClick(grid.get(), Qt::Key_Down);
  QCOMPARE(grid->Row(), 1);  // the owner took it
  QTest::keyClick(grid.get(), Qt::Key_Right);
  QCOMPARE(grid->Col(), 2);  // falls through to the grid
  QTest::keyClick(grid.get(), Qt::Key_Z);
  QCOMPARE(seen, (QList<int>{Qt::Key_Down, Qt::Key_Right, Qt::Key_Z}));
}

void MyGridTest::keys_release_raisesKeyUp() {
  auto grid = ShownGrid(20, 100);
  QList<int> ups;
  QObject::connect(grid.get(), &TMyGrid2::keyUp, [&](TMyGrid2* sender, QKeyEvent* event) {
    QCOMPARE(sender, grid.get());
    ups << event->key();
  });
  QTest::keyPress(grid.get(), Qt::Key_Z);
  QVERIFY(ups.isEmpty());
  QTest::keyRelease(grid.get(), Qt::Key_Z);
  QCOMPARE(ups, QList<int>{Qt::Key_Z});
}

void MyGridTest::cursor_movesWithinColumn_colChangedOnlyOnFirstMove() {
  auto grid = ShownGrid(20, 100);
  QStringList log;
  QObject::connect(grid.get(), &TMyGrid2::selectCell, [&](TMyGrid2*, int c, int r) {
    // Announced before the move: the grid still shows the old cursor.
    log << QStringLiteral("select %1 %2 (from %3 %4)").arg(c).arg(r).arg(grid->Col()).arg(grid->Row());
  });
  QObject::connect(grid.get(), &TMyGrid2::colChanged, [&](TMyGrid2*, int c) { log << QStringLiteral("col %1").arg(c); });
  QTest::keyClick(grid.get(), Qt::Key_Down);
  QTest::keyClick(grid.get(), Qt::Key_Down);
  QTest::keyClick(grid.get(), Qt::Key_Right);
  QTest::keyClick(grid.get(), Qt::Key_Up);
  grid->SetRow(7);
  grid->SetRow(7);  // no move, no event
  QCOMPARE(log, (QStringList{"select 1 2 (from 1 1)", "col 1", "select 1 3 (from 1 2)", "select 2 3 (from 1 3)", "col 2",
                             "select 2 2 (from 2 3)", "select 2 7 (from 2 2)"}));
  QCOMPARE(grid->LastCol(), 2);
}

void MyGridTest::cursor_setRowFarDown_scrollsIntoView() {
  auto grid = ShownGrid(20, 100);
  grid->SetRow(60);
  QCOMPARE(grid->TopRow() + grid->VisibleRowCount() - 1, 60);
  grid->SetCol(19);
  QCOMPARE(grid->LeftCol() + grid->VisibleColCount() - 1, 19);
  grid->SetRow(2);
  QCOMPARE(grid->TopRow(), 2);
  grid->SetCol(-5);  // clamped into the data area
  QCOMPARE(grid->Col(), 1);
}

// A pattern cut from 100 rows to 20 with the cursor at row 60, and a view made narrower: the cursor
// is still shown, and the grid is not left scrolled past its last rows (one row on a blank view).
void MyGridTest::cursor_gridShrinks_cursorAndLastRowsStayShown() {
  auto grid = ShownGrid(20, 100);
  grid->SetRow(60);
  grid->SetRowCount(21);
  QCOMPARE(grid->Row(), 20);
  QVERIFY(grid->TopRow() <= 20 && 20 < grid->TopRow() + grid->VisibleRowCount());
  QCOMPARE(grid->TopRow() + grid->VisibleRowCount(), 21);  // the view is full down to the last row
  QVERIFY(grid->VisibleRowCount() > 5);
  grid->SetRow(1);
  grid->SetCol(6);
  grid->resize(150, 200);  // split view: the grid gets narrower
  QTRY_VERIFY(grid->LeftCol() <= 6 && 6 < grid->LeftCol() + grid->VisibleColCount());
}

void MyGridTest::selection_leftGreaterThanRight_spansBothColumns() {
  auto grid = ShownGrid(20, 100);
  grid->SetCol(4);
  grid->SetRow(6);
  grid->SetSelection({6, 6, 4, 6});
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(4,6,6,6)"));
  QCOMPARE(grid->Col(), 4);  // the cursor stays
  QCOMPARE(grid->Row(), 6);
  // Shift extends from the rectangle's first corner.
  QTest::keyClick(grid.get(), Qt::Key_Down, Qt::ShiftModifier);
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(4,6,6,7)"));
  grid->SetSelection({3, 200, -7, 2});
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(0,2,3,99)"));
}

void MyGridTest::texts_fullPatternGrid_storedAndKeptOnResize() {
  auto grid = ShownGrid(257, 257, {1920, 1080});
  for (int r = 0; r < 257; ++r)
    for (int c = 0; c < 257; ++c) grid->SetCellText(c, r, QString::number(c * 1000 + r));
  QCOMPARE(grid->CellText(0, 0), QStringLiteral("0"));
  QCOMPARE(grid->CellText(256, 256), QStringLiteral("256256"));
  QCOMPARE(grid->CellText(17, 200), QStringLiteral("17200"));
  grid->SetColCount(20);
  grid->SetRowCount(30);
  QCOMPARE(grid->CellText(19, 29), QStringLiteral("19029"));
  grid->SetColCount(40);  // cells that come back start empty
  QCOMPARE(grid->CellText(19, 29), QStringLiteral("19029"));
  QCOMPARE(grid->CellText(30, 10), QString());
  QCOMPARE(grid->CellText(5, 5), QStringLiteral("5005"));
}

void MyGridTest::texts_outsideTheGrid_ignored() {
  TMyGrid2 grid;
  grid.SetCellText(-1, 0, QStringLiteral("x"));
  grid.SetCellText(16, 0, QStringLiteral("x"));
  grid.SetCellText(0, 64, QStringLiteral("x"));
  QCOMPARE(grid.CellText(16, 0), QString());
  QCOMPARE(grid.CellText(-1, -1), QString());
  grid.SetColWidth(99, 10);
  grid.SetRowHeight(-1, 10);
  grid.SetColumnGroup(256, 1);
  QCOMPARE(grid.ColumnGroup(256), -1);
  grid.SetColor(21, Qt::red);
  grid.SetColor(-1, Qt::red);
}

void MyGridTest::sizes_absurdCounts_clamped() {
  TMyGrid2 grid;
  grid.SetColCount(0);
  QCOMPARE(grid.ColCount(), 1);
  QCOMPARE(grid.FixedCols(), 0);  // at least one column is not fixed
  grid.SetRowCount(-5);
  QCOMPARE(grid.RowCount(), 1);
  grid.SetColCount(1000000000);
  QCOMPARE(grid.ColCount(), TMyGrid2::MaxCount);
  grid.SetColCount(16);
  grid.SetRowCount(64);
  grid.SetFixedCols(1);
  grid.SetFixedRows(100);
  QCOMPARE(grid.FixedRows(), 63);
  grid.SetColWidth(3, -20);
  QCOMPARE(grid.ColWidth(3), 0);
  grid.SetDefaultColWidth(25);
  QCOMPARE(grid.ColWidth(3), 25);
}

void MyGridTest::wheel_notch_scrollsWithoutMovingCursor() {
  auto grid = ShownGrid(20, 100);
  const QPoint at = grid->CellRect(3, 3).center();
  QWheelEvent down(at, grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
  QApplication::sendEvent(grid->viewport(), &down);
  QCOMPARE(grid->TopRow(), 1 + QApplication::wheelScrollLines());
  QCOMPARE(grid->VertScrollBar()->value(), grid->TopRow());
  QCOMPARE(grid->Row(), 1);
  for (int i = 0; i < 100; ++i) QApplication::sendEvent(grid->viewport(), &down);
  QCOMPARE(grid->TopRow(), 90);  // the last row stays at the bottom
}

QTEST_MAIN(MyGridTest)
#include "my_grid_test.moc"
