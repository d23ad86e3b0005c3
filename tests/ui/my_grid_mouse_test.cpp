// TMyGrid2: the mouse. Cursor and drag selection over normal cells, and the header gestures: select
// all, whole rows and whole columns, the middle-button loop, right and middle clicks.
#include <QTest>
#include <memory>

#include "editor/my_grid.h"

using varnel::TGridRect;
using varnel::TMyGrid2;

namespace {

// 20 columns x 60 rows of 40 x 15 pixels (41 x 16 with the lines).
std::unique_ptr<TMyGrid2> ShownGrid(bool loopMarking = true) {
  auto grid = std::make_unique<TMyGrid2>();
  grid->resize(400, 400);
  grid->SetColCount(20);
  grid->SetRowCount(60);
  grid->SetLoopMarking(loopMarking);
  grid->show();
  if (!QTest::qWaitForWindowExposed(grid.get())) qWarning("grid window not exposed");
  return grid;
}

QString Str(const TGridRect& r) {
  return QStringLiteral("(%1,%2,%3,%4)").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom);
}

// Every signal of the grid, in order.
QStringList* Record(TMyGrid2& grid) {
  auto* log = new QStringList;
  QObject::connect(&grid, &QObject::destroyed, [log] { delete log; });
  auto cell = [log](const char* name) {
    return [log, name](TMyGrid2*, int c, int r) { *log << QStringLiteral("%1 %2 %3").arg(name).arg(c).arg(r); };
  };
  QObject::connect(&grid, &TMyGrid2::selectCell, cell("select"));
  QObject::connect(&grid, &TMyGrid2::headerClick, cell("header"));
  QObject::connect(&grid, &TMyGrid2::headerMiddleClick, cell("middle"));
  QObject::connect(&grid, &TMyGrid2::loopChanged, [log](TMyGrid2*, int, int) { *log << QStringLiteral("loop"); });
  QObject::connect(&grid, &TMyGrid2::colChanged, [log](TMyGrid2*, int c) { *log << QStringLiteral("col %1").arg(c); });
  return log;
}

QPoint At(TMyGrid2& grid, int col, int row) {
  return grid.CellRect(col, row).center();
}

void Press(TMyGrid2& grid, Qt::MouseButton button, QPoint pos, Qt::KeyboardModifiers mods = {}) {
  QTest::mousePress(grid.viewport(), button, mods, pos);
}

void Move(TMyGrid2& grid, QPoint pos) {
  QTest::mouseMove(grid.viewport(), pos);
}

void Release(TMyGrid2& grid, Qt::MouseButton button, QPoint pos) {
  QTest::mouseRelease(grid.viewport(), button, {}, pos);
}

}  // namespace

class MyGridMouseTest : public QObject {
  Q_OBJECT

 private slots:
  void middleClick_columnHeader_clearsLoopThenRaisesHeaderMiddleClick();
  void middleDrag_rowHeaders5to9_marksLoopAndReportsOnceOnRelease();
  void middleDrag_rowHeaders_pastTheEnds_clampedIntoData();
  void leftDrag_rowHeader9UpTo5_selectsRows5to9();
  void leftDrag_columnHeaders_selectsWholeColumns();
  void leftClick_corner_selectsEverything();
  void rightClick_anyCell_raisesHeaderClick_data();
  void rightClick_anyCell_raisesHeaderClick();
  void middleClick_normalCell_raisesHeaderMiddleClickOnly();
  void middleClick_rowHeader_marksThatRow();
  void middleGestures_loopMarkingOff_leaveLoopAlone();
  void leftClick_normalCell_movesCursorAndDragExtends();
  void shiftClick_normalCell_extendsSelection();
  void press_outsideAllCells_doesNothing();
  void press_anyButton_focusesGrid();
};

void MyGridMouseTest::middleClick_columnHeader_clearsLoopThenRaisesHeaderMiddleClick() {
  auto grid = ShownGrid();
  grid->SetLoopRect({0, 3, 0, 6});
  QStringList* log = Record(*grid);
  Press(*grid, Qt::MiddleButton, At(*grid, 4, 0));
  QCOMPARE(Str(grid->LoopRect()), QStringLiteral("(-1,-1,-1,-1)"));
  QCOMPARE(*log, (QStringList{"loop", "middle 4 0"}));
  Release(*grid, Qt::MiddleButton, At(*grid, 4, 0));
  QCOMPARE(*log, (QStringList{"loop", "middle 4 0", "loop"}));
  QCOMPARE(grid->DragMode(), 0);
}

