// TMyGrid2: the painted pixels. Each colour rule is checked on the rendered viewport with a colour
// table whose 21 slots are all different; the play position repaints only its header cells.
#include <QPaintEvent>
#include <QTest>
#include <functional>
#include <memory>
#include <cmath>

#include "editor/my_grid.h"
#include "editor/readable_colors.h"

using varnel::TGridRect;
using varnel::TMyGrid2;
using C = varnel::TMyGrid2Colors;

namespace {

QColor SlotColour(int slot) {
  return QColor(20 + slot * 10, 230 - slot * 9, (slot * 67) % 256);
}

const QColor GridLine(1, 2, 3);
const QColor Background(250, 251, 252);

// 12 columns x 40 rows of 40 x 15 pixels, every slot a different colour.
std::unique_ptr<TMyGrid2> ShownGrid() {
  auto grid = std::make_unique<TMyGrid2>();
  grid->resize(600, 500);
  grid->SetColCount(12);
  grid->SetRowCount(40);
  C colors = grid->Colors();
  for (int slot = 0; slot < C::Count; ++slot) colors[slot] = SlotColour(slot);
  grid->SetColors(colors);
  grid->SetGridLineColor(GridLine);
  grid->SetBackgroundColor(Background);
  grid->show();
  grid->activateWindow();  // the focused cell needs an active window
  if (!QTest::qWaitForWindowActive(grid.get())) qWarning("grid window not active");
  return grid;
}

QImage Shot(TMyGrid2& grid) {
  return grid.viewport()->grab().toImage();
}

// A pixel of the cell's fill, away from its text and its edges.
QColor Fill(const QImage& image, const TMyGrid2& grid, int col, int row) {
  const QRect r = grid.CellRect(col, row);
  return image.pixelColor(r.right() - 2, r.bottom() - 2);
}

// How far p lies from `from` towards `to`, or -1 when it is off the line between them.
double Blend(const QColor& from, const QColor& to, const QColor& p) {
  const int d[3] = {to.red() - from.red(), to.green() - from.green(), to.blue() - from.blue()};
  const int q[3] = {p.red() - from.red(), p.green() - from.green(), p.blue() - from.blue()};
  int k = 0;
  for (int i = 1; i < 3; ++i)
    if (std::abs(d[i]) > std::abs(d[k])) k = i;
  const double a = double(q[k]) / d[k];
  for (int i = 0; i < 3; ++i)
    if (std::abs(q[i] - a * d[i]) > 4) return -1;
  return a;
}

// The regions of the paint events a widget receives while installed.
class PaintLog : public QObject {
 public:
  explicit PaintLog(QWidget* widget) : widget_(widget) {
    QTest::qWait(20);  // let pending repaints pass first
    widget_->installEventFilter(this);
  }
  ~PaintLog() override { widget_->removeEventFilter(this); }
  QList<QRegion> regions;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) regions << static_cast<QPaintEvent*>(e)->region();
    return false;
  }

 private:
  QWidget* widget_;
};

struct ColourCase {
  std::function<void(TMyGrid2&)> setup;
  int col;
  int row;
  int slot;  // expected fill slot
};

}  // namespace

Q_DECLARE_METATYPE(ColourCase)

class MyGridPaintTest : public QObject {
  Q_OBJECT

 private slots:
  void paint_cellFill_followsTheColourRules_data();
  void paint_cellFill_followsTheColourRules();
  void paint_focusedCell_usesFocusedColour();
  void paint_rowHighlight4_bandsRows1_5_9();
  void paint_middleDragLoop_paintsRowNumbersInLoopedColours();
  void paint_edges_linesFixedShrinkAndBandInset();
  void paint_text_insetClippedAndColoured_data();
  void paint_text_insetClippedAndColoured();
  void activeRow_change_repaintsOnlyHeaderCells();
  void cursor_insideSelection_framedInItsTextColour();
  void cursor_gridWithoutFocus_stillFramed();
  void contrast_minimum_movesOnlyUnreadableTexts();
  void texts_set_repaintOnlyShownChangedCells();
  void colours_setSameValue_noRepaint_otherValue_repaints();
};

