// The chords dialog and the fill dialog on a real main window: the boxes chosen in the dialog make
// the chord tracks of Shift+note, and the fill writes the worked examples into the selection.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/chords_dialog.h"
#include "app/fill_dialog.h"
#include "main_window_rig.h"

using namespace varnel;
using varnel::test::WindowRig;

namespace {

constexpr int C4 = 48, E4 = 52, G4 = 55, C5 = 60;

void Fresh(WindowRig& rig, int channels, int rows) {
  rig.Song().Reset(channels, rows, true);
  rig.window->PrepareEditor();
}

void SelectCells(TMyGrid2& grid, int firstTrack, int firstRow, int lastTrack, int lastRow) {
  grid.SetCol(firstTrack + 1);
  grid.SetRow(firstRow + 1);
  grid.SetSelection({firstTrack + 1, firstRow + 1, lastTrack + 1, lastRow + 1});
}

// Opens a modal dialog with `open` and lets `act` work on it while it runs; the dialog is
// cancelled afterwards if `act` left it open. False when the dialog never showed.
bool WhileModal(QDialog* dialog, const std::function<void()>& open, const std::function<void()>& act) {
  bool shown = false;
  QTimer timer;  // gone with this call, should the dialog never run
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, dialog, [&] {
    shown = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
    act();
    if (dialog->isVisible()) dialog->reject();
  });
  timer.start(0);
  open();
  return shown;
}

QList<int> Column(WindowRig& rig, int track, int firstRow, int lastRow) {
  QList<int> out;
  for (int r = firstRow; r <= lastRow; ++r) out << rig.Song().GetCellData(track, r);
  return out;
}

struct Fill {
  int from = 0, to = 127;
  QString method = "Linear", count = "1";
  bool pingPong = false, notOverwrite = false, random = false;
};

// Runs the fill dialog through Ctrl+F with these fields and OK; true when it closed.
bool RunFill(WindowRig& rig, const Fill& fill) {
  TFillForm* form = rig.window->FillForm();
  // Focus comes back to the main window after a dialog, as it would on a desktop.
  QApplication::setActiveWindow(rig.window.get());
  bool closed = false;
  const bool shown = WhileModal(
      form, [&] { QTest::keyClick(&rig.G1(), Qt::Key_F, Qt::ControlModifier); },
      [&] {
        form->From->setValue(fill.from);
        form->To->setValue(fill.to);
        form->Method->setCurrentText(fill.method);
        form->Count->setCurrentText(fill.count);
        form->PingPong->setChecked(fill.pingPong);
        form->NotOverwrite->setChecked(fill.notOverwrite);
        form->UseRandom->setChecked(fill.random);
        QTest::mouseClick(form->OkButton, Qt::LeftButton);
        closed = !form->isVisible();
      });
  return shown && closed;
}

}  // namespace

class ChordsFillTest : public QObject {
  Q_OBJECT

 private slots:
  void chordsDialog_defaults_thirdAndFifth();
  void chordsDialog_boxesChosen_shiftNoteMakesThoseChordTracks();
  void fill_linear0to127_givesWorkedValues();
  void fill_sinAndOneMinusSin_rows();
  void fill_countPingPongLimitsAndPercent();
  void fill_invalidRange_messageAndNothingChanges();
  void fill_badCountOrRandomRange_refusedDialogStaysOpen();
};

void ChordsFillTest::chordsDialog_defaults_thirdAndFifth() {
  WindowRig rig;
  TChordsForm* form = rig.window->ChordsForm();
  QCOMPARE(form->windowTitle(), QStringLiteral("Chords settings"));
  const char* captions[] = {"3  - E3", "5 - G3", "8 - C4", "10 - E4", "12 - G4", "15 - C5", "22 - C6", "29 - C7"};
  for (int i = 0; i < 8; ++i) {
    QCOMPARE(form->CheckBoxes[size_t(i)]->text(), QString::fromLatin1(captions[i]));
    QCOMPARE(form->CheckBoxes[size_t(i)]->isChecked(), i < 2);
  }
  QVERIFY(form->CheckBoxes[7]->isHidden());
  QCOMPARE(rig.window->Frame()->Options().chordBoxes, 0x3u);
  QVERIFY(rig.window->Action("ChordsSettings")->isEnabled());
}

