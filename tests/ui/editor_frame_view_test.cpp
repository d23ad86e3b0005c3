// The editor frame's pattern view: column widths and header texts in the grid, colour groups,
// the header mouse gestures of both grids, track properties, split view and the active grid, the
// current channel that follows the cursor, cursor centring and the loop marks.
#include <QTest>

#include "editor_frame_fixture.h"

using namespace varnel;
using namespace varnel::test;
using Strings = std::vector<std::string>;

namespace {

// The widest text of a grid column, with the cell's text inset (3 pixels, one more in a fixed
// cell) and 2 to spare: what the column needs beyond its described width.
int Needed(TMyGrid2& grid, int col) {
  int widest = 0;
  for (int row = 0; row < grid.RowCount(); ++row)
    widest = std::max(widest, QFontMetrics(grid.font()).horizontalAdvance(grid.CellText(col, row)));
  return widest + 6;
}

void MiddleClick(TMyGrid2& grid, int col, int row) {
  QTest::mouseClick(grid.viewport(), Qt::MiddleButton, {}, grid.CellRect(col, row).center());
}

}  // namespace

class EditorFrameViewTest : public QObject {
  Q_OBJECT

 private slots:
  void widths_rowNumberColumn_followFormatAndLength_data();
  void widths_rowNumberColumn_followFormatAndLength();
  void widths_trackColumns_byTypeAndDisplay();
  void texts_headersRowNumbersAndCells();
  void texts_redrawData_updatesOneCell();
  void columnGroups_followChannels();
  void rightClick_patternRowNumber_setsPlayingRow();
  void rightClick_orderRowNumberTwice_setsOrderThenRewindsRow();
  void rightClick_columnHeaders_actOnChannelToggle();
  void middleClick_noteTrackHeader_reportsTrackFacts();
  void middleClick_controllerHeaders_editParameterInDialog();
  void splitView_bothGridsShown_activeFollowsFocus();
  void colChanged_channelChange_updatesChannelPropsOnce();
  void centring_movesTopRowByOption();
  void loopDrag_rowNumbers_setsSongLoops();
};

void EditorFrameViewTest::widths_rowNumberColumn_followFormatAndLength_data() {
  QTest::addColumn<int>("format");
  QTest::addColumn<int>("rows");
  QTest::addColumn<int>("width");
  QTest::newRow("decimal, 64 rows") << 0 << 64 << 32;
  QTest::newRow("decimal, 100 rows") << 0 << 100 << 32;
  QTest::newRow("decimal, 101 rows") << 0 << 101 << 40;
  QTest::newRow("decimal, 128 rows") << 0 << 128 << 40;
  QTest::newRow("hex, 128 rows") << 1 << 128 << 32;
  QTest::newRow("bars, 128 rows") << 2 << 128 << 40;
  QTest::newRow("beats from 0, 16 rows") << 3 << 16 << 48;
  QTest::newRow("beats from 1, 256 rows") << 4 << 256 << 48;
}

void EditorFrameViewTest::widths_rowNumberColumn_followFormatAndLength() {
  QFETCH(int, format);
  QFETCH(int, rows);
  QFETCH(int, width);
  FrameRig rig(4, rows);
  rig.frame->Options().rowNumberFormat = format;
  rig.frame->RedrawPattern(0, 0, true);
  QCOMPARE(rig.G1().RowCount(), rows + 1);
  // The described width, or more where the texts need it ("0 0 0" in a 15-pixel font).
  QCOMPARE(rig.G1().ColWidth(0), std::max(width, Needed(rig.G1(), 0)));
  QCOMPARE(rig.G1().RowHeight(rows), 17);
}