void MyGridPaintTest::paint_cellFill_followsTheColourRules_data() {
  QTest::addColumn<ColourCase>("c");
  auto none = [](TMyGrid2&) {};
  auto select = [](TMyGrid2& g) { g.SetSelection({2, 3, 5, 8}); };
  QTest::newRow("normal cell") << ColourCase{none, 4, 6, C::CellColor};
  QTest::newRow("fixed row") << ColourCase{none, 4, 0, C::FixedColor};
  QTest::newRow("fixed column") << ColourCase{none, 0, 6, C::FixedColor};
  QTest::newRow("cursor with focus") << ColourCase{[](TMyGrid2& g) { g.setFocus(); }, 1, 1, C::FocusedColor};
  QTest::newRow("cursor with focus, DrawFocused off") << ColourCase{[](TMyGrid2& g) { g.setFocus(); g.SetDrawFocused(false); }, 1, 1, C::CellColor};
  QTest::newRow("selected") << ColourCase{select, 3, 4, C::SelectionColor};
  QTest::newRow("selected, DrawFocused off") << ColourCase{[&](TMyGrid2& g) { select(g); g.SetDrawFocused(false); }, 3, 4, C::CellColor};
  QTest::newRow("fixed selected") << ColourCase{[](TMyGrid2& g) { g.SetSelection({0, 3, 11, 3}); }, 0, 3, C::FixedSelectionColor};
  QTest::newRow("fixed selected, DrawFocused off") << ColourCase{[](TMyGrid2& g) { g.SetSelection({0, 3, 11, 3}); g.SetDrawFocused(false); }, 0, 3, C::FixedSelectionColor};
  QTest::newRow("fixed active row") << ColourCase{[](TMyGrid2& g) { g.SetActiveRow(6); }, 0, 6, C::FixedActiveColor};
  QTest::newRow("active row leaves data cells") << ColourCase{[](TMyGrid2& g) { g.SetActiveRow(6); }, 4, 6, C::CellColor};
  QTest::newRow("active beats selected and looped") << ColourCase{[](TMyGrid2& g) { g.SetActiveRow(6); g.SetSelection({0, 6, 11, 6}); g.SetLoopRect({0, 5, 0, 7}); }, 0, 6, C::FixedActiveColor};
  QTest::newRow("selected beats looped") << ColourCase{[](TMyGrid2& g) { g.SetSelection({0, 6, 11, 6}); g.SetLoopRect({0, 5, 0, 7}); }, 0, 6, C::FixedSelectionColor};
  QTest::newRow("looped fixed") << ColourCase{[](TMyGrid2& g) { g.SetLoopRect({0, 5, 0, 7}); }, 0, 7, C::LoopedFixedColor};
  QTest::newRow("loop ends included") << ColourCase{[](TMyGrid2& g) { g.SetLoopRect({0, 5, 0, 7}); }, 0, 5, C::LoopedFixedColor};
  QTest::newRow("loop with only a start marks nothing") << ColourCase{[](TMyGrid2& g) { g.SetLoopRect({0, 5, 0, -1}); }, 0, 5, C::FixedColor};
  QTest::newRow("outside the loop") << ColourCase{[](TMyGrid2& g) { g.SetLoopRect({0, 5, 0, 7}); }, 0, 8, C::FixedColor};
  QTest::newRow("looped data cell keeps cell colour") << ColourCase{[](TMyGrid2& g) { g.SetLoopRect({0, 5, 11, 7}); }, 4, 6, C::CellColor};
  QTest::newRow("odd column group") << ColourCase{[](TMyGrid2& g) { g.SetColumnGroup(4, 3); }, 4, 6, C::CellColor3};
  QTest::newRow("odd column group band") << ColourCase{[](TMyGrid2& g) { g.SetColumnGroup(4, 3); g.SetRowHighlight(4); }, 4, 5, C::CellColor4};
  QTest::newRow("even column group") << ColourCase{[](TMyGrid2& g) { g.SetColumnGroup(4, 2); g.SetRowHighlight(4); }, 4, 5, C::CellColor2};
  QTest::newRow("odd group, fixed row") << ColourCase{[](TMyGrid2& g) { g.SetColumnGroup(4, 1); }, 4, 0, C::FixedColor};
  QTest::newRow("odd group, selected") << ColourCase{[&](TMyGrid2& g) { select(g); g.SetColumnGroup(4, 1); }, 4, 4, C::SelectionColor};
  QTest::newRow("band, selected") << ColourCase{[&](TMyGrid2& g) { select(g); g.SetRowHighlight(4); }, 3, 5, C::SelectionColor};
}

