// The editor frame's order grid: texts and widths, pattern numbers typed digit by digit, Caps Lock
// note-offs, Enter that opens a pattern, and the keys it shares with the pattern grid.
#include <QTest>

#include "editor_frame_fixture.h"

using namespace varnel;
using namespace varnel::test;
using Strings = std::vector<std::string>;

namespace {

// The order grid shown and active, the cursor on (channel + 1, position + 1).
void OrderCursor(FrameRig& rig, int channel, int position) {
  rig.frame->SetActiveGrid(2);
  rig.G2().SetCol(channel + 1);
  rig.G2().SetRow(position + 1);
  rig.Clear();
}

void TypeDigits(TMyGrid2& grid, const QString& digits) {
  for (const QChar c : digits) FrameRig::Type(grid, Qt::Key(Qt::Key_0 + c.digitValue()));
}

}  // namespace

class EditorFrameOrderTest : public QObject {
  Q_OBJECT

 private slots:
  void texts_threePositions_restBlankAndAlways256Rows();
  void texts_hexMode_rowNumbersHexPatternsDecimal();
  void digits_data();
  void digits();
  void digits_cursorMove_keepsEntryState();
  void digits_pastOrderLength_lengthenOrder();
  void capsLock_writesNoteOff();
  void editingOff_acceptsNoEntries();
  void entry_inSongView_redrawsPatternGrid();
  void enter_opensPatternUnderCursor();
  void enter_emptyOrMissingPattern_onlySwitchesGrid();
  void enter_songView_opensPosition();
  void sharedKeys_spaceAndNumberPad_workHereToo();
  void nextRow_orderGrid_wrapsAfterPosition255();
};

void EditorFrameOrderTest::texts_threePositions_restBlankAndAlways256Rows() {
  FrameRig rig(2, 64);
  QVERIFY(rig.song.InsertPattern(1, 64));
  rig.song.SetOrder(0, 1, 1);
  rig.song.SetOrder(1, 2, 0);
  QCOMPARE(rig.song.OrderLength(), 3);
  rig.Refresh();
  TMyGrid2& g = rig.G2();
  QCOMPARE(g.RowCount(), 257);
  QCOMPARE(g.ColCount(), 3);
  QCOMPARE(g.CellText(0, 0), QString());
  QCOMPARE(g.CellText(1, 0), QStringLiteral("1"));
  QCOMPARE(g.CellText(2, 0), QStringLiteral("2"));
  QCOMPARE(g.CellText(0, 1), QStringLiteral("00"));
  QCOMPARE(g.CellText(0, 256), QStringLiteral("255"));
  QCOMPARE(g.CellText(1, 2), QStringLiteral("01"));
  QCOMPARE(g.CellText(2, 3), QStringLiteral("00"));
  QCOMPARE(g.CellText(1, 3), QString());  // OrderEmpty
  for (int row = 4; row <= 256; ++row) QCOMPARE(g.CellText(1, row), QString());
  QCOMPARE(g.ColWidth(0), 40);
  QCOMPARE(g.ColWidth(2), 40);
  QCOMPARE(g.RowHeight(256), 17);
}

void EditorFrameOrderTest::texts_hexMode_rowNumbersHexPatternsDecimal() {
  FrameRig rig;
  for (int p = 1; p <= 5; ++p) QVERIFY(rig.song.InsertPattern(p, 16));
  rig.song.SetOrder(0, 26, 5);
  rig.frame->Options().rowNumberFormat = 1;
  rig.Refresh();
  QCOMPARE(rig.G2().CellText(1, 27), QStringLiteral("05"));
  QCOMPARE(rig.G2().CellText(0, 27), QStringLiteral("1A"));
  QCOMPARE(rig.G2().ColWidth(0), 32);
  rig.frame->Options().rowNumberFormat = 0;
  rig.Refresh();
  QCOMPARE(rig.G2().CellText(1, 27), QStringLiteral("05"));
  QCOMPARE(rig.G2().CellText(0, 27), QStringLiteral("26"));
}

