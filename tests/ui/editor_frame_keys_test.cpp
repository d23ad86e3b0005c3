// The editor frame's keyboard in the pattern grid: notes in both layouts with their preview and
// held-key suppression, Caps Lock note-offs, chords, value entry, the cursor step, and the keys
// that reach the main window (space bar, number pad, Enter).
#include <QTest>

#include "editor_frame_fixture.h"

using namespace varnel;
using namespace varnel::test;
using Strings = std::vector<std::string>;

Q_DECLARE_METATYPE(Qt::Key)
Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

class EditorFrameKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void noteKey_bothLayouts_writesCellAndPreviewsOnCursorChannel_data();
  void noteKey_bothLayouts_writesCellAndPreviewsOnCursorChannel();
  void noteKey_heldWithAutoRepeat_soundsOnceWritesEachRepeat();
  void noteKey_transposedBeyond127_writtenButNotSent();
  void noteKey_editingOff_previewsOnly_andNothingWithAutoShowPiano();
  void noteKeyUp_notHeld_sendsNothing();
  void noteKeyUp_releaseModeD_a_endsThePreviewToo();
  void chordKeyUp_shiftReleasedFirst_endsEveryToneItStarted();
  void noteKey_gridLosesFocus_endsThePreview();
  void capsLock_noteTrack_writesNoteOffAndSteps_velocityTrackIgnores();
  void chord_shiftZInCMajor_addsThirdAndFifthInNewNoteTracks();
  void chord_dInCMinor_soundsMinorThirdAndDiminishedFifth();
  void chord_notesBeyond127_skippedButBoxesKeepTheirTracks();
  void chordKeys_lowerKeysSwitch_makesOnlyLowerKeysChords();
  void valueEntry_decimal_data();
  void valueEntry_decimal();
  void valueEntry_hex_data();
  void valueEntry_hex();
  void valueEntry_cursorMove_startsNewNumber();
  void nextRow_step_data();
  void nextRow_step();
  void nextRow_whilePlaying_cursorStays();
  void nextRow_templateStep_replacesGridAdd();
  void nextRow_chordsUpperKeys_selectsThreeCells();
  void spaceBar_followsPlayerAndOption();
  void numberPad_stepsPatternAndProgram();
  void enter_patternGrid_opensOrderGridAtChannel();
  void keyCodes_positionWhereKnown_elseQtKey_data();
  void keyCodes_positionWhereKnown_elseQtKey();
};

void EditorFrameKeysTest::noteKey_bothLayouts_writesCellAndPreviewsOnCursorChannel_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<int>("octave");
  QTest::addColumn<Qt::Key>("key");
  QTest::addColumn<int>("note");
  QTest::addColumn<QString>("text");
  QTest::newRow("two octaves Z, octave 4") << 0 << 4 << Qt::Key_Z << 48 << "C-4";
  QTest::newRow("two octaves S, octave 4") << 0 << 4 << Qt::Key_S << 49 << "C#4";
  QTest::newRow("two octaves Q, octave 4") << 0 << 4 << Qt::Key_Q << 60 << "C-5";
  QTest::newRow("two octaves comma") << 0 << 4 << Qt::Key_Comma << 60 << "C-5";
  QTest::newRow("two octaves 2, octave 2") << 0 << 2 << Qt::Key_2 << 37 << "C#3";
  QTest::newRow("two octaves backslash") << 0 << 4 << Qt::Key_Backslash << 80 << "G#6";
  QTest::newRow("two octaves Z, octave 0") << 0 << 0 << Qt::Key_Z << 0 << "C-0";
  QTest::newRow("four octaves S") << 1 << 4 << Qt::Key_S << 62 << "D-5";
  QTest::newRow("four octaves A, octave 3") << 1 << 3 << Qt::Key_A << 48 << "C-4";
  QTest::newRow("four octaves 1") << 1 << 4 << Qt::Key_1 << 84 << "C-7";
  QTest::newRow("four octaves apostrophe") << 1 << 4 << Qt::Key_Apostrophe << 77 << "F-6";
  QTest::newRow("four octaves backslash, octave 5") << 1 << 5 << Qt::Key_Backslash << 117 << "A-9";
}