void MyGridPaintTest::paint_cellFill_followsTheColourRules() {
  QFETCH(ColourCase, c);
  auto grid = ShownGrid();
  c.setup(*grid);
  QCOMPARE(Fill(Shot(*grid), *grid, c.col, c.row), SlotColour(c.slot));
}

void MyGridPaintTest::paint_focusedCell_usesFocusedColour() {
  auto grid = ShownGrid();
  grid->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(grid.get()));
  grid->setFocus();
  QVERIFY(grid->hasFocus());
  grid->SetCol(3);
  grid->SetRow(4);
  QTest::keyClick(grid.get(), Qt::Key_Down, Qt::ShiftModifier);
  QImage image = Shot(*grid);
  QCOMPARE(Fill(image, *grid, 3, 5), SlotColour(C::FocusedColor));
  QCOMPARE(Fill(image, *grid, 3, 4), SlotColour(C::SelectionColor));
  grid->SetDrawFocused(false);
  image = Shot(*grid);
  QCOMPARE(Fill(image, *grid, 3, 5), SlotColour(C::CellColor));
  grid->SetDrawFocused(true);
  grid->clearFocus();
  QCOMPARE(Fill(Shot(*grid), *grid, 3, 5), SlotColour(C::SelectionColor));
}

void MyGridPaintTest::paint_rowHighlight4_bandsRows1_5_9() {
  auto grid = ShownGrid();
  grid->SetRowHighlight(4);
  grid->SetCol(11);  // the cursor away from column 2
  const QImage image = Shot(*grid);
  for (int row = 1; row <= 12; ++row) {
    const bool band = row == 1 || row == 5 || row == 9;
    QCOMPARE(Fill(image, *grid, 2, row), SlotColour(band ? C::CellColor2 : C::CellColor));
  }
  QCOMPARE(Fill(image, *grid, 0, 5), SlotColour(C::FixedColor));  // fixed cells have no bands
  grid->SetRowHighlight(0);
  QCOMPARE(Fill(Shot(*grid), *grid, 2, 5), SlotColour(C::CellColor));
}

void MyGridPaintTest::paint_middleDragLoop_paintsRowNumbersInLoopedColours() {
  auto grid = ShownGrid();
  grid->SetLoopMarking(true);
  QTest::mousePress(grid->viewport(), Qt::MiddleButton, {}, grid->CellRect(0, 5).center());
  QTest::mouseMove(grid->viewport(), grid->CellRect(0, 9).center());
  QTest::mouseRelease(grid->viewport(), Qt::MiddleButton, {}, grid->CellRect(0, 9).center());
  const QImage image = Shot(*grid);
  for (int row = 3; row <= 11; ++row) {
    const bool looped = row >= 5 && row <= 9;
    QCOMPARE(Fill(image, *grid, 0, row), SlotColour(looped ? C::LoopedFixedColor : C::FixedColor));
    QCOMPARE(Fill(image, *grid, 4, row), SlotColour(C::CellColor));
  }
}