void ChordsFillTest::chordsDialog_boxesChosen_shiftNoteMakesThoseChordTracks() {
  WindowRig rig;
  Fresh(rig, 2, 32);
  TChordsForm* form = rig.window->ChordsForm();
  const bool shown = WhileModal(form, [&] { rig.Trigger("ChordsSettings"); }, [&] {
    form->CheckBoxes[1]->click();  // the fifth off
    form->CheckBoxes[2]->click();  // the octave on
    QTest::mouseClick(form->OkButton, Qt::LeftButton);
  });
  QVERIFY(shown);
  QVERIFY(!form->isVisible());

  rig.backend.Recorder().Clear();
  rig.G1().setFocus();
  QTest::simulateEvent(&rig.G1(), true, Qt::Key_Z, Qt::ShiftModifier, QString(), false);
  QCOMPARE(rig.Sent(), (QStringList{"90 30 64", "90 34 64", "90 3C 64"}));
  QCOMPARE(rig.Song().TracksCount(), 4);
  QCOMPARE(rig.Song().GetTrackChannel(1), 0);
  QCOMPARE(rig.Song().GetTrackChannel(2), 0);
  QCOMPARE(Column(rig, 0, 0, 0), QList<int>{C4});
  QCOMPARE(Column(rig, 1, 0, 0), QList<int>{E4});
  QCOMPARE(Column(rig, 2, 0, 0), QList<int>{C5});
  QCOMPARE(rig.G1().CellText(3, 1), QStringLiteral("C-5"));
  QTest::simulateEvent(&rig.G1(), false, Qt::Key_Z, Qt::ShiftModifier, QString(), false);

  // The boxes act at once, without the dialog: back to third and fifth.
  form->SetBoxes(0x3);
  rig.G1().SetCol(1);
  rig.G1().SetRow(2);
  QTest::simulateEvent(&rig.G1(), true, Qt::Key_Z, Qt::ShiftModifier, QString(), false);
  QTest::simulateEvent(&rig.G1(), false, Qt::Key_Z, Qt::ShiftModifier, QString(), false);
  QCOMPARE(Column(rig, 1, 1, 1), QList<int>{E4});
  QCOMPARE(Column(rig, 2, 1, 1), QList<int>{G4});
}