void EditorFrameViewTest::widths_trackColumns_byTypeAndDisplay() {
  FrameRig rig(2, 64);
  QVERIFY(rig.song.AddTrack(0, ttVelocity, -1, -1));
  QVERIFY(rig.song.AddTrack(1, ttTempo, -1, -1));
  QVERIFY(rig.song.AddTrack(2, ttNRPN, 0x163, -1));
  rig.Refresh();
  const int nrpn = QFontMetrics(rig.G1().font()).horizontalAdvance(QStringLiteral("c355")) + 8;
  // Note columns hold every note up to "G-10" ("C#10" is the widest), whatever the cells hold now.
  const int notes = std::max(40, QFontMetrics(rig.G1().font()).horizontalAdvance(QStringLiteral("C#10")) + 6);
  QCOMPARE(rig.G1().ColCount(), 6);
  QCOMPARE(rig.G1().ColWidth(1), notes);
  QCOMPARE(rig.G1().ColWidth(2), 36);
  QCOMPARE(rig.G1().ColWidth(3), 36);
  QCOMPARE(rig.G1().ColWidth(4), std::max(40, nrpn));
  QCOMPARE(rig.G1().ColWidth(5), notes);
  // In hex the value columns are narrower, but never narrower than their headers ("V", "Tmp").
  rig.frame->Options().rowNumberFormat = 1;
  rig.Refresh();
  QCOMPARE(rig.G1().ColWidth(2), 29);
  QCOMPARE(rig.G1().ColWidth(3), std::max(29, Needed(rig.G1(), 3)));
  QVERIFY(rig.G1().ColWidth(3) >= QFontMetrics(rig.G1().font()).horizontalAdvance(QStringLiteral("Tmp")) + 6);
  QCOMPARE(rig.G2().ColWidth(0), 32);
  QCOMPARE(rig.G2().ColWidth(1), 40);
}

void EditorFrameViewTest::texts_headersRowNumbersAndCells() {
  FrameRig rig(3, 64);
  // Channel index 2: note, velocity, second note; then an NRPN, a tempo and a pan track.
  QVERIFY(rig.song.AddTrack(2, ttVelocity, -1, -1));
  QVERIFY(rig.song.AddTrack(3, ttNote, -1, -1));
  QVERIFY(rig.song.AddTrack(4, ttNRPN, 0x163, -1));
  QVERIFY(rig.song.AddTrack(5, ttTempo, -1, -1));
  QVERIFY(rig.song.AddTrack(6, ttPan, -1, -1));
  rig.song.SetCellData(7, 0, 0);
  rig.song.SetCellData(3, 1, 60);
  rig.song.SetCellData(4, 1, CellNoteOff);
  rig.frame->Options().rowNumberFormat = 4;
  rig.Refresh();
  TMyGrid2& g = rig.G1();
  const QStringList headers{"", "1", "2", "3", "V", "", "n355", "Tmp", "Pan"};
  for (int c = 0; c < headers.size(); ++c) QCOMPARE(g.CellText(c, 0), headers[c]);
  QCOMPARE(g.CellText(0, 1), QStringLiteral("1 1 1"));
  QCOMPARE(g.CellText(0, 2), QStringLiteral("      2"));
  QCOMPARE(g.CellText(8, 1), QStringLiteral("00"));  // pan 0
  QCOMPARE(g.CellText(7, 1), QString());             // tempo 0 is blank
  QCOMPARE(g.CellText(8, 2), QString());             // controller 128 is blank
  QCOMPARE(g.CellText(4, 2), QStringLiteral("60"));
  QCOMPARE(g.CellText(5, 2), QStringLiteral(" - "));
  QCOMPARE(g.CellText(5, 1), QStringLiteral("   "));

  rig.frame->Options().rowNumberFormat = 1;
  rig.Refresh();
  QCOMPARE(g.CellText(6, 0), QStringLiteral("n163"));
  QCOMPARE(g.CellText(4, 2), QStringLiteral("3C"));
  QCOMPARE(g.CellText(0, 27), QStringLiteral("1A"));
}

void EditorFrameViewTest::texts_redrawData_updatesOneCell() {
  FrameRig rig;
  rig.song.SetCellData(1, 3, 61);
  rig.song.SetCellData(2, 3, 62);
  rig.frame->RedrawData(1, 3);
  QCOMPARE(rig.G1().CellText(2, 4), QStringLiteral("C#5"));
  QCOMPARE(rig.G1().CellText(3, 4), QStringLiteral("   "));  // not redrawn yet
}

void EditorFrameViewTest::columnGroups_followChannels() {
  FrameRig rig(3, 64);
  QVERIFY(rig.song.AddTrack(0, ttNote, -1, -1));
  rig.Refresh();
  const int expected[] = {0, 0, 0, 1, 2, 0};
  for (int c = 0; c < 6; ++c) QCOMPARE(rig.G1().ColumnGroup(c), expected[c]);
  for (int c = 0; c < 5; ++c) QCOMPARE(rig.G2().ColumnGroup(c), c);
}

void EditorFrameViewTest::rightClick_patternRowNumber_setsPlayingRow() {
  FrameRig rig;
  rig.RightClick(rig.G1(), 0, 8);
  QCOMPARE(int(rig.song.PlayingRow), 7);
  QCOMPARE(rig.host.calls, (Strings{"UpdatePlayCounter", "UpdatePlayRow"}));
  rig.Clear();
  rig.RightClick(rig.G1(), 2, 8);  // a data cell: nothing
  QCOMPARE(rig.host.calls, Strings{});
}