void MyGridPaintTest::paint_edges_linesFixedShrinkAndBandInset() {
  auto grid = ShownGrid();
  grid->SetRowHighlight(4);
  grid->SetCol(11);
  const QImage image = Shot(*grid);
  const QRect fixed = grid->CellRect(0, 3);
  QCOMPARE(image.pixelColor(fixed.left(), fixed.center().y()), SlotColour(C::FixedGridLineColor));
  QCOMPARE(image.pixelColor(fixed.center().x(), fixed.top()), SlotColour(C::FixedGridLineColor));
  QCOMPARE(image.pixelColor(fixed.left() + 1, fixed.top() + 1), SlotColour(C::FixedColor));
  QCOMPARE(image.pixelColor(fixed.right(), fixed.bottom()), SlotColour(C::FixedColor));
  const QRect band = grid->CellRect(2, 5);
  QCOMPARE(image.pixelColor(band.left(), band.center().y()), Background);
  QCOMPARE(image.pixelColor(band.center().x(), band.top()), Background);
  QCOMPARE(image.pixelColor(band.left() + 1, band.top() + 1), SlotColour(C::CellColor2));
  const QRect cell = grid->CellRect(2, 6);
  QCOMPARE(image.pixelColor(cell.left(), cell.top()), SlotColour(C::CellColor));
  // Lines between all cells, fixed or not; beyond the last column the background.
  QCOMPARE(image.pixelColor(cell.right() + 1, cell.center().y()), GridLine);
  QCOMPARE(image.pixelColor(cell.center().x(), cell.bottom() + 1), GridLine);
  QCOMPARE(image.pixelColor(fixed.right() + 1, fixed.center().y()), GridLine);
  QCOMPARE(image.pixelColor(fixed.center().x(), fixed.bottom() + 1), GridLine);
  const QRect last = grid->CellRect(11, 6);
  QCOMPARE(image.pixelColor(last.right() + 2, last.center().y()), Background);
}

void MyGridPaintTest::paint_text_insetClippedAndColoured_data() {
  QTest::addColumn<ColourCase>("c");
  QTest::addColumn<int>("fillSlot");
  QTest::addColumn<int>("edge");  // pixels at the left and top that are not the fill
  QTest::newRow("cell font") << ColourCase{[](TMyGrid2&) {}, 4, 6, C::CellFontColor} << int(C::CellColor) << 0;
  QTest::newRow("band font") << ColourCase{[](TMyGrid2& g) { g.SetRowHighlight(4); }, 4, 5, C::CellFontColor2}
                             << int(C::CellColor2) << 1;
  QTest::newRow("selection font") << ColourCase{[](TMyGrid2& g) { g.SetSelection({4, 6, 4, 6}); }, 4, 6, C::SelectionFontColor}
                                  << int(C::SelectionColor) << 0;
  QTest::newRow("focused font") << ColourCase{[](TMyGrid2& g) { g.SetCol(4); g.SetRow(6); }, 4, 6, C::FocusedFontColor}
                                << int(C::FocusedColor) << 0;
  QTest::newRow("fixed font") << ColourCase{[](TMyGrid2&) {}, 0, 6, C::FixedFontColor} << int(C::FixedColor) << 1;
  QTest::newRow("fixed selection font") << ColourCase{[](TMyGrid2& g) { g.SetSelection({0, 6, 11, 6}); }, 0, 6, C::FixedSelectionFontColor}
                                        << int(C::FixedSelectionColor) << 1;
  QTest::newRow("fixed active font") << ColourCase{[](TMyGrid2& g) { g.SetActiveRow(6); }, 0, 6, C::FixedActiveFontColor}
                                     << int(C::FixedActiveColor) << 1;
  QTest::newRow("looped fixed font") << ColourCase{[](TMyGrid2& g) { g.SetLoopRect({0, 6, 0, 6}); }, 0, 6, C::LoopedFixedFontColor}
                                     << int(C::LoopedFixedColor) << 1;
}

