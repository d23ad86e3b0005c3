// The template frame on a real main window: its place and toggles, presets and painting that step
// the editor's cursor and drop note-offs, loading from a track, expand and shrink.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

#include "app/template_frame.h"
#include "main_window_rig.h"

using namespace varnel;
using varnel::test::WindowRig;

namespace {

constexpr int C4 = 48;

void Fresh(WindowRig& rig, int channels, int rows) {
  rig.Song().Reset(channels, rows, true);
  rig.window->PrepareEditor();
}

TAddFrame& Frame(WindowRig& rig) { return *rig.window->AddFrame(); }

// Chooses a preset as the user does: the list's item activated.
void ChoosePreset(TAddFrame& f, const QString& preset) {
  const int index = f.ComboBox1->findText(preset);
  QVERIFY(index > 0);
  f.ComboBox1->setCurrentIndex(index);
  emit f.ComboBox1->activated(index);
}

// Clicks template row `row` (0-based) with a mouse button.
void PaintRow(TAddFrame& f, int row, Qt::MouseButton button) {
  const QRect cell = f.Grid->CellRect(1, row + 1);
  QVERIFY2(!cell.isEmpty(), "template row not shown");
  QTest::mouseClick(f.Grid->viewport(), button, {}, cell.center());
}

// The template's shown rows as text: "X", "-" or "." per row.
QString Marks(const TAddFrame& f) {
  QString out;
  for (int r = 1; r < f.Grid->RowCount(); ++r) {
    const QString t = f.Grid->CellText(1, r);
    out += t == QLatin1String(" X") ? QLatin1Char('X') : t == QLatin1String(" -") ? QLatin1Char('-') : QLatin1Char('.');
  }
  return out;
}

// Types a note in the pattern grid and returns the pattern row the cursor moved to.
int TypeNote(WindowRig& rig) {
  QTest::simulateEvent(&rig.G1(), true, Qt::Key_Z, {}, QString(), false);
  QTest::simulateEvent(&rig.G1(), false, Qt::Key_Z, {}, QString(), false);
  return rig.G1().Row() - 1;
}

}  // namespace

class TemplateFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void frame_rightOfEditorBehindSplitter_toggledByViewAndX();
  void preset_0_3_6_cursorStepsThroughTemplateInEditor();
  void painting_threeButtons_noteOffPlacedWherePassed();
  void addField_change_unchecksUse_andTemplateWithoutXStepsByAdd();
  void load_repeatingTrack_packsToSixteenRows();
  void expandShrink_throughMenuButton_roundTripAndRefusals();
  void spdAndHex_followInTemplateGrid();
};

void TemplateFrameTest::frame_rightOfEditorBehindSplitter_toggledByViewAndX() {
  WindowRig rig;
  TAddFrame& f = Frame(rig);
  auto* split = qobject_cast<QSplitter*>(f.parentWidget());
  QVERIFY(split);
  QVERIFY(split->indexOf(&f) > split->indexOf(rig.window->Frame()));
  QVERIFY(f.isVisible());
  // The design's width, or what its title "Add template" needs in the font at hand.
  QCOMPARE(f.width(), std::max(TAddFrame::FrameWidth, f.minimumSizeHint().width()));
  QVERIFY(f.Title->width() >= f.Title->fontMetrics().horizontalAdvance(f.Title->text()));
  QVERIFY(rig.window->Action("AddTemplate")->isChecked());
  QVERIFY(rig.window->Action("AddTemplate")->isEnabled());
  QCOMPARE(f.udLen->Value(), 16);
  QCOMPARE(f.Grid->RowCount(), 17);

  f.SetUseInEditor(true);
  rig.Trigger("AddTemplate");
  QVERIFY(!f.isVisible());
  QVERIFY(!f.UseInEditor());
  rig.Trigger("AddTemplate");
  QVERIFY(f.isVisible());

  f.SetUseInEditor(true);
  QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
  QVERIFY(!f.isVisible());
  QVERIFY(!f.UseInEditor());
  QVERIFY(!rig.window->Action("AddTemplate")->isChecked());
}