// Digits typed into an empty order cell: the text after each digit.
void EditorFrameOrderTest::digits_data() {
  QTest::addColumn<QString>("keys");
  QTest::addColumn<QStringList>("texts");
  QTest::addColumn<int>("value");
  QTest::newRow("1 2") << "12" << QStringList{"01", "12"} << 12;
  QTest::newRow("1 2 3") << "123" << QStringList{"01", "12", "123"} << 123;
  QTest::newRow("2 6, then a new number") << "261" << QStringList{"02", "26", "01"} << 1;
  QTest::newRow("2 5 6 is too large") << "256" << QStringList{"02", "25", "00"} << 0;
  QTest::newRow("2 5 5") << "255" << QStringList{"02", "25", "255"} << 255;
}

void EditorFrameOrderTest::digits() {
  QFETCH(QString, keys);
  QFETCH(QStringList, texts);
  QFETCH(int, value);
  FrameRig rig;
  OrderCursor(rig, 2, 0);
  for (int i = 0; i < keys.size(); ++i) {
    TypeDigits(rig.G2(), keys.mid(i, 1));
    QCOMPARE(rig.G2().CellText(3, 1), texts[i]);
  }
  QCOMPARE(rig.song.GetOrder(2, 0), value);
  QCOMPARE(rig.G2().Row(), 1);
  QCOMPARE(rig.G2().Col(), 3);
  QCOMPARE(rig.Sent(), Strings{});
}

// Unlike the pattern grid, moving the order grid's cursor does not end the number being typed.
void EditorFrameOrderTest::digits_cursorMove_keepsEntryState() {
  FrameRig rig;
  rig.song.SetOrder(0, 1, 7);
  OrderCursor(rig, 0, 0);
  TypeDigits(rig.G2(), QStringLiteral("1"));
  FrameRig::Type(rig.G2(), Qt::Key_Down);
  TypeDigits(rig.G2(), QStringLiteral("3"));
  QCOMPARE(rig.song.GetOrder(0, 0), 1);
  QCOMPARE(rig.song.GetOrder(0, 1), 73);
  QCOMPARE(rig.G2().CellText(1, 2), QStringLiteral("73"));
}

void EditorFrameOrderTest::digits_pastOrderLength_lengthenOrder() {
  FrameRig rig;
  OrderCursor(rig, 1, 200);
  TypeDigits(rig.G2(), QStringLiteral("0"));
  QCOMPARE(rig.song.OrderLength(), 201);
  QCOMPARE(rig.G2().CellText(2, 201), QStringLiteral("00"));
  QCOMPARE(rig.song.GetOrder(0, 200), OrderEmpty);
}

void EditorFrameOrderTest::capsLock_writesNoteOff() {
  FrameRig rig;
  OrderCursor(rig, 1, 0);
  FrameRig::Type(rig.G2(), Qt::Key_CapsLock);
  QCOMPARE(rig.song.GetOrder(1, 0), OrderNoteOff);
  QCOMPARE(rig.G2().CellText(2, 1), QStringLiteral(" - "));
  QCOMPARE(rig.G2().Row(), 1);
}

void EditorFrameOrderTest::editingOff_acceptsNoEntries() {
  FrameRig rig;
  rig.song.EditEnabled = false;
  OrderCursor(rig, 0, 0);
  TypeDigits(rig.G2(), QStringLiteral("3"));
  FrameRig::Type(rig.G2(), Qt::Key_CapsLock);
  FrameRig::Type(rig.G2(), Qt::Key_Z);
  QCOMPARE(rig.song.GetOrder(0, 0), 0);
  QCOMPARE(rig.Sent(), Strings{});
}