void EditorFrameKeysTest::noteKey_bothLayouts_writesCellAndPreviewsOnCursorChannel() {
  QFETCH(int, mode);
  QFETCH(int, octave);
  QFETCH(Qt::Key, key);
  QFETCH(int, note);
  QFETCH(QString, text);
  FrameRig rig;
  rig.frame->Options().keyboardMode = mode;
  rig.song.Octave = uint8_t(octave);
  rig.G1().SetCol(3);  // track 2, channel 2
  rig.G1().SetRow(5);
  rig.Clear();

  FrameRig::Press(rig.G1(), key);
  QCOMPARE(rig.G1().CellText(3, 5), text);
  QCOMPARE(rig.song.GetCellData(2, 4), note);
  const std::string hex = QStringLiteral("%1").arg(note, 2, 16, QLatin1Char('0')).toUpper().toStdString();
  QCOMPARE(rig.Sent(), Strings{"92 " + hex + " 64"});
  QCOMPARE(rig.G1().Row(), 5);  // GridAdd 0

  rig.Clear();
  FrameRig::Release(rig.G1(), key);
  QCOMPARE(rig.Sent(), Strings{"82 " + hex + " 00"});
}

void EditorFrameKeysTest::noteKey_heldWithAutoRepeat_soundsOnceWritesEachRepeat() {
  FrameRig rig;
  rig.song.GridAdd = 1;
  FrameRig::Press(rig.G1(), Qt::Key_Z);
  QTest::simulateEvent(&rig.G1(), false, Qt::Key_Z, {}, QString(), true);  // a repeat's release
  FrameRig::Press(rig.G1(), Qt::Key_Z, {}, true);
  FrameRig::Press(rig.G1(), Qt::Key_Z, {}, true);
  for (int row = 0; row < 3; ++row) QCOMPARE(rig.song.GetCellData(0, row), 48);
  QCOMPARE(rig.song.GetCellData(0, 3), CellEmpty);
  QCOMPARE(rig.G1().Row(), 4);
  QCOMPARE(rig.Sent(), Strings{"90 30 64"});

  rig.Clear();
  FrameRig::Release(rig.G1(), Qt::Key_Z);
  QCOMPARE(rig.Sent(), Strings{"80 30 00"});
  rig.Clear();
  FrameRig::Press(rig.G1(), Qt::Key_Z);  // released, so the next press sounds again
  QCOMPARE(rig.Sent(), Strings{"90 30 64"});
}

void EditorFrameKeysTest::noteKey_transposedBeyond127_writtenButNotSent() {
  FrameRig rig;
  rig.song.Octave = 8;
  rig.song.SetTranspose(0, 30);
  FrameRig::Press(rig.G1(), Qt::Key_Z);  // 96 + 30 = 126
  QCOMPARE(rig.Sent(), Strings{"90 7E 64"});
  rig.Clear();
  FrameRig::Press(rig.G1(), Qt::Key_X);  // 98 + 30 = 128: no such note
  QCOMPARE(rig.Sent(), Strings{});
  QCOMPARE(rig.song.GetCellData(0, 0), 98);
  FrameRig::Release(rig.G1(), Qt::Key_X);
  QCOMPARE(rig.Sent(), Strings{});
}

void EditorFrameKeysTest::noteKey_editingOff_previewsOnly_andNothingWithAutoShowPiano() {
  FrameRig rig;
  rig.song.EditEnabled = false;
  rig.song.GridAdd = 1;
  FrameRig::Type(rig.G1(), Qt::Key_C);
  QCOMPARE(rig.Sent(), (Strings{"90 34 64", "80 34 00"}));
  QCOMPARE(rig.song.GetCellData(0, 0), CellEmpty);
  QCOMPARE(rig.G1().Row(), 1);

  rig.Clear();
  rig.frame->Options().autoShowPiano = true;
  FrameRig::Press(rig.G1(), Qt::Key_C);
  QCOMPARE(rig.Sent(), Strings{});
}