void TemplateFrameTest::preset_0_3_6_cursorStepsThroughTemplateInEditor() {
  WindowRig rig;
  Fresh(rig, 2, 32);
  TAddFrame& f = Frame(rig);
  ChoosePreset(f, "0-3-6");
  QVERIFY(f.UseInEditor());
  QCOMPARE(Marks(f), QStringLiteral("X..X..X.X..X..X."));

  rig.G1().setFocus();
  QList<int> rows;
  for (int i = 0; i < 7; ++i) rows << TypeNote(rig);
  QCOMPARE(rows, (QList<int>{3, 6, 8, 11, 14, 16, 19}));
  QCOMPARE(rig.Song().GetCellData(0, 0), C4);
  QCOMPARE(rig.Song().GetCellData(0, 14), C4);
  QCOMPARE(rig.Song().GetCellData(0, 1), CellEmpty);  // no note-offs in this template

  // "2-6-10-14-15" on 32 rows: blocks of 16.
  f.udLen->SetValue(32);
  ChoosePreset(f, "2-6-10-14-15");
  QCOMPARE(Marks(f), QStringLiteral("..X...X...X...XX..X...X...X...XX"));
  rig.G1().SetRow(31 + 1);  // the pattern's last row: the next X is row 2 of the next turn, the top
  QCOMPARE(TypeNote(rig), 2);
}

