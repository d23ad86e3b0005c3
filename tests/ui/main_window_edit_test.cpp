// Cut, copy, paste, transpose and undo on a real main window, driven through their shortcuts,
// the grid keys and the tool bars, with the song checked afterwards.
#include <QAction>
#include <QTest>
#include <QToolBar>

#include "app/main_window_menus.h"
#include "main_window_rig.h"

using namespace varnel;
using varnel::test::WindowRig;

namespace {

constexpr int C4 = 48, Cs4 = 49, D4 = 50, E4 = 52, F4 = 53;

// Grid coordinates: column = track + 1, row = pattern row + 1.
void SelectCells(TMyGrid2& grid, int firstTrack, int firstRow, int lastTrack, int lastRow) {
  grid.SetCol(firstTrack + 1);
  grid.SetRow(firstRow + 1);
  grid.SetSelection({firstTrack + 1, firstRow + 1, lastTrack + 1, lastRow + 1});
}

void Key(TMyGrid2& grid, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(&grid, key, modifiers); }

}  // namespace

class MainWindowEditTest : public QObject {
  Q_OBJECT

 private slots:
  void transposeUp_altF2InCMajor_givesDEF();
  void transposeUp_simple_movesSemitones();
  void transpose_noteOutsideScale_asksAndErasesOnlyOnYes();
  void transposeScopes_shortcutsPickTrackChannelPattern();
  void editBar_trackTransposeButton_transposesTrack();
  void paste_threeTracksOnLastTrack_wraps();
  void cutCopyPaste_trackChannelPatternShortcuts();
  void paste_orderClipboardIntoPatternGrid_invalidRangeType();
  void orderGrid_transposeAndDelete();
  void undo_acrossPatterns_showsAndRestoresEditedPattern();
  void undo_menuEnabledFollowsSnapshot_noteEntryUndoable();
  void keys_deleteClearsAndSteps_altInsertRotates();
};

void MainWindowEditTest::transposeUp_altF2InCMajor_givesDEF() {
  WindowRig rig;
  const int notes[] = {C4, D4, E4};
  for (int r = 0; r < 3; ++r) rig.Song().SetCellData(0, r, notes[r]);
  SelectCells(rig.G1(), 0, 0, 0, 2);
  Key(rig.G1(), Qt::Key_F2, Qt::AltModifier);
  QCOMPARE(rig.Song().GetCellData(0, 0), D4);
  QCOMPARE(rig.Song().GetCellData(0, 1), E4);
  QCOMPARE(rig.Song().GetCellData(0, 2), F4);
  QCOMPARE(rig.G1().CellText(1, 3), QStringLiteral("F-4"));
  QVERIFY(rig.dialogs.questions.isEmpty());
  QVERIFY(rig.Modified());
  // Alt+F1 comes back the same way.
  Key(rig.G1(), Qt::Key_F1, Qt::AltModifier);
  QCOMPARE(rig.Song().GetCellData(0, 0), C4);
  QCOMPARE(rig.Song().GetCellData(0, 2), E4);
}

void MainWindowEditTest::transposeUp_simple_movesSemitones() {
  WindowRig rig;
  rig.Song().SetCellData(0, 0, C4);
  rig.Trigger("TransposeSimple");
  SelectCells(rig.G1(), 0, 0, 0, 0);
  rig.Trigger("TransposeUp");
  QCOMPARE(rig.Song().GetCellData(0, 0), Cs4);
  rig.Trigger("TransposeOctaveUp");
  QCOMPARE(rig.Song().GetCellData(0, 0), Cs4 + 12);
}

