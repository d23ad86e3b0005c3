// The pattern-shaping commands through their menu actions and tool-bar buttons on a real main
// window (quantize, note lengths, expand, shrink), and the long hints on status panel 0.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/main_window_menus.h"
#include "main_window_rig.h"

using namespace varnel;
using varnel::test::WindowRig;

namespace {

using Cells = QMap<int, int>;  // row -> value of the non-empty cells of a track
constexpr int Off = CellNoteOff;

// A fresh song shown in the window: `channels` note tracks, one pattern of `rows` rows.
void Fresh(WindowRig& rig, int channels, int rows) {
  rig.Song().Reset(channels, rows, true);
  rig.window->PrepareEditor();
}

void Put(WindowRig& rig, int track, const Cells& cells) {
  for (auto it = cells.begin(); it != cells.end(); ++it) rig.Song().SetCellData(track, it.key(), it.value());
}

// Every non-empty cell of the track in the current pattern, hidden rows included.
Cells Get(WindowRig& rig, int track) {
  Cells out;
  const TVNSong& s = rig.Song();
  const int empty = EmptyValue(s.TrackType(track));
  for (int r = 0; r < RowsPerPattern; ++r)
    if (s.CellData(s.CurrentPattern, track, r) != empty) out[r] = s.CellData(s.CurrentPattern, track, r);
  return out;
}

// The pattern length as the song, the "Len." field (which starts at 4) and the pattern grid (plus
// its header row) show it.
void CheckRows(WindowRig& rig, int rows) {
  QCOMPARE(rig.Song().GetLastRow() + 1, rows);
  QCOMPARE(rig.Props().Len->Value(), std::max(rows, 4));
  QCOMPARE(rig.G1().RowCount(), rows + 1);
}

void CursorOnTrack(WindowRig& rig, int track) { rig.G1().SetCol(track + 1); }

}  // namespace

class MainWindowShapeTest : public QObject {
  Q_OBJECT

 private slots:
  void shrink2_64Rows_keepsEvenOrOddRowAndHalvesLength();
  void shrink_3Rows_refusedWithMessage();
  void shrink3_noteInRow5_landsInRow2();
  void expand2_128Rows_gives256_129Refused();
  void expand_answeredNo_orWarningsDisabled();
  void quantizeTrack_rows1And63_wrapAndMove();
  void quantizeChannel_everyNoteTrackOfCursorChannel();
  void notesLength_track_L2AndFromNextL1OnEmptyTrack();
  void notesLength_channel_everyNoteTrack();
  void editBar_lengthButtons_dropDownTheMenus();
  void hints_longTextOnPanel0_thenStatusBack();
  void hints_contextMenuAndToolButton_reachPanel0();
};

void MainWindowShapeTest::shrink2_64Rows_keepsEvenOrOddRowAndHalvesLength() {
  WindowRig rig;
  Fresh(rig, 2, 64);
  Put(rig, 0, {{0, 60}, {1, 61}, {3, 62}, {63, 63}});
  rig.Trigger("Shrink2");
  QCOMPARE(rig.dialogs.questions, QStringList{"Are you sure to shrink pattern? Cannot undo"});
  CheckRows(rig, 32);
  QCOMPARE(Get(rig, 0), (Cells{{0, 60}, {1, 62}, {31, 63}}));
  QCOMPARE(rig.G1().CellText(1, 2), QString::fromStdString(rig.Song().CellText(0, 1)));
}

void MainWindowShapeTest::shrink_3Rows_refusedWithMessage() {
  WindowRig rig;
  Fresh(rig, 1, 3);
  rig.Trigger("Shrink2");
  QCOMPARE(rig.dialogs.messages, QStringList{"Cannot shrink pattern, rows < 1"});
  QVERIFY(rig.dialogs.questions.isEmpty());
  CheckRows(rig, 3);
}

void MainWindowShapeTest::shrink3_noteInRow5_landsInRow2() {
  WindowRig rig;
  Fresh(rig, 1, 64);
  Put(rig, 0, {{5, 60}});
  rig.Trigger("Shrink3");
  CheckRows(rig, 21);
  QCOMPARE(Get(rig, 0), (Cells{{2, 60}}));
}