void TemplateFrameTest::painting_threeButtons_noteOffPlacedWherePassed() {
  WindowRig rig;
  Fresh(rig, 2, 16);
  TAddFrame& f = Frame(rig);
  f.udLen->SetValue(4);
  QCOMPARE(Marks(f), QStringLiteral("...."));
  PaintRow(f, 0, Qt::LeftButton);
  QVERIFY(f.UseInEditor());  // pressing on the grid checks it
  PaintRow(f, 2, Qt::MiddleButton);
  PaintRow(f, 3, Qt::LeftButton);
  PaintRow(f, 3, Qt::RightButton);
  QCOMPARE(Marks(f), QStringLiteral("X.-."));
  QCOMPARE(f.Template().Row(2), int(RhythmTemplate::NoteOff));

  // A drag paints every row it crosses.
  QWidget* port = f.Grid->viewport();
  QTest::mousePress(port, Qt::LeftButton, {}, f.Grid->CellRect(1, 2).center());
  QMouseEvent move(QEvent::MouseMove, QPointF(f.Grid->CellRect(1, 4).center()), port->mapToGlobal(QPointF(f.Grid->CellRect(1, 4).center())),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(port, &move);
  QTest::mouseRelease(port, Qt::LeftButton, {}, f.Grid->CellRect(1, 4).center());
  QCOMPARE(Marks(f), QStringLiteral("XX-X"));
  PaintRow(f, 1, Qt::RightButton);
  PaintRow(f, 3, Qt::RightButton);
  QCOMPARE(Marks(f), QStringLiteral("X.-."));

  // Cursor on row 0 of a note track: the note goes in, a note-off on row 2, the cursor to row 4.
  rig.G1().setFocus();
  rig.G1().SetRow(1);
  QCOMPARE(TypeNote(rig), 4);
  QCOMPARE(rig.Song().GetCellData(0, 0), C4);
  QCOMPARE(rig.Song().GetCellData(0, 2), CellNoteOff);
  QCOMPARE(rig.G1().CellText(1, 3), QStringLiteral(" - "));
  // At the end of the pattern the note-off goes where the cursor passes after coming round.
  PaintRow(f, 0, Qt::MiddleButton);
  PaintRow(f, 1, Qt::LeftButton);
  PaintRow(f, 2, Qt::RightButton);
  QCOMPARE(Marks(f), QStringLiteral("-X.."));
  rig.G1().SetRow(13 + 1);
  QCOMPARE(TypeNote(rig), 1);
  QCOMPARE(rig.Song().GetCellData(0, 13), C4);
  QCOMPARE(rig.Song().GetCellData(0, 0), CellNoteOff);
  // No note-offs on a track that takes no notes; Delete steps by the template too.
  QVERIFY(rig.Song().AddTrack(0, ttVelocity, -1, -1));
  rig.window->PrepareEditor();
  rig.G1().SetCol(2);
  rig.G1().SetRow(5 + 1);
  QTest::keyClick(&rig.G1(), Qt::Key_Delete);
  QCOMPARE(rig.G1().Row() - 1, 9);
  QCOMPARE(rig.Song().GetCellData(1, 8), CellEmpty);
}

void TemplateFrameTest::addField_change_unchecksUse_andTemplateWithoutXStepsByAdd() {
  WindowRig rig;
  Fresh(rig, 2, 32);
  TAddFrame& f = Frame(rig);
  ChoosePreset(f, "0-3-6");
  QVERIFY(f.UseInEditor());
  rig.Props().Add->SetValue(2);
  QVERIFY(!f.UseInEditor());
  rig.G1().setFocus();
  QCOMPARE(TypeNote(rig), 2);

  // Checked, but without an X: the "Add." step.
  f.udLen->SetValue(4);
  ChoosePreset(f, "0-1-2");
  PaintRow(f, 0, Qt::RightButton);
  PaintRow(f, 1, Qt::MiddleButton);
  PaintRow(f, 2, Qt::RightButton);
  QCOMPARE(Marks(f), QStringLiteral(".-.."));
  QVERIFY(f.UseInEditor());
  rig.G1().SetRow(1);
  QCOMPARE(TypeNote(rig), 2);
  QCOMPARE(rig.Song().GetCellData(0, 1), CellEmpty);
}

void TemplateFrameTest::load_repeatingTrack_packsToSixteenRows() {
  WindowRig rig;
  Fresh(rig, 2, 64);
  for (int r = 0; r < 64; r += 16) {
    rig.Song().SetCellData(1, r, C4);
    rig.Song().SetCellData(1, r + 4, CellNoteOff);
    rig.Song().SetCellData(1, r + 8, 60);
  }
  rig.window->PrepareEditor();
  rig.G1().SetCol(2);
  TAddFrame& f = Frame(rig);
  QTest::mouseClick(f.Button1, Qt::LeftButton);
  QCOMPARE(f.udLen->Value(), 16);
  QCOMPARE(Marks(f), QStringLiteral("X...-...X......."));
  QVERIFY(f.UseInEditor());
  QVERIFY(rig.window->Frame()->isAncestorOf(QApplication::focusWidget()));

  // A pattern of 4 rows packs below the field's own limit, and the field shows it.
  Fresh(rig, 2, 4);
  rig.Song().SetCellData(0, 0, C4);
  rig.Song().SetCellData(0, 2, C4);
  rig.G1().SetCol(1);
  QTest::mouseClick(f.Button1, Qt::LeftButton);
  QCOMPARE(f.udLen->Value(), 2);
  QCOMPARE(Marks(f), QStringLiteral("X."));
  rig.G1().SetRow(1);
  QCOMPARE(TypeNote(rig), 2);
}

void TemplateFrameTest::expandShrink_throughMenuButton_roundTripAndRefusals() {
  WindowRig rig;
  TAddFrame& f = Frame(rig);
  ChoosePreset(f, "0-3-6");
  PaintRow(f, 7, Qt::MiddleButton);
  const QString before = Marks(f);
  QTest::mouseClick(f.Button2, Qt::LeftButton);
  QVERIFY(f.PopupMenu1->isVisible());
  f.Expand2->trigger();
  f.PopupMenu1->hide();
  QCOMPARE(f.udLen->Value(), 32);
  QCOMPARE(f.Grid->RowCount(), 33);
  QCOMPARE(Marks(f).left(16), QStringLiteral("X.....X.....X.-."));
  f.Shrink2->trigger();
  QCOMPARE(Marks(f), before);
  f.Expand3->trigger();
  QCOMPARE(f.udLen->Value(), 48);
  f.Shrink3->trigger();
  QCOMPARE(Marks(f), before);
  QVERIFY(rig.dialogs.messages.isEmpty());

  f.udLen->SetValue(129);
  f.Expand2->trigger();
  QCOMPARE(rig.dialogs.messages, QStringList{"Cannot expand template, rows > 128"});
  QCOMPARE(f.udLen->Value(), 129);
  f.udLen->SetValue(86);
  f.Expand3->trigger();
  QCOMPARE(rig.dialogs.messages.last(), QStringLiteral("Cannot expand template, rows > 85"));

  f.udLen->SetValue(4);
  f.Shrink4->trigger();
  QCOMPARE(f.udLen->Value(), 1);
  QCOMPARE(f.Grid->RowCount(), 2);
  f.Shrink4->trigger();
  QCOMPARE(rig.dialogs.messages.last(), QStringLiteral("Cannot shrink template, rows < 1"));
  QCOMPARE(f.udLen->Value(), 1);
}

void TemplateFrameTest::spdAndHex_followInTemplateGrid() {
  WindowRig rig;
  TAddFrame& f = Frame(rig);
  QCOMPARE(f.Grid->RowHighlight(), 4);
  rig.Props().Spd->SetValue(3);
  QCOMPARE(f.Grid->RowHighlight(), 3);
  f.udLen->SetValue(32);
  QCOMPARE(f.Grid->CellText(0, 11), QStringLiteral("10"));
  rig.window->Frame()->Options().rowNumberFormat = 1;
  rig.window->PrepareEditor();
  QCOMPARE(f.Grid->CellText(0, 11), QStringLiteral("0A"));
  QCOMPARE(f.Grid->RowHighlight(), rig.Song().SPD);
}

QTEST_MAIN(TemplateFrameTest)
#include "template_frame_test.moc"