// Text pixels blend the text colour over the fill: each one lies on the line between the two.
// The text starts 3 pixels from the left and 2 from the top of the cell's fill rectangle (a
// fixed cell's rectangle lost a pixel to its edge), and a text too long for its cell stays in it.
void MyGridPaintTest::paint_text_insetClippedAndColoured() {
  QFETCH(ColourCase, c);
  QFETCH(int, fillSlot);
  QFETCH(int, edge);
  auto grid = ShownGrid();
  grid->SetCol(11);
  QFont font = grid->font();
  font.setPixelSize(12);
  grid->setFont(font);
  c.setup(*grid);
  const QColor fill = SlotColour(fillSlot);
  const QColor ink = SlotColour(c.slot);
  const int inset = c.col == 0 ? 1 : 0;  // only the fixed cell's text moves with its rectangle
  for (const QString& text : {QStringLiteral("H#5"), QString(20, QLatin1Char('W'))}) {
    grid->SetCellText(c.col, c.row, text);
    const QImage image = Shot(*grid);
    const QRect r = grid->CellRect(c.col, c.row);
    int strong = 0;
    for (int y = r.top() + edge; y <= r.bottom(); ++y)
      for (int x = r.left() + edge; x <= r.right(); ++x) {
        const double a = Blend(fill, ink, image.pixelColor(x, y));
        QVERIFY2(a > -0.05 && a < 1.05, qPrintable(QStringLiteral("%1: %2 at %3,%4 is not the text colour")
                                                       .arg(text, image.pixelColor(x, y).name())
                                                       .arg(x - r.left())
                                                       .arg(y - r.top())));
        if (a < 0.05) continue;
        QVERIFY2(x >= r.left() + inset + 3 && y >= r.top() + inset + 2,
                 qPrintable(QStringLiteral("%1: ink at %2,%3").arg(text).arg(x - r.left()).arg(y - r.top())));
        if (a > 0.6) ++strong;
      }
    QVERIFY(strong >= 5);
    // Nothing reaches the line or the next cell.
    for (int y = r.top() + edge; y <= r.bottom(); ++y) {
      QCOMPARE(image.pixelColor(r.right() + 1, y), GridLine);
      QCOMPARE(image.pixelColor(r.right() + 3, y), image.pixelColor(r.right() + 3, r.bottom() - 1));
    }
  }
}

void MyGridPaintTest::activeRow_change_repaintsOnlyHeaderCells() {
  auto grid = ShownGrid();
  PaintLog log(grid->viewport());
  grid->SetActiveRow(3);
  QTRY_COMPARE(log.regions.size(), 1);
  QCOMPARE(log.regions[0], QRegion(grid->CellRect(0, 3)));
  log.regions.clear();
  grid->SetActiveRow(7);
  QTRY_COMPARE(log.regions.size(), 1);
  QCOMPARE(log.regions[0], QRegion(grid->CellRect(0, 3)) | QRegion(grid->CellRect(0, 7)));
  log.regions.clear();
  grid->SetActiveRow(7);
  grid->SetActiveRow(0);
  QTRY_COMPARE(log.regions.size(), 1);
  QCOMPARE(log.regions[0], QRegion(grid->CellRect(0, 7)));
}

void MyGridPaintTest::texts_set_repaintOnlyShownChangedCells() {
  auto grid = ShownGrid();
  PaintLog log(grid->viewport());
  grid->SetCellText(3, 4, QStringLiteral("C-5"));
  grid->SetCellText(5, 6, QStringLiteral("D#5"));
  QTRY_COMPARE(log.regions.size(), 1);
  QCOMPARE(log.regions[0].boundingRect(), grid->CellRect(3, 4) | grid->CellRect(5, 6));
  log.regions.clear();
  grid->SetCellText(3, 4, QStringLiteral("C-5"));  // unchanged
  grid->SetCellText(3, 39, QStringLiteral("E-5"));  // below the view
  QVERIFY(grid->CellRect(3, 39).isEmpty());
  QTest::qWait(50);
  QCOMPARE(log.regions.size(), 0);
}

void MyGridPaintTest::colours_setSameValue_noRepaint_otherValue_repaints() {
  auto grid = ShownGrid();
  PaintLog log(grid->viewport());
  grid->SetColor(C::CellColor, SlotColour(C::CellColor));
  grid->SetColors(grid->Colors());
  QTest::qWait(50);
  QCOMPARE(log.regions.size(), 0);
  grid->SetColor(C::CellColor, Qt::green);
  QTRY_COMPARE(log.regions.size(), 1);
  QCOMPARE(log.regions[0], QRegion(grid->viewport()->rect()));
  QCOMPARE(Fill(Shot(*grid), *grid, 4, 6), QColor(Qt::green));
  TMyGrid2 other;
  other.SetColors(grid->Colors());
  QVERIFY(other.Colors() == grid->Colors());
}