void EditorFrameViewTest::rightClick_orderRowNumberTwice_setsOrderThenRewindsRow() {
  FrameRig rig;
  rig.Show(2);
  rig.song.PlayingRow = 9;
  rig.RightClick(rig.G2(), 0, 5);
  QCOMPARE(int(rig.song.PlayingOrder), 4);
  QCOMPARE(int(rig.song.PlayingRow), 9);
  rig.RightClick(rig.G2(), 0, 5);
  QCOMPARE(int(rig.song.PlayingOrder), 4);
  QCOMPARE(int(rig.song.PlayingRow), 0);
  QVERIFY(rig.host.Called("UpdatePlayRow"));
}

void EditorFrameViewTest::rightClick_columnHeaders_actOnChannelToggle() {
  FrameRig rig;
  QVERIFY(rig.song.AddTrack(1, ttVelocity, -1, -1));
  rig.Refresh();
  rig.Show(2);
  rig.Clear();
  rig.RightClick(rig.G2(), 4, 0);
  QCOMPARE(rig.host.calls, (Strings{"ChannelToggleRightClick 3"}));
  rig.Show(1);
  rig.Clear();
  rig.RightClick(rig.G1(), 3, 0);  // the velocity track of channel 1
  QCOMPARE(rig.host.calls, (Strings{"ChannelToggleRightClick 1"}));
}

void EditorFrameViewTest::middleClick_noteTrackHeader_reportsTrackFacts() {
  FrameRig rig;
  QVERIFY(rig.song.AddTrack(0, ttNote, -1, -1));
  QVERIFY(rig.song.AddTrack(1, ttNote, -1, -1));
  rig.Refresh();
  MiddleClick(rig.G1(), 3, 0);
  QCOMPARE(rig.reporter.messages, Strings{"Track #3\r\nTrack type: 1\r\nChannel: 1\r\n"});
  MiddleClick(rig.G1(), 3, 4);  // not a header
  QCOMPARE(rig.reporter.messages.size(), size_t(1));
  QVERIFY(!rig.host.Called("EditCustomTrack"));
}

void EditorFrameViewTest::middleClick_controllerHeaders_editParameterInDialog() {
  FrameRig rig;
  QVERIFY(rig.song.AddTrack(0, ttControlChange, 7, -1));
  QVERIFY(rig.song.AddTrack(1, ttNRPN, 355, -1));
  rig.Refresh();
  rig.host.dialogAnswer = {10, 0};
  MiddleClick(rig.G1(), 2, 0);
  QCOMPARE(rig.host.calls.back(), std::string("EditCustomTrack Edit Control Change (CC) track properties one 7 0"));
  QCOMPARE(rig.song.GetTrackParam(1), 10);
  QCOMPARE(rig.G1().CellText(2, 0), QStringLiteral("c10"));

  rig.host.dialogAnswer = {3, 5};
  rig.frame->EditTrackProperties(3, 0);  // the "Edit track properties" command
  QCOMPARE(rig.host.calls.back(), std::string("EditCustomTrack Edit NRPN track properties two 2 99"));
  QCOMPARE(rig.song.GetTrackParam(2), 3 * 128 + 5);
  QCOMPARE(rig.G1().CellText(3, 0), QStringLiteral("n389"));

  rig.host.dialogAnswer.reset();  // Cancel
  MiddleClick(rig.G1(), 3, 0);
  QCOMPARE(rig.song.GetTrackParam(2), 389);
  QVERIFY(rig.reporter.messages.empty());
}

void EditorFrameViewTest::splitView_bothGridsShown_activeFollowsFocus() {
  FrameRig rig;
  rig.frame->SetSplitView();
  QVERIFY(rig.frame->SplitView());
  QVERIFY(rig.G1().isVisible());
  QVERIFY(rig.G2().isVisible());
  QTRY_COMPARE(rig.G1().width(), 500);

  QTest::mouseClick(rig.G2().viewport(), Qt::LeftButton, {}, rig.G2().CellRect(3, 2).center());
  QCOMPARE(rig.frame->ActiveGrid(), 2);
  QCOMPARE(rig.host.calls, Strings{"UpdateChannelProps 2"});
  QTest::mouseClick(rig.G1().viewport(), Qt::LeftButton, {}, rig.G1().CellRect(4, 2).center());
  QCOMPARE(rig.frame->ActiveGrid(), 1);
  QCOMPARE(rig.host.calls.back(), std::string("UpdateChannelProps 3"));

  rig.frame->SetActiveGrid(2);
  QVERIFY(!rig.frame->SplitView());
  QVERIFY(!rig.G1().isVisible());
  QVERIFY(rig.G2().isVisible());
  QCOMPARE(rig.frame->ActiveGrid(), 2);
  QCOMPARE(rig.host.calls.back(), std::string("UpdateChannelProps 2"));  // the order grid's column
  rig.frame->SetActiveGrid(-1);
  QCOMPARE(rig.frame->ActiveGrid(), 2);
}