void MainWindowEditTest::transpose_noteOutsideScale_asksAndErasesOnlyOnYes() {
  WindowRig rig;
  rig.Song().SetCellData(0, 0, Cs4);
  SelectCells(rig.G1(), 0, 0, 0, 0);
  rig.dialogs.answer = false;
  Key(rig.G1(), Qt::Key_F2, Qt::AltModifier);
  QCOMPARE(rig.dialogs.questions, QStringList{QStringLiteral("1 note(s) will be erased! Proceed?")});
  QCOMPARE(rig.Song().GetCellData(0, 0), Cs4);
  rig.dialogs.answer = true;
  Key(rig.G1(), Qt::Key_F2, Qt::AltModifier);
  QCOMPARE(rig.dialogs.questions.size(), 2);
  QCOMPARE(rig.Song().GetCellData(0, 0), CellEmpty);
  QCOMPARE(rig.G1().CellText(1, 1), QStringLiteral("   "));

  // "Disable warnings" answers yes without asking.
  rig.Song().SetCellData(0, 0, 120);
  rig.Trigger("DisableWarnings");
  rig.Trigger("TransposeOctaveUp");
  QCOMPARE(rig.dialogs.questions.size(), 2);
  QCOMPARE(rig.Song().GetCellData(0, 0), CellEmpty);
}

void MainWindowEditTest::transposeScopes_shortcutsPickTrackChannelPattern() {
  WindowRig rig;
  TVNSong& song = rig.Song();
  for (int t = 0; t < 3; ++t) song.SetCellData(t, 5, C4);
  SelectCells(rig.G1(), 1, 0, 1, 0);  // cursor on track 1, row 0: the selection holds no note
  Key(rig.G1(), Qt::Key_F2, Qt::AltModifier);
  QCOMPARE(song.GetCellData(1, 5), C4);
  Key(rig.G1(), Qt::Key_F2, Qt::ShiftModifier);  // track
  QCOMPARE(song.GetCellData(1, 5), D4);
  QCOMPARE(song.GetCellData(0, 5), C4);
  Key(rig.G1(), Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier);  // channel 1 = track 1 only
  QCOMPARE(song.GetCellData(1, 5), C4);
  QCOMPARE(song.GetCellData(2, 5), C4);
  Key(rig.G1(), Qt::Key_F2, Qt::ControlModifier);  // pattern
  for (int t = 0; t < 3; ++t) QCOMPARE(song.GetCellData(t, 5), D4);
  QCOMPARE(int(song.Octave), 4);  // modified F-keys are no octave keys
}

void MainWindowEditTest::editBar_trackTransposeButton_transposesTrack() {
  WindowRig rig;
  rig.Song().SetCellData(2, 9, E4);
  rig.G1().SetCol(3);
  QToolBar* bar = rig.window->Commands().EditBar;
  QWidget* button = bar->widgetForAction(rig.window->Action("TransposeTrackUp"));
  QVERIFY(button);
  QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(rig.Song().GetCellData(2, 9), F4);
  QVERIFY(rig.window->Commands().CommonBar->actions().contains(rig.window->Action("Cut")));
}