// A key-up ends what its key-down started and nothing else: a key released that sounded nothing
// here sends nothing.
void EditorFrameKeysTest::noteKeyUp_notHeld_sendsNothing() {
  FrameRig rig;
  FrameRig::Release(rig.G1(), Qt::Key_Z);
  QCOMPARE(rig.Sent(), Strings{});
  rig.song.GridAdd = 2;
  FrameRig::Release(rig.G1(), Qt::Key_Z);
  QCOMPARE(rig.Sent(), Strings{});
}

// "d/a releases" keeps played notes until a note-off cell; a preview still ends with its key.
void EditorFrameKeysTest::noteKeyUp_releaseModeD_a_endsThePreviewToo() {
  FrameRig rig;
  rig.song.SetReleaseMode(0, 255);
  FrameRig::Type(rig.G1(), Qt::Key_Z);
  QCOMPARE(rig.Sent(), (Strings{"90 30 64", "80 30 00"}));
  rig.Clear();
  FrameRig::Press(rig.G1(), Qt::Key_Z);  // the key was released
  QCOMPARE(rig.Sent(), Strings{"90 30 64"});
}

// The chord ends whole when Shift goes up first, and where the octave changed meanwhile.
void EditorFrameKeysTest::chordKeyUp_shiftReleasedFirst_endsEveryToneItStarted() {
  FrameRig rig;
  FrameRig::Press(rig.G1(), Qt::Key_Z, Qt::ShiftModifier);
  QCOMPARE(rig.Sent(), (Strings{"90 30 64", "90 34 64", "90 37 64"}));
  rig.Clear();
  rig.song.Octave = 2;
  FrameRig::Release(rig.G1(), Qt::Key_Z);  // no Shift any more
  QCOMPARE(rig.Sent(), (Strings{"80 30 00", "80 34 00", "80 37 00"}));
  rig.Clear();
  FrameRig::Release(rig.G1(), Qt::Key_Z, Qt::ShiftModifier);
  QCOMPARE(rig.Sent(), Strings{});
}

// A key still down when the grid loses the focus (a box opened) never sees its key-up there.
void EditorFrameKeysTest::noteKey_gridLosesFocus_endsThePreview() {
  FrameRig rig;
  FrameRig::Press(rig.G1(), Qt::Key_X);
  rig.Clear();
  QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QCoreApplication::sendEvent(&rig.G1(), &out);
  QCOMPARE(rig.Sent(), Strings{"80 32 00"});
}

void EditorFrameKeysTest::capsLock_noteTrack_writesNoteOffAndSteps_velocityTrackIgnores() {
  FrameRig rig;
  QVERIFY(rig.song.AddTrack(0, ttVelocity, -1, -1));
  rig.Refresh();
  rig.song.GridAdd = 1;
  FrameRig::Press(rig.G1(), Qt::Key_CapsLock);
  QCOMPARE(rig.song.GetCellData(0, 0), CellNoteOff);
  QCOMPARE(rig.G1().CellText(1, 1), QStringLiteral(" - "));
  QCOMPARE(rig.G1().Row(), 2);
  QCOMPARE(rig.Sent(), Strings{});

  rig.G1().SetCol(2);  // the velocity track
  FrameRig::Press(rig.G1(), Qt::Key_CapsLock);
  QCOMPARE(rig.song.GetCellData(1, 1), CellEmpty);
  QCOMPARE(rig.G1().Row(), 2);
}