// Where the cursor and the selection share a fill, a frame in the cursor's text colour tells the
// cursor apart; cells around it keep the selection's fill.
void MyGridPaintTest::cursor_insideSelection_framedInItsTextColour() {
  auto grid = ShownGrid();
  C colors = grid->Colors();
  colors[C::FocusedColor] = colors[C::SelectionColor];
  grid->SetColors(colors);
  grid->setFocus();
  QTRY_VERIFY(grid->hasFocus());
  grid->SetCol(4);
  grid->SetRow(6);
  grid->SetSelection({3, 5, 5, 7});
  const QImage image = Shot(*grid);
  const QRect cell = grid->CellRect(4, 6);
  QCOMPARE(image.pixelColor(cell.left(), cell.center().y()), SlotColour(C::FocusedFontColor));
  QCOMPARE(image.pixelColor(cell.left() + 1, cell.center().y()), SlotColour(C::FocusedFontColor));
  QCOMPARE(image.pixelColor(cell.center().x(), cell.top()), SlotColour(C::FocusedFontColor));
  const QRect beside = grid->CellRect(3, 6);
  QCOMPARE(image.pixelColor(beside.left(), beside.center().y()), SlotColour(C::SelectionColor));
  // Alone (no selection around it) the focused cursor needs no frame.
  grid->SetRow(9);
  QTRY_VERIFY(grid->hasFocus());
  const QImage alone = Shot(*grid);
  const QRect single = grid->CellRect(4, 9);
  QCOMPARE(alone.pixelColor(single.left() + 1, single.center().y()), colors[C::FocusedColor]);
}

// A grid that lost the keys (the other grid of split view, a field being typed in) still shows
// where its cursor is, hollow: a frame in the text colour around the cell's own fill, so it is
// told apart from the filled cursor of the grid with the keys.
void MyGridPaintTest::cursor_gridWithoutFocus_stillFramed() {
  auto grid = ShownGrid();
  grid->SetCol(4);
  grid->SetRow(6);
  grid->clearFocus();
  QTRY_VERIFY(!grid->hasFocus());
  const QImage image = Shot(*grid);
  const QRect cell = grid->CellRect(4, 6);
  const QColor frame = image.pixelColor(cell.left() + 1, cell.center().y());
  QCOMPARE(image.pixelColor(cell.center()), SlotColour(C::CellColor));
  QVERIFY(frame != image.pixelColor(cell.center()));
  QCOMPARE(frame, grid->TextColor(C::CellFontColor, C::CellColor));
  // A selection of more cells keeps its fill without the keys.
  grid->SetSelection({3, 5, 5, 7});
  const QImage selected = Shot(*grid);
  QCOMPARE(selected.pixelColor(grid->CellRect(3, 6).center()), SlotColour(C::SelectionColor));
}

// With a minimum contrast the grid draws each text in the nearest colour that reads on its fill;
// texts that already read keep their slot's colour.
void MyGridPaintTest::contrast_minimum_movesOnlyUnreadableTexts() {
  auto grid = ShownGrid();
  C colors = grid->Colors();
  colors[C::CellColor] = QColor(0x41, 0x74, 0xAB);
  colors[C::CellColor3] = QColor(0x49, 0x7C, 0xB3);
  colors[C::CellFontColor] = QColor(Qt::white);
  grid->SetColors(colors);
  QCOMPARE(grid->TextColor(C::CellFontColor, C::CellColor3), QColor(Qt::white));  // off: as the slot says
  grid->SetMinimumContrast(4.5);
  QCOMPARE(grid->TextColor(C::CellFontColor, C::CellColor), QColor(Qt::white));  // 4.9:1 already
  const QColor odd = grid->TextColor(C::CellFontColor, C::CellColor3);           // 4.4:1: moved
  QVERIFY(odd != QColor(Qt::white));
  QVERIFY(varnel::ContrastRatio(odd, colors[C::CellColor3]) >= 4.5);
  QCOMPARE(grid->Colors()[C::CellFontColor], QColor(Qt::white));  // the slot itself stays
}

QTEST_MAIN(MyGridPaintTest)
#include "my_grid_paint_test.moc"