void ChordsFillTest::fill_linear0to127_givesWorkedValues() {
  WindowRig rig;
  Fresh(rig, 2, 32);
  QVERIFY(rig.window->Action("Fill")->isEnabled());
  QCOMPARE(rig.window->Action("Fill")->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
  rig.SetModified(false);
  SelectCells(rig.G1(), 0, 0, 0, 4);
  QVERIFY(RunFill(rig, {.from = 0, .to = 127}));
  QCOMPARE(Column(rig, 0, 0, 5), (QList<int>{0, 32, 63, 95, 127, CellEmpty}));
  QCOMPARE(rig.G1().CellText(1, 3), QStringLiteral("D#5"));  // 63 shown as a note on a note track
  QVERIFY(rig.Modified());
  QVERIFY(rig.dialogs.messages.isEmpty());
}

void ChordsFillTest::fill_sinAndOneMinusSin_rows() {
  WindowRig rig;
  Fresh(rig, 2, 32);
  SelectCells(rig.G1(), 0, 0, 0, 2);
  QVERIFY(RunFill(rig, {.from = 0, .to = 100, .method = "Sin"}));
  QCOMPARE(Column(rig, 0, 0, 2), (QList<int>{0, 71, 100}));
  SelectCells(rig.G1(), 1, 10, 1, 12);
  QVERIFY(RunFill(rig, {.from = 0, .to = 100, .method = "1-Sin"}));
  QCOMPARE(Column(rig, 1, 10, 12), (QList<int>{0, 29, 100}));
}

void ChordsFillTest::fill_countPingPongLimitsAndPercent() {
  WindowRig rig;
  Fresh(rig, 2, 32);
  SelectCells(rig.G1(), 0, 0, 0, 8);
  QVERIFY(RunFill(rig, {.from = 0, .to = 80, .count = "2"}));
  QCOMPARE(Column(rig, 0, 0, 8), (QList<int>{0, 20, 40, 60, 80, 20, 40, 60, 80}));
  SelectCells(rig.G1(), 1, 0, 1, 8);
  QVERIFY(RunFill(rig, {.from = 0, .to = 80, .pingPong = true}));
  QCOMPARE(Column(rig, 1, 0, 8), (QList<int>{0, 20, 40, 60, 80, 60, 40, 20, 0}));

  // 400 on a controller-like track stores 127, on a tempo track 255.
  SelectCells(rig.G1(), 0, 20, 0, 21);
  QVERIFY(RunFill(rig, {.from = 400, .to = 400}));
  QCOMPARE(Column(rig, 0, 20, 21), (QList<int>{127, 127}));
  QVERIFY(rig.Song().AddTrack(1, ttTempo, -1, -1));
  rig.window->PrepareEditor();
  SelectCells(rig.G1(), 2, 0, 2, 1);
  QVERIFY(RunFill(rig, {.from = 400, .to = 400}));
  QCOMPARE(Column(rig, 2, 0, 1), (QList<int>{255, 255}));

  // "Not overwrite existing", 50 to 50: every value halves, the empty 128 included.
  SelectCells(rig.G1(), 0, 0, 0, 2);
  QVERIFY(RunFill(rig, {.from = 50, .to = 50, .notOverwrite = true}));
  QCOMPARE(Column(rig, 0, 0, 2), (QList<int>{0, 10, 20}));
  SelectCells(rig.G1(), 0, 25, 0, 26);
  QVERIFY(RunFill(rig, {.from = 50, .to = 50, .notOverwrite = true}));
  QCOMPARE(Column(rig, 0, 25, 26), (QList<int>{64, 64}));

  // Random values stay within From..To.
  SelectCells(rig.G1(), 1, 0, 1, 31);
  QVERIFY(RunFill(rig, {.from = 10, .to = 20, .random = true}));
  for (int v : Column(rig, 1, 0, 31)) QVERIFY2(v >= 10 && v <= 20, qPrintable(QString::number(v)));
}

void ChordsFillTest::fill_invalidRange_messageAndNothingChanges() {
  WindowRig rig;
  Fresh(rig, 2, 32);
  rig.SetModified(false);
  SelectCells(rig.G1(), 0, 0, 1, 4);
  QVERIFY(RunFill(rig, {}));
  QCOMPARE(rig.dialogs.messages, QStringList{"Invalid range"});
  SelectCells(rig.G1(), 0, 3, 0, 3);
  QVERIFY(RunFill(rig, {}));
  QCOMPARE(rig.dialogs.messages.size(), 2);
  QCOMPARE(rig.dialogs.messages.last(), QStringLiteral("Invalid range"));
  QCOMPARE(Column(rig, 0, 0, 4), (QList<int>{CellEmpty, CellEmpty, CellEmpty, CellEmpty, CellEmpty}));
  QVERIFY(!rig.Modified());
}

void ChordsFillTest::fill_badCountOrRandomRange_refusedDialogStaysOpen() {
  WindowRig rig;
  Fresh(rig, 2, 32);
  SelectCells(rig.G1(), 0, 0, 0, 4);
  QVERIFY(!RunFill(rig, {.count = "two"}));
  QCOMPARE(rig.dialogs.messages, QStringList{"Count must be a whole number"});
  QVERIFY(!RunFill(rig, {.from = 90, .to = 10, .random = true}));
  QCOMPARE(rig.dialogs.messages.last(), QStringLiteral("For random values To must not be below From"));
  QCOMPARE(Column(rig, 0, 0, 4), (QList<int>{CellEmpty, CellEmpty, CellEmpty, CellEmpty, CellEmpty}));
  // A falling ramp is fine without random values.
  QVERIFY(RunFill(rig, {.from = 90, .to = 10}));
  QCOMPARE(Column(rig, 0, 0, 4), (QList<int>{90, 70, 50, 30, 10}));
}

QTEST_MAIN(ChordsFillTest)
#include "chords_fill_test.moc"