void EditorFrameViewTest::colChanged_channelChange_updatesChannelPropsOnce() {
  FrameRig rig;
  QVERIFY(rig.song.AddTrack(1, ttNote, -1, -1));  // channel 1 has two tracks
  rig.Refresh();
  rig.G1().SetCol(2);
  rig.G1().SetCol(3);
  rig.G1().SetCol(4);
  QCOMPARE(rig.host.calls, (Strings{"UpdateChannelProps 1", "UpdateChannelProps 2"}));
  rig.Clear();
  rig.G2().SetCol(4);  // the order grid is not the active one
  QCOMPARE(rig.host.calls, Strings{});
  rig.frame->ColChanged(1, -2);  // told again on demand
  QCOMPARE(rig.host.calls, Strings{"UpdateChannelProps 2"});
  QCOMPARE(rig.frame->CurrentChannel(), 2);
}

// The cursor leaving a row below the middle of the view pulls the view along.
void EditorFrameViewTest::centring_movesTopRowByOption() {
  FrameRig rig(4, 128);
  TMyGrid2& g = rig.G1();
  const int half = g.VisibleRowCount() / 2;
  QVERIFY(half > 3);
  auto moveFrom = [&](int row) {
    g.SetRow(1);
    g.SetTopRow(1);
    g.SetRow(row);
    QCOMPARE(g.TopRow(), 1);
    FrameRig::Type(g, Qt::Key_Down);
  };
  moveFrom(half + 3);
  QCOMPARE(g.TopRow(), 3);

  rig.frame->Options().centring = 2;  // "Never"
  moveFrom(half + 3);
  QCOMPARE(g.TopRow(), 1);

  rig.frame->Options().centring = 1;  // "When playing"
  rig.frame->Options().followNote = true;
  moveFrom(half + 3);
  QCOMPARE(g.TopRow(), 1);
  rig.player.PlayPause();
  moveFrom(half + 3);
  QCOMPARE(g.TopRow(), 3);
  rig.frame->Options().followNote = false;
  moveFrom(half + 3);
  QCOMPARE(g.TopRow(), 1);

  // With the last row in view nothing is centred.
  rig.frame->Options().centring = 0;
  g.SetRow(g.RowCount() - 1);
  const int top = g.TopRow();
  FrameRig::Type(g, Qt::Key_Up);
  FrameRig::Type(g, Qt::Key_Up);
  QCOMPARE(g.TopRow(), top);
}

void EditorFrameViewTest::loopDrag_rowNumbers_setsSongLoops() {
  FrameRig rig;
  TMyGrid2& g = rig.G1();
  QTest::mousePress(g.viewport(), Qt::MiddleButton, {}, g.CellRect(0, 5).center());
  QTest::mouseMove(g.viewport(), g.CellRect(0, 9).center());
  QTest::mouseRelease(g.viewport(), Qt::MiddleButton, {}, g.CellRect(0, 9).center());
  QCOMPARE(int(rig.song.PatternLoopStart), 5);
  QCOMPARE(int(rig.song.PatternLoopEnd), 9);
  MiddleClick(g, 2, 0);  // a middle click on a column header clears it
  QCOMPARE(int(rig.song.PatternLoopStart), -1);
  QCOMPARE(int(rig.song.PatternLoopEnd), -1);

  rig.Show(2);
  TMyGrid2& o = rig.G2();
  QTest::mousePress(o.viewport(), Qt::MiddleButton, {}, o.CellRect(0, 7).center());
  QTest::mouseMove(o.viewport(), o.CellRect(0, 3).center());
  QTest::mouseRelease(o.viewport(), Qt::MiddleButton, {}, o.CellRect(0, 3).center());
  QCOMPARE(int(rig.song.OrderLoopStart), 3);
  QCOMPARE(int(rig.song.OrderLoopEnd), 7);
}

QTEST_MAIN(EditorFrameViewTest)
#include "editor_frame_view_test.moc"