void MainWindowShapeTest::expand2_128Rows_gives256_129Refused() {
  WindowRig rig;
  Fresh(rig, 1, 128);
  Put(rig, 0, {{1, 60}, {127, 61}});
  rig.Trigger("Expand2");
  QCOMPARE(rig.dialogs.questions, QStringList{"Are you sure to expand pattern?"});
  CheckRows(rig, 256);
  QCOMPARE(Get(rig, 0), (Cells{{2, 60}, {254, 61}}));

  Fresh(rig, 1, 129);
  rig.dialogs.questions.clear();
  rig.Trigger("Expand2");
  QCOMPARE(rig.dialogs.messages, QStringList{"Cannot expand pattern, rows > 128"});
  QVERIFY(rig.dialogs.questions.isEmpty());
  CheckRows(rig, 129);

  Fresh(rig, 1, 86);
  rig.Trigger("Expand3");
  QCOMPARE(rig.dialogs.messages.last(), QStringLiteral("Cannot expand pattern, rows > 85"));
  Fresh(rig, 1, 85);
  rig.Trigger("Expand3");
  CheckRows(rig, 255);
}

void MainWindowShapeTest::expand_answeredNo_orWarningsDisabled() {
  WindowRig rig;
  Fresh(rig, 1, 16);
  Put(rig, 0, {{1, 60}});
  rig.dialogs.answer = false;
  rig.Trigger("Expand2");
  rig.Trigger("Shrink4");
  QCOMPARE(rig.dialogs.questions.size(), 2);
  CheckRows(rig, 16);
  QCOMPARE(Get(rig, 0), (Cells{{1, 60}}));

  rig.Trigger("DisableWarnings");
  rig.Trigger("Expand3");
  QCOMPARE(rig.dialogs.questions.size(), 2);  // not asked again
  CheckRows(rig, 48);
  QCOMPARE(Get(rig, 0), (Cells{{3, 60}}));
}

void MainWindowShapeTest::quantizeTrack_rows1And63_wrapAndMove() {
  WindowRig rig;
  Fresh(rig, 2, 64);
  Put(rig, 0, {{1, 50}, {63, 52}});
  Put(rig, 1, {{1, 60}, {63, 62}});
  CursorOnTrack(rig, 1);
  // The edit tool bar's "Q/2" button is the Track menu's item.
  QAction* quantize = rig.window->Action("QuantizeTrack");
  auto* button = qobject_cast<QToolButton*>(rig.window->Commands().EditBar->widgetForAction(quantize));
  QVERIFY(button);
  QCOMPARE(button->text(), QStringLiteral("Q/2"));
  QVERIFY(button->isEnabled());
  QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(Get(rig, 1), (Cells{{0, 62}, {2, 60}}));
  QCOMPARE(Get(rig, 0), (Cells{{1, 50}, {63, 52}}));
  QCOMPARE(rig.G1().CellText(2, 1), QString::fromStdString(rig.Song().CellText(1, 0)));
}

void MainWindowShapeTest::quantizeChannel_everyNoteTrackOfCursorChannel() {
  WindowRig rig;
  Fresh(rig, 2, 8);
  // Channel 1: note, velocity, note.
  QVERIFY(rig.Song().AddTrack(1, ttVelocity, -1, -1));
  QVERIFY(rig.Song().AddTrack(2, ttNote, -1, -1));
  rig.window->PrepareEditor();
  for (int t = 0; t < 4; ++t) Put(rig, t, {{1, 60 + t}});
  CursorOnTrack(rig, 2);  // on the velocity track: the channel is still channel 1
  rig.Trigger("QuantizeChannel");
  QCOMPARE(Get(rig, 0), (Cells{{1, 60}}));
  QCOMPARE(Get(rig, 1), (Cells{{2, 61}}));
  QCOMPARE(Get(rig, 2), (Cells{{1, 62}}));
  QCOMPARE(Get(rig, 3), (Cells{{2, 63}}));
}