void EditorFrameKeysTest::chord_shiftZInCMajor_addsThirdAndFifthInNewNoteTracks() {
  FrameRig rig;
  FrameRig::Press(rig.G1(), Qt::Key_Z, Qt::ShiftModifier);
  QCOMPARE(rig.Sent(), (Strings{"90 30 64", "90 34 64", "90 37 64"}));
  QCOMPARE(rig.song.TracksCount(), 6);
  for (int t = 0; t < 3; ++t) QCOMPARE(rig.song.GetTrackChannel(t), 0);
  QCOMPARE(rig.song.GetCellData(0, 0), 48);
  QCOMPARE(rig.song.GetCellData(1, 0), 52);
  QCOMPARE(rig.song.GetCellData(2, 0), 55);
  QCOMPARE(rig.G1().ColCount(), 7);
  QCOMPARE(rig.G1().CellText(2, 1), QStringLiteral("E-4"));
  QCOMPARE(rig.G1().CellText(3, 1), QStringLiteral("G-4"));
  QCOMPARE(rig.G1().CellText(4, 0), QStringLiteral("2"));  // channel 1 moved right

  rig.Clear();
  FrameRig::Release(rig.G1(), Qt::Key_Z, Qt::ShiftModifier);
  QCOMPARE(rig.Sent(), (Strings{"80 30 00", "80 34 00", "80 37 00"}));

  // The next chord on the channel's first track fills the same tracks again.
  rig.G1().SetRow(2);
  FrameRig::Press(rig.G1(), Qt::Key_C, Qt::ShiftModifier);
  QCOMPARE(rig.song.TracksCount(), 6);
  QCOMPARE(rig.song.GetCellData(1, 1), 55);
  QCOMPARE(rig.song.GetCellData(2, 1), 59);
}

void EditorFrameKeysTest::chord_dInCMinor_soundsMinorThirdAndDiminishedFifth() {
  FrameRig rig;
  rig.song.KeyType = 1;
  FrameRig::Press(rig.G1(), Qt::Key_X, Qt::ShiftModifier);
  QCOMPARE(rig.Sent(), (Strings{"90 32 64", "90 35 64", "90 38 64"}));
  QCOMPARE(rig.song.GetCellData(1, 0), 53);
  QCOMPARE(rig.song.GetCellData(2, 0), 56);
}

void EditorFrameKeysTest::chord_notesBeyond127_skippedButBoxesKeepTheirTracks() {
  FrameRig rig;
  rig.song.Octave = 8;
  rig.frame->Options().chordBoxes = 0b111;                  // third, fifth, octave
  FrameRig::Press(rig.G1(), Qt::Key_P, Qt::ShiftModifier);  // offset 28: E-10 = 124
  QCOMPARE(rig.Sent(), (Strings{"90 7C 64", "90 7F 64"}));
  QCOMPARE(rig.song.TracksCount(), 5);  // only the third got a track
  QCOMPARE(rig.song.GetCellData(0, 0), 124);
  QCOMPARE(rig.song.GetCellData(1, 0), 127);
  QCOMPARE(rig.song.GetTrackChannel(2), 1);
}

void EditorFrameKeysTest::chordKeys_lowerKeysSwitch_makesOnlyLowerKeysChords() {
  FrameRig rig;
  rig.frame->Options().chordsLowerKeys = true;
  FrameRig::Press(rig.G1(), Qt::Key_Q);  // an upper key
  QCOMPARE(rig.Sent(), Strings{"90 3C 64"});
  QCOMPARE(rig.song.TracksCount(), 4);
  rig.Clear();
  FrameRig::Press(rig.G1(), Qt::Key_Z);  // a lower key
  QCOMPARE(rig.Sent(), (Strings{"90 30 64", "90 34 64", "90 37 64"}));
  QCOMPARE(rig.song.TracksCount(), 6);
}

// Digits typed on a velocity track (max 127) and a tempo track (max 255), cell text after each.
void EditorFrameKeysTest::valueEntry_decimal_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<QString>("keys");
  QTest::addColumn<QStringList>("texts");
  QTest::newRow("velocity 1 1 9") << int(ttVelocity) << "119" << QStringList{"01", "11", "119"};
  QTest::newRow("velocity 1 2 8") << int(ttVelocity) << "128" << QStringList{"01", "12", "00"};
  QTest::newRow("velocity 5 3 then new") << int(ttVelocity) << "534" << QStringList{"05", "53", "04"};
  QTest::newRow("tempo 2 5 5") << int(ttTempo) << "255" << QStringList{"02", "25", "255"};
  QTest::newRow("tempo 2 5 6") << int(ttTempo) << "256" << QStringList{"02", "25", ""};
  QTest::newRow("pan 0") << int(ttPan) << "0" << QStringList{"00"};
}