void MyGridMouseTest::middleDrag_rowHeaders5to9_marksLoopAndReportsOnceOnRelease() {
  auto grid = ShownGrid();
  QStringList* log = Record(*grid);
  Press(*grid, Qt::MiddleButton, At(*grid, 0, 5));
  QCOMPARE(grid->DragMode(), 1);
  QCOMPARE(Str(grid->LoopRect()), QStringLiteral("(0,5,19,5)"));
  Move(*grid, At(*grid, 0, 7));
  Move(*grid, At(*grid, 3, 9));  // the column does not matter
  QCOMPARE(Str(grid->LoopRect()), QStringLiteral("(0,5,19,9)"));
  QVERIFY(log->isEmpty());
  Release(*grid, Qt::MiddleButton, At(*grid, 3, 9));
  QCOMPARE(*log, QStringList{"loop"});
  QCOMPARE(grid->DragMode(), 0);
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(1,1,1,1)"));  // the selection is untouched
}

void MyGridMouseTest::middleDrag_rowHeaders_pastTheEnds_clampedIntoData() {
  auto grid = ShownGrid();
  Press(*grid, Qt::MiddleButton, At(*grid, 0, 5));
  Move(*grid, QPoint(10, grid->viewport()->height() + 30));  // below the view: the last row
  QCOMPARE(Str(grid->LoopRect()), QStringLiteral("(0,5,19,59)"));
  Move(*grid, At(*grid, 0, 0));  // the header row counts as the first data row
  QCOMPARE(Str(grid->LoopRect()), QStringLiteral("(0,1,19,5)"));
  Move(*grid, QPoint(10, -40));  // above the grid: the first data row too
  QCOMPARE(Str(grid->LoopRect()), QStringLiteral("(0,1,19,5)"));
  Release(*grid, Qt::MiddleButton, QPoint(10, -40));
}

void MyGridMouseTest::leftDrag_rowHeader9UpTo5_selectsRows5to9() {
  auto grid = ShownGrid();
  QStringList* log = Record(*grid);
  Press(*grid, Qt::LeftButton, At(*grid, 0, 9));
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(0,9,19,9)"));
  Move(*grid, At(*grid, 0, 7));
  Move(*grid, At(*grid, 0, 5));
  Release(*grid, Qt::LeftButton, At(*grid, 0, 5));
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(0,5,19,9)"));
  QCOMPARE(Str(grid->LoopRect()), QStringLiteral("(-1,-1,-1,-1)"));
  QVERIFY(log->isEmpty());  // no cursor move, no loop report
}

void MyGridMouseTest::leftDrag_columnHeaders_selectsWholeColumns() {
  auto grid = ShownGrid();
  Press(*grid, Qt::LeftButton, At(*grid, 6, 0));
  QCOMPARE(grid->DragMode(), 2);
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(6,0,6,59)"));
  Move(*grid, At(*grid, 3, 4));
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(3,0,6,59)"));
  Release(*grid, Qt::LeftButton, At(*grid, 3, 4));
  // A middle drag over column headers selects nothing.
  Press(*grid, Qt::MiddleButton, At(*grid, 8, 0));
  Move(*grid, At(*grid, 9, 0));
  Release(*grid, Qt::MiddleButton, At(*grid, 9, 0));
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(3,0,6,59)"));
}

void MyGridMouseTest::leftClick_corner_selectsEverything() {
  auto grid = ShownGrid();
  Press(*grid, Qt::LeftButton, At(*grid, 0, 0));
  Release(*grid, Qt::LeftButton, At(*grid, 0, 0));
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(0,0,19,59)"));
  QCOMPARE(grid->DragMode(), 0);
}

void MyGridMouseTest::rightClick_anyCell_raisesHeaderClick_data() {
  QTest::addColumn<int>("col");
  QTest::addColumn<int>("row");
  QTest::newRow("normal cell") << 5 << 7;
  QTest::newRow("row header") << 0 << 7;
  QTest::newRow("column header") << 5 << 0;
  QTest::newRow("corner") << 0 << 0;
}

void MyGridMouseTest::rightClick_anyCell_raisesHeaderClick() {
  QFETCH(int, col);
  QFETCH(int, row);
  auto grid = ShownGrid();
  QStringList* log = Record(*grid);
  Press(*grid, Qt::RightButton, At(*grid, col, row));
  Release(*grid, Qt::RightButton, At(*grid, col, row));
  QCOMPARE(*log, QStringList{QStringLiteral("header %1 %2").arg(col).arg(row)});
  QCOMPARE(grid->Col(), 1);  // the right button does not move the cursor
  QCOMPARE(grid->Row(), 1);
}