void MainWindowShapeTest::notesLength_track_L2AndFromNextL1OnEmptyTrack() {
  WindowRig rig;
  Fresh(rig, 2, 64);
  Put(rig, 0, {{0, 60}, {5, Off}, {8, 62}});
  CursorOnTrack(rig, 0);
  rig.Trigger("TrackLength2");
  QCOMPARE(Get(rig, 0), (Cells{{0, 60}, {2, Off}, {8, 62}, {10, Off}}));
  CursorOnTrack(rig, 1);
  rig.Trigger("TrackLengthFromNext1");
  QCOMPARE(Get(rig, 1), (Cells{{63, Off}}));
  QCOMPARE(rig.G1().CellText(2, 64), QStringLiteral(" - "));
  rig.Trigger("TrackLength0");
  QCOMPARE(Get(rig, 1), Cells{});
}

void MainWindowShapeTest::notesLength_channel_everyNoteTrack() {
  WindowRig rig;
  Fresh(rig, 2, 16);
  QVERIFY(rig.Song().AddTrack(0, ttNote, -1, -1));  // channel 0: tracks 0 and 1
  rig.window->PrepareEditor();
  Put(rig, 0, {{4, 60}});
  Put(rig, 2, {{4, 64}});
  CursorOnTrack(rig, 1);
  rig.Trigger("ChannelLength1");
  QCOMPARE(Get(rig, 0), (Cells{{4, 60}, {5, Off}}));
  QCOMPARE(Get(rig, 1), Cells{});
  QCOMPARE(Get(rig, 2), (Cells{{4, 64}}));
  rig.Trigger("ChannelLengthFromNext2");
  QCOMPARE(Get(rig, 0), (Cells{{2, Off}, {4, 60}, {14, Off}}));
  QCOMPARE(Get(rig, 1), (Cells{{14, Off}}));
}

void MainWindowShapeTest::editBar_lengthButtons_dropDownTheMenus() {
  WindowRig rig;
  QStringList shown;
  for (QToolButton* button : rig.window->Commands().EditBar->findChildren<QToolButton*>()) {
    if (!button->menu()) continue;
    QVERIFY(button->isEnabled());
    shown << button->menu()->title();
    QVERIFY(button->menu()->actions().size() >= 8);
  }
  QCOMPARE(shown.size(), 4);  // forward and backward, for the track and for the channel
}

void MainWindowShapeTest::hints_longTextOnPanel0_thenStatusBack() {
  WindowRig rig;
  rig.window->ChangeStatus("Edit enabled", 0);
  QAction* cut = rig.window->Action("Cut");
  QCOMPARE(cut->toolTip(), QStringLiteral("Cut"));
  cut->showStatusText(rig.window->menuBar());
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Cuts the selection and puts it on the Clipboard"));
  rig.window->Action("Shrink3")->showStatusText(rig.window->menuBar());
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Shrink and quantize"));
  QStatusTipEvent leave{QString()};
  QCoreApplication::sendEvent(rig.window->menuBar(), &leave);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Edit enabled"));

  // A status text that arrives while a hint is shown stays when the mouse moves on.
  cut->showStatusText(rig.window->menuBar());
  rig.window->ChangeStatus("Edit disabled", 0);
  QCoreApplication::sendEvent(rig.window->menuBar(), &leave);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Edit disabled"));
}

void MainWindowShapeTest::hints_contextMenuAndToolButton_reachPanel0() {
  WindowRig rig;
  emit rig.G1().customContextMenuRequested(QPoint(5, 5));
  auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  QVERIFY(popup);
  rig.window->Action("Paste")->showStatusText(popup);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Inserts Clipboard contents"));
  popup->close();

  QAction* quantize = rig.window->Action("QuantizeTrack");
  QWidget* button = rig.window->Commands().EditBar->widgetForAction(quantize);
  QVERIFY(button);
  QTest::mouseMove(button);
  QTRY_COMPARE(rig.window->StatusText(0), QStringLiteral("Quantize track"));
}

QTEST_MAIN(MainWindowShapeTest)
#include "main_window_shape_test.moc"