void EditorFrameKeysTest::valueEntry_decimal() {
  QFETCH(int, type);
  QFETCH(QString, keys);
  QFETCH(QStringList, texts);
  FrameRig rig;
  QVERIFY(rig.song.AddTrack(0, type, -1, -1));
  rig.Refresh();
  rig.song.GridAdd = 1;
  rig.G1().SetCol(2);
  for (int i = 0; i < keys.size(); ++i) {
    FrameRig::Type(rig.G1(), Qt::Key(Qt::Key_0 + keys[i].digitValue()));
    QCOMPARE(rig.G1().CellText(2, 1), texts[i]);
  }
  QCOMPARE(rig.G1().Row(), 1);
  // Digits that are note keys elsewhere sound nothing here (their key-up still sends the
  // note-offs of a stepping editor).
  for (const std::string& m : rig.Sent()) QVERIFY2(m[0] != '9', m.c_str());
}

void EditorFrameKeysTest::valueEntry_hex_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<QList<int>>("keys");
  QTest::addColumn<QStringList>("texts");
  QTest::newRow("velocity 9 first") << int(ttVelocity) << QList<int>{Qt::Key_9} << QStringList{"00"};
  QTest::newRow("velocity 7 F") << int(ttVelocity) << QList<int>{Qt::Key_7, Qt::Key_F} << QStringList{"70", "7F"};
  QTest::newRow("velocity A first") << int(ttVelocity) << QList<int>{Qt::Key_A} << QStringList{"00"};
  QTest::newRow("tempo F E") << int(ttTempo) << QList<int>{Qt::Key_F, Qt::Key_E} << QStringList{"F0", "FE"};
}

void EditorFrameKeysTest::valueEntry_hex() {
  QFETCH(int, type);
  QFETCH(QList<int>, keys);
  QFETCH(QStringList, texts);
  FrameRig rig;
  rig.frame->Options().rowNumberFormat = 1;
  QVERIFY(rig.song.AddTrack(0, type, -1, -1));
  rig.Refresh();
  rig.G1().SetCol(2);
  for (int i = 0; i < keys.size(); ++i) {
    FrameRig::Type(rig.G1(), Qt::Key(keys[i]));
    QCOMPARE(rig.G1().CellText(2, 1), texts[i]);
  }
  QCOMPARE(rig.Sent(), Strings{});
}

void EditorFrameKeysTest::valueEntry_cursorMove_startsNewNumber() {
  FrameRig rig;
  QVERIFY(rig.song.AddTrack(0, ttVelocity, -1, -1));
  rig.song.SetCellData(1, 1, 7);
  rig.Refresh();
  rig.G1().SetCol(2);
  FrameRig::Type(rig.G1(), Qt::Key_1);
  FrameRig::Type(rig.G1(), Qt::Key_Down);
  FrameRig::Type(rig.G1(), Qt::Key_3);
  QCOMPARE(rig.song.GetCellData(1, 0), 1);
  QCOMPARE(rig.song.GetCellData(1, 1), 3);  // not 73
  rig.song.EditEnabled = false;
  FrameRig::Type(rig.G1(), Qt::Key_5);
  QCOMPARE(rig.song.GetCellData(1, 1), 3);
}

void EditorFrameKeysTest::nextRow_step_data() {
  QTest::addColumn<int>("rows");
  QTest::addColumn<int>("gridAdd");
  QTest::addColumn<int>("fromGridRow");
  QTest::addColumn<int>("toGridRow");
  QTest::newRow("GridAdd 0 stays") << 64 << 0 << 10 << 10;
  QTest::newRow("one step") << 64 << 1 << 10 << 11;
  QTest::newRow("16 rows, step 4 from grid row 15") << 16 << 4 << 15 << 3;
  QTest::newRow("last row wraps to first") << 16 << 1 << 16 << 1;
  QTest::newRow("step longer than the pattern") << 16 << 40 << 1 << 9;
  QTest::newRow("step of exactly the pattern") << 16 << 32 << 5 << 5;
}