void MainWindowEditTest::paste_threeTracksOnLastTrack_wraps() {
  WindowRig rig;
  TVNSong& song = rig.Song();
  const int last = song.TracksCount() - 1;
  for (int t = 0; t < 3; ++t) song.SetCellData(t, 4, C4 + t);
  SelectCells(rig.G1(), 0, 0, 2, song.GetLastRow());
  Key(rig.G1(), Qt::Key_C, Qt::ControlModifier);
  for (int t = 0; t < 3; ++t) song.SetCellData(t, 4, CellEmpty);
  SelectCells(rig.G1(), last, 0, last, 0);
  Key(rig.G1(), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(song.GetCellData(last, 4), C4);
  QCOMPARE(song.GetCellData(0, 4), C4 + 1);
  QCOMPARE(song.GetCellData(1, 4), C4 + 2);
  QCOMPARE(song.GetCellData(2, 4), CellEmpty);
  QCOMPARE(rig.G1().CellText(1, 5), QStringLiteral("C#4"));

  // The same paste from the Edit menu's shortcut, one track further on.
  SelectCells(rig.G1(), 5, 0, 5, 0);
  Key(rig.G1(), Qt::Key_Insert, Qt::ShiftModifier);
  QCOMPARE(song.GetCellData(7, 4), C4 + 2);
}

void MainWindowEditTest::cutCopyPaste_trackChannelPatternShortcuts() {
  WindowRig rig;
  TVNSong& song = rig.Song();
  song.SetCellData(0, 3, C4);
  song.SetCellData(1, 7, D4);
  rig.G1().SetCol(1);
  Key(rig.G1(), Qt::Key_F3, Qt::ShiftModifier);  // cut track
  QCOMPARE(song.GetCellData(0, 3), CellEmpty);
  rig.G1().SetCol(5);
  Key(rig.G1(), Qt::Key_F5, Qt::ShiftModifier);  // paste track
  QCOMPARE(song.GetCellData(4, 3), C4);
  rig.G1().SetCol(2);
  Key(rig.G1(), Qt::Key_F4, Qt::ControlModifier | Qt::ShiftModifier);  // copy channel
  rig.G1().SetCol(7);
  Key(rig.G1(), Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);  // paste channel
  QCOMPARE(song.GetCellData(6, 7), D4);
  QCOMPARE(song.GetCellData(1, 7), D4);
  Key(rig.G1(), Qt::Key_F3, Qt::ControlModifier);  // cut pattern
  for (int t = 0; t < song.TracksCount(); ++t) QCOMPARE(song.GetCellData(t, 7), CellEmpty);
  Key(rig.G1(), Qt::Key_F5, Qt::ControlModifier);  // paste pattern
  QCOMPARE(song.GetCellData(4, 3), C4);
  QCOMPARE(song.GetCellData(6, 7), D4);
  QVERIFY(!rig.window->StatusText(0).contains(QStringLiteral("mismatch")));
}

void MainWindowEditTest::paste_orderClipboardIntoPatternGrid_invalidRangeType() {
  WindowRig rig;
  rig.Song().SetCellData(0, 0, C4);
  TMyGrid2& g2 = *rig.window->Frame()->Grid2();
  Key(rig.G1(), Qt::Key_F12);
  QCOMPARE(rig.window->Frame()->ActiveGrid(), 2);
  Key(g2, Qt::Key_C, Qt::ControlModifier);
  Key(g2, Qt::Key_F11);
  QCOMPARE(rig.window->Frame()->ActiveGrid(), 1);
  Key(rig.G1(), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(rig.dialogs.messages, QStringList{QStringLiteral("Invalid range type")});
  QCOMPARE(rig.Song().GetCellData(0, 0), C4);
}

void MainWindowEditTest::orderGrid_transposeAndDelete() {
  WindowRig rig;
  TVNSong& song = rig.Song();
  song.SetOrder(0, 1, 4);
  rig.Trigger("SequenceEditor");
  TMyGrid2& g2 = *rig.window->Frame()->Grid2();
  SelectCells(g2, 0, 0, 0, 1);
  Key(g2, Qt::Key_F2, Qt::AltModifier);
  QCOMPARE(song.GetOrder(0, 0), 1);
  QCOMPARE(song.GetOrder(0, 1), 5);
  QCOMPARE(g2.CellText(1, 2), QStringLiteral("05"));
  SelectCells(g2, 0, 1, 0, 1);
  Key(g2, Qt::Key_Delete);
  QCOMPARE(song.GetOrder(0, 1), OrderEmpty);
  QCOMPARE(g2.Row(), 3);  // one position down
  QVERIFY(rig.window->Action("Undo")->isEnabled());
  rig.Trigger("Undo");
  QCOMPARE(song.GetOrder(0, 1), 5);
}

void MainWindowEditTest::undo_acrossPatterns_showsAndRestoresEditedPattern() {
  WindowRig rig;
  TVNSong& song = rig.Song();
  for (int p = 1; p <= 5; ++p) rig.Props().Ptn->SetValue(p);  // five patterns appended: five steps
  rig.Props().Ptn->SetValue(3);
  song.SetCellData(2, 7, E4);
  rig.SetModified(false);
  SelectCells(rig.G1(), 2, 7, 2, 7);
  Key(rig.G1(), Qt::Key_Delete);
  QCOMPARE(song.GetCellData(2, 7), CellEmpty);
  rig.Props().Ptn->SetValue(5);
  SelectCells(rig.G1(), 0, 0, 0, 0);
  Key(rig.G1(), Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(rig.Props().Ptn->Value(), 3);
  QCOMPARE(int(song.CurrentPattern), 3);
  QCOMPARE(song.GetCellData(2, 7), E4);
  QCOMPARE(rig.G1().CellText(3, 8), QStringLiteral("E-4"));
  QCOMPARE(rig.G1().Col(), 3);  // the cursor where the step happened
  QCOMPARE(rig.G1().Row(), 8);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Undo: clear"));
  QVERIFY(!rig.Modified());
  QVERIFY(rig.window->Action("Redo")->isEnabled());

  rig.Props().Ptn->SetValue(1);
  Key(rig.G1(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(int(song.CurrentPattern), 3);
  QCOMPARE(song.GetCellData(2, 7), CellEmpty);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Redo: clear"));
  QVERIFY(rig.Modified());
  QVERIFY(!rig.window->Action("Redo")->isEnabled());
}

void MainWindowEditTest::undo_menuEnabledFollowsSnapshot_noteEntryUndoable() {
  WindowRig rig;
  QAction* undo = rig.window->Action("Undo");
  QAction* redo = rig.window->Action("Redo");
  QVERIFY(!undo->isEnabled());
  QVERIFY(!redo->isEnabled());
  rig.G1().SetCol(1);
  rig.G1().SetRow(1);
  QTest::keyClick(&rig.G1(), Qt::Key_Z);  // C-4, with GridAdd 0 the cursor stays
  QCOMPARE(rig.Song().GetCellData(0, 0), C4);
  QVERIFY(undo->isEnabled());
  QTest::keyClick(&rig.G1(), Qt::Key_X);  // D-4 over it
  QCOMPARE(rig.Song().GetCellData(0, 0), D4);
  rig.Trigger("Undo");
  QCOMPARE(rig.Song().GetCellData(0, 0), C4);  // the pattern before the last note
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Undo: note"));
  QVERIFY(undo->isEnabled());
  QVERIFY(redo->isEnabled());
  rig.Trigger("Undo");
  QCOMPARE(rig.Song().GetCellData(0, 0), CellEmpty);
  QVERIFY(!undo->isEnabled());
  QVERIFY(!rig.Modified());
  rig.Trigger("Redo");
  rig.Trigger("Redo");
  QCOMPARE(rig.Song().GetCellData(0, 0), D4);
  Key(rig.G1(), Qt::Key_C, Qt::ControlModifier);
  QVERIFY(!redo->isEnabled());
  rig.window->Document().ResetHistory();
  QVERIFY(!undo->isEnabled());
  Key(rig.G1(), Qt::Key_C, Qt::ControlModifier);
  QVERIFY(!undo->isEnabled());  // copying changes nothing to undo
  rig.window->Frame()->EditGrid(EditClear, ScopeSelection, 0);
  QVERIFY(undo->isEnabled());
  rig.window->Action("Undo")->trigger();
  rig.window->Action("Undo")->setEnabled(true);
  rig.Trigger("Undo");
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Buffer not filled"));
}

void MainWindowEditTest::keys_deleteClearsAndSteps_altInsertRotates() {
  WindowRig rig;
  TVNSong& song = rig.Song();
  const int last = song.GetLastRow();
  rig.Props().Add->SetValue(2);
  song.SetCellData(1, 0, C4);
  song.SetCellData(1, last, D4);
  song.SetCellData(1, 4, E4);
  SelectCells(rig.G1(), 1, 4, 1, 4);
  Key(rig.G1(), Qt::Key_Delete);
  QCOMPARE(song.GetCellData(1, 4), CellEmpty);
  QCOMPARE(rig.G1().Row(), 7);  // the "Add." step of 2

  Key(rig.G1(), Qt::Key_Insert, Qt::AltModifier);
  QCOMPARE(song.GetCellData(1, 0), D4);
  QCOMPARE(song.GetCellData(1, 1), C4);
  QCOMPARE(rig.G1().Row(), 8);
  QCOMPARE(rig.G1().CellText(2, 1), QStringLiteral("D-4"));
  Key(rig.G1(), Qt::Key_Backspace, Qt::AltModifier);
  QCOMPARE(song.GetCellData(1, 0), C4);
  QCOMPARE(song.GetCellData(1, last), D4);
  QCOMPARE(rig.G1().Row(), 7);
  Key(rig.G1(), Qt::Key_Insert);  // plain Insert does nothing
  QCOMPARE(song.GetCellData(1, 0), C4);
}

QTEST_MAIN(MainWindowEditTest)
#include "main_window_edit_test.moc"