// In song view the pattern grid shows the patterns named at the playing position.
void EditorFrameOrderTest::entry_inSongView_redrawsPatternGrid() {
  FrameRig rig;
  QVERIFY(rig.song.InsertPattern(1, 16));
  rig.song.SelectPattern(1);
  rig.song.SetCellData(0, 0, 62);
  rig.song.SelectPattern(0);
  rig.song.FollowSongView = 1;
  rig.Refresh();
  QCOMPARE(rig.G1().CellText(1, 1), QStringLiteral("   "));
  OrderCursor(rig, 0, 0);
  TypeDigits(rig.G2(), QStringLiteral("1"));
  QCOMPARE(rig.G1().CellText(1, 1), QStringLiteral("D-5"));
  QCOMPARE(rig.G1().RowCount(), 17);
}

void EditorFrameOrderTest::enter_opensPatternUnderCursor() {
  FrameRig rig;
  for (int p = 1; p <= 3; ++p) QVERIFY(rig.song.InsertPattern(p, 16));
  QVERIFY(rig.song.AddTrack(0, ttVelocity, -1, -1));  // channel 2's track is now track 3
  rig.song.SetOrder(2, 4, 3);
  rig.Refresh();
  OrderCursor(rig, 2, 4);
  FrameRig::Type(rig.G2(), Qt::Key_Return);
  QCOMPARE(rig.host.calls, (Strings{"SetPatternField 3", "ShowEditor 1"}));
  QCOMPARE(rig.frame->ActiveGrid(), 1);
  QVERIFY(rig.G1().isVisible());
  QCOMPARE(rig.G1().Col(), 4);
}

void EditorFrameOrderTest::enter_emptyOrMissingPattern_onlySwitchesGrid() {
  FrameRig rig;
  rig.song.SetOrder(1, 2, OrderNoteOff);
  rig.song.SetOrder(1, 3, 9);  // no pattern 9 in this song
  rig.Refresh();
  for (int position : {1, 2, 3}) {
    OrderCursor(rig, 1, position);
    FrameRig::Type(rig.G2(), Qt::Key_Return);
    QCOMPARE(rig.host.calls.front(), std::string("ShowEditor 1"));
    QCOMPARE(rig.G1().Col(), 2);
  }
}

void EditorFrameOrderTest::enter_songView_opensPosition() {
  FrameRig rig;
  rig.song.SetOrder(0, 6, 0);
  rig.song.FollowSongView = 1;
  rig.Refresh();
  OrderCursor(rig, 0, 6);
  FrameRig::Type(rig.G2(), Qt::Key_Return);
  QCOMPARE(rig.host.calls.front(), std::string("SetPatternField 6"));
  OrderCursor(rig, 0, 5);  // empty in every channel
  FrameRig::Type(rig.G2(), Qt::Key_Return);
  QCOMPARE(rig.host.calls.front(), std::string("ShowEditor 1"));
}

void EditorFrameOrderTest::sharedKeys_spaceAndNumberPad_workHereToo() {
  FrameRig rig;
  OrderCursor(rig, 0, 0);
  FrameRig::Type(rig.G2(), Qt::Key_Space);
  FrameRig::Type(rig.G2(), Qt::Key_Plus, Qt::KeypadModifier);
  QCOMPARE(rig.host.calls, (Strings{"PlayPause", "StepPatternField 1"}));
  QCOMPARE(rig.song.GetOrder(0, 0), 0);
}

void EditorFrameOrderTest::nextRow_orderGrid_wrapsAfterPosition255() {
  FrameRig rig;
  OrderCursor(rig, 0, 255);
  rig.frame->NextRow(2, -1);
  QCOMPARE(rig.G2().Row(), 1);
  rig.player.PlayPause();  // the order grid steps while playing too
  rig.frame->NextRow(2, 3);
  QCOMPARE(rig.G2().Row(), 4);
}

QTEST_MAIN(EditorFrameOrderTest)
#include "editor_frame_order_test.moc"