void EditorFrameKeysTest::nextRow_step() {
  QFETCH(int, rows);
  QFETCH(int, gridAdd);
  QFETCH(int, fromGridRow);
  QFETCH(int, toGridRow);
  FrameRig rig(4, rows);
  rig.song.GridAdd = gridAdd;
  rig.G1().SetRow(fromGridRow);
  FrameRig::Press(rig.G1(), Qt::Key_Z);
  QCOMPARE(rig.song.GetCellData(0, fromGridRow - 1), 48);
  QCOMPARE(rig.G1().Row(), toGridRow);
}

void EditorFrameKeysTest::nextRow_whilePlaying_cursorStays() {
  FrameRig rig;
  rig.song.GridAdd = 1;
  rig.player.PlayPause();
  QVERIFY(rig.player.Playing());
  FrameRig::Type(rig.G1(), Qt::Key_Z);
  QCOMPARE(rig.song.GetCellData(0, 0), 48);
  QCOMPARE(rig.G1().Row(), 1);
  rig.player.PlayPause();  // paused: entry steps again
  FrameRig::Type(rig.G1(), Qt::Key_X);
  QCOMPARE(rig.G1().Row(), 2);
  rig.player.Stop();
  FrameRig::Type(rig.G1(), Qt::Key_C);
  QCOMPARE(rig.G1().Row(), 3);
}

void EditorFrameKeysTest::nextRow_templateStep_replacesGridAdd() {
  FrameRig rig;
  rig.song.GridAdd = 1;
  rig.host.templateStep = 3;
  FrameRig::Type(rig.G1(), Qt::Key_Z);
  QCOMPARE(rig.G1().Row(), 4);
  rig.frame->NextRow(1, 2);  // an explicit step ignores both
  QCOMPARE(rig.G1().Row(), 6);
}

void EditorFrameKeysTest::nextRow_chordsUpperKeys_selectsThreeCells() {
  FrameRig rig;
  rig.song.GridAdd = 1;
  rig.frame->Options().chordsUpperKeys = true;
  rig.G1().SetCol(2);
  FrameRig::Press(rig.G1(), Qt::Key_Z);
  QCOMPARE(rig.G1().Selection(), (TGridRect{2, 2, 4, 2}));
}

void EditorFrameKeysTest::spaceBar_followsPlayerAndOption() {
  FrameRig rig;
  FrameRig::Type(rig.G1(), Qt::Key_Space);
  QCOMPARE(rig.host.calls, Strings{"PlayPause"});
  rig.player.PlayPause();
  rig.Clear();
  FrameRig::Type(rig.G1(), Qt::Key_Space);
  FrameRig::Press(rig.G1(), Qt::Key_Space, {}, true);  // a held space bar does not repeat
  QCOMPARE(rig.host.calls, Strings{"StopPlayback"});
  rig.frame->Options().spaceKeyAction = 1;
  rig.Clear();
  FrameRig::Type(rig.G2(), Qt::Key_Space);
  QCOMPARE(rig.host.calls, Strings{"PlayPause"});
}

void EditorFrameKeysTest::numberPad_stepsPatternAndProgram() {
  FrameRig rig;
  FrameRig::Type(rig.G1(), Qt::Key_Plus, Qt::KeypadModifier);
  FrameRig::Type(rig.G1(), Qt::Key_Minus, Qt::KeypadModifier);
  FrameRig::Type(rig.G1(), Qt::Key_Asterisk, Qt::KeypadModifier);
  FrameRig::Type(rig.G1(), Qt::Key_Slash, Qt::KeypadModifier);
  QCOMPARE(rig.host.calls, (Strings{"StepPatternField 1", "StepPatternField -1", "StepProgram 1", "StepProgram -1"}));
  QCOMPARE(rig.song.GetCellData(0, 0), CellEmpty);  // none of them is a note key here
}