void MyGridMouseTest::middleClick_normalCell_raisesHeaderMiddleClickOnly() {
  auto grid = ShownGrid();
  grid->SetLoopRect({0, 2, 0, 3});
  QStringList* log = Record(*grid);
  Press(*grid, Qt::MiddleButton, At(*grid, 5, 7));
  QCOMPARE(*log, QStringList{"middle 5 7"});
  QCOMPARE(Str(grid->LoopRect()), QStringLiteral("(0,2,0,3)"));
  QCOMPARE(grid->Row(), 1);
}

void MyGridMouseTest::middleClick_rowHeader_marksThatRow() {
  auto grid = ShownGrid();
  QStringList* log = Record(*grid);
  Press(*grid, Qt::MiddleButton, At(*grid, 0, 12));
  Release(*grid, Qt::MiddleButton, At(*grid, 0, 12));
  QCOMPARE(Str(grid->LoopRect()), QStringLiteral("(0,12,19,12)"));
  QCOMPARE(*log, QStringList{"loop"});  // no middle click for a fixed column
}

void MyGridMouseTest::middleGestures_loopMarkingOff_leaveLoopAlone() {
  auto grid = ShownGrid(false);
  grid->SetLoopRect({0, 2, 0, 3});
  QStringList* log = Record(*grid);
  Press(*grid, Qt::MiddleButton, At(*grid, 0, 5));
  Move(*grid, At(*grid, 0, 9));
  Release(*grid, Qt::MiddleButton, At(*grid, 0, 9));
  Press(*grid, Qt::MiddleButton, At(*grid, 4, 0));
  Release(*grid, Qt::MiddleButton, At(*grid, 4, 0));
  QCOMPARE(Str(grid->LoopRect()), QStringLiteral("(0,2,0,3)"));
  QCOMPARE(*log, QStringList{"middle 4 0"});
}

void MyGridMouseTest::leftClick_normalCell_movesCursorAndDragExtends() {
  auto grid = ShownGrid();
  QStringList* log = Record(*grid);
  Press(*grid, Qt::LeftButton, At(*grid, 3, 4));
  QCOMPARE(grid->Col(), 3);
  QCOMPARE(grid->Row(), 4);
  Move(*grid, At(*grid, 5, 8));
  Move(*grid, At(*grid, 2, 6));
  Release(*grid, Qt::LeftButton, At(*grid, 2, 6));
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(2,4,3,6)"));
  QCOMPARE(grid->Col(), 3);  // the cursor stays where the drag began
  QCOMPARE(grid->Row(), 4);
  QCOMPARE(*log, (QStringList{"select 3 4", "col 3"}));
  // Another click moves the cursor again; in the same column there is no column change.
  Press(*grid, Qt::LeftButton, At(*grid, 3, 9));
  Release(*grid, Qt::LeftButton, At(*grid, 3, 9));
  QCOMPARE(*log, (QStringList{"select 3 4", "col 3", "select 3 9"}));
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(3,9,3,9)"));
}

void MyGridMouseTest::shiftClick_normalCell_extendsSelection() {
  auto grid = ShownGrid();
  Press(*grid, Qt::LeftButton, At(*grid, 2, 2));
  Release(*grid, Qt::LeftButton, At(*grid, 2, 2));
  Press(*grid, Qt::LeftButton, At(*grid, 4, 6), Qt::ShiftModifier);
  Release(*grid, Qt::LeftButton, At(*grid, 4, 6));
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(2,2,4,6)"));
  QCOMPARE(grid->Col(), 2);
}

void MyGridMouseTest::press_outsideAllCells_doesNothing() {
  auto grid = std::make_unique<TMyGrid2>();
  grid->resize(400, 400);
  grid->SetColCount(4);  // 164 pixels wide
  grid->SetRowCount(5);
  grid->SetLoopMarking(true);
  grid->show();
  QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
  QStringList* log = Record(*grid);
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
    Press(*grid, button, QPoint(300, 20));
    Release(*grid, button, QPoint(300, 20));
  }
  QCOMPARE(*log, QStringList{"loop"});  // only the middle button's release reports
  QCOMPARE(Str(grid->Selection()), QStringLiteral("(1,1,1,1)"));
}

void MyGridMouseTest::press_anyButton_focusesGrid() {
  auto grid = ShownGrid();
  grid->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(grid.get()));
  grid->clearFocus();
  QVERIFY(!grid->hasFocus());
  Press(*grid, Qt::RightButton, At(*grid, 5, 5));
  QVERIFY(grid->hasFocus());
}

QTEST_MAIN(MyGridMouseTest)
#include "my_grid_mouse_test.moc"