void EditorFrameKeysTest::enter_patternGrid_opensOrderGridAtChannel() {
  FrameRig rig;
  rig.G1().SetCol(3);
  rig.Clear();
  FrameRig::Type(rig.G1(), Qt::Key_Return);
  QCOMPARE(rig.frame->ActiveGrid(), 2);
  QVERIFY(rig.G2().isVisible());
  QVERIFY(!rig.G1().isVisible());
  QCOMPARE(rig.G2().Col(), 3);
  QCOMPARE(rig.host.calls, Strings{"ShowEditor 2"});  // the current channel stays 2

  // In song view the order grid also goes to the position being shown.
  rig.frame->SetActiveGrid(1);
  rig.song.FollowSongView = 1;
  rig.song.PlayingOrder = 5;
  FrameRig::Type(rig.G1(), Qt::Key_Enter, Qt::KeypadModifier);
  QCOMPARE(rig.G2().Row(), 6);
}

void EditorFrameKeysTest::keyCodes_positionWhereKnown_elseQtKey_data() {
  QTest::addColumn<QString>("platform");
  QTest::addColumn<Qt::Key>("key");
  QTest::addColumn<Qt::KeyboardModifiers>("mods");
  QTest::addColumn<int>("scanCode");
  QTest::addColumn<int>("vk");
  const Qt::KeyboardModifiers none, shift(Qt::ShiftModifier), keypad(Qt::KeypadModifier);
  // X11 key codes are the evdev codes + 8.
  QTest::newRow("German Y at the Z position") << "xcb" << Qt::Key_Y << none << 44 + 8 << int('Z');
  QTest::newRow("German Z at the Y position") << "wayland" << Qt::Key_Z << none << 21 + 8 << int('Y');
  QTest::newRow("French A at the Q position") << "xcb" << Qt::Key_A << none << 16 + 8 << int('Q');
  QTest::newRow("number pad plus by position") << "xcb" << Qt::Key_Plus << keypad << 78 + 8 << Vk::Add;
  QTest::newRow("no scan code") << "xcb" << Qt::Key_Q << none << 0 << int('Q');
  QTest::newRow("unknown scan code") << "xcb" << Qt::Key_A << none << 200 << int('A');
  QTest::newRow("platform without evdev codes") << "offscreen" << Qt::Key_Y << none << 52 << int('Y');
  QTest::newRow("shifted 1") << "offscreen" << Qt::Key_Exclam << shift << 0 << Vk::Digit(1);
  QTest::newRow("shifted comma") << "offscreen" << Qt::Key_Less << shift << 0 << Vk::OemComma;
  QTest::newRow("shifted equals") << "offscreen" << Qt::Key_Plus << shift << 0 << Vk::OemPlus;
  QTest::newRow("caps lock") << "offscreen" << Qt::Key_CapsLock << none << 0 << Vk::Capital;
  QTest::newRow("number pad 5") << "offscreen" << Qt::Key_5 << keypad << 0 << Vk::Numpad(5);
  QTest::newRow("number pad enter") << "offscreen" << Qt::Key_Enter << keypad << 0 << Vk::Return;
  QTest::newRow("F5 is the main window's") << "offscreen" << Qt::Key_F5 << none << 0 << 0;
}

void EditorFrameKeysTest::keyCodes_positionWhereKnown_elseQtKey() {
  QFETCH(QString, platform);
  QFETCH(Qt::Key, key);
  QFETCH(Qt::KeyboardModifiers, mods);
  QFETCH(int, scanCode);
  QFETCH(int, vk);
  const QKeyEvent event(QEvent::KeyPress, key, mods, quint32(scanCode), 0, 0);
  QCOMPARE(TVNFrame::VirtualKeyOf(&event, platform), vk);
}

QTEST_MAIN(EditorFrameKeysTest)
#include "editor_frame_keys_test.moc"
