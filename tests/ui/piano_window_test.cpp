// The piano window in the real main window: zooms, base octave, key hints and octave labels, the
// mouse playing and entering notes, keys typed into the piano reaching the editor, MIDI input and
// the row shown while playing, the "P&iano" command, and docking and floating through the settings.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QSettings>
#include <QTimer>
#include <functional>

#include "app/options_dialog.h"
#include "app/play_display.h"
#include "main_window_rig.h"
#include "windows/piano_form.h"
#include "windows/piano_keys.h"

using namespace varnel;
using varnel::test::WindowRig;

namespace {

TPianoForm& Piano(WindowRig& rig) { return *rig.window->Piano(); }
TPianoKeys& Keys(WindowRig& rig) { return *rig.window->Piano()->Keys(); }

// The cursor on track 0 (channel 0, a note track), pattern row `row`; what was sent so far forgotten.
void Ready(WindowRig& rig, int row = 0) {
  rig.G1().SetCol(1);
  rig.G1().SetRow(row + 1);
  rig.Song().Octave = 4;
  rig.Song().GridAdd = 1;
  rig.backend.Recorder().Clear();
}

void ClickKey(WindowRig& rig, int note, bool release = true) {
  const QPoint centre = Keys(rig).KeyRect(note).center() + QPoint(0, Keys(rig).KeyRect(note).height() / 4);
  QCOMPARE(Keys(rig).KeyAt(centre), note);
  QTest::mousePress(&Keys(rig), Qt::LeftButton, {}, centre);
  if (release) QTest::mouseRelease(&Keys(rig), Qt::LeftButton, {}, centre);
}

// Runs the options dialog through its command; `inside` sets the controls and presses OK.
void RunOptions(WindowRig& rig, const std::function<void(TOptionsForm&)>& inside) {
  QTimer::singleShot(0, rig.window.get(), [&rig, inside] { inside(*rig.window->OptionsForm()); });
  rig.Trigger("Options");
}

void SetDocked(WindowRig& rig, bool docked) {
  RunOptions(rig, [docked](TOptionsForm& o) {
    o.DockedPiano->setChecked(docked);
    o.accept();
  });
}

QStringList Captions(WindowRig& rig, int first, int last) {
  QStringList out;
  for (int n = first; n <= last; ++n) out << Keys(rig).Caption(n);
  return out;
}

}  // namespace

class PianoWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void start_visibleDockedAtBottom_commandChecked();
  void zoom_sizesAndBaseOctave_data();
  void zoom_sizesAndBaseOctave();
  void zoom_labelClick_andBadIndexIgnored();
  void hints_twoOctaveLayout();
  void hints_fourOctaveLayout_andKeyRangeColours();
  void octaveLabels_followZoomAndOctaveKeys();
  void typedNoteKey_lightsKeySoundsAndReachesEditor();
  void typedKeys_gridKeysWorkThroughThePiano();
  void mouse_editing_writesTheNoteHeard();
  void mouse_zoom200_writesTheNoteHeardNotOctaveThree();
  void mouse_editingOff_onlySounds();
  void mouse_valueTrack_soundsButWritesNothing();
  void mouse_heldWhileOctaveChangesOrPianoHides_noteEnds();
  void midiIn_noteLightsKeyWhateverTheZoom();
  void playDisplay_showsRowNotes_stopReleases();
  void playDisplay_playingSongMode_lightsWhatSoundsOnCursorChannel();
  void zoom_200_staysWithinTheWindow();
  void command_togglesAndCloseUnchecks();
  void docking_roundTrip_keepsFloatingBoundsThroughSettings();
  void settings_damagedValues_keepDefaults();
};

void PianoWindowTest::start_visibleDockedAtBottom_commandChecked() {
  WindowRig rig;
  QVERIFY(Piano(rig).isVisible());
  QVERIFY(!Piano(rig).isFloating());
  QCOMPARE(rig.window->dockWidgetArea(&Piano(rig)), Qt::BottomDockWidgetArea);
  QVERIFY(rig.window->Action("Piano")->isEnabled());
  QVERIFY(rig.window->Action("Piano")->isChecked());
  QCOMPARE(rig.window->Action("Piano")->shortcut(), QKeySequence(QStringLiteral("Ctrl+I")));
  QCOMPARE(Piano(rig).PianoZoom(), 2);
  QCOMPARE(Piano(rig).PianoBaseOctave(), 2);
  QCOMPARE(rig.window->Frame()->Options().pianoBaseOctave, 2);
  // The dock area is as high as the keys with their labels: all of a white key shows.
  QVERIFY(Piano(rig).widget()->height() >= 113 + TPianoKeys::LabelStripHeight);

  // Dragged out by the user: "Docked piano" follows, and the keyboard starts on key 0.
  Piano(rig).setFloating(true);
  QVERIFY(!rig.window->OptionsForm()->DockedPiano->isChecked());
  QCOMPARE(Piano(rig).PianoBaseOctave(), 0);
  QCOMPARE(rig.window->Frame()->Options().pianoBaseOctave, 0);
}

void PianoWindowTest::zoom_sizesAndBaseOctave_data() {
  QTest::addColumn<int>("zoom");
  QTest::addColumn<int>("height");
  QTest::addColumn<int>("pitch");
  QTest::addColumn<int>("base");
  QTest::addColumn<QRect>("blackKey1");
  QTest::newRow("50%") << 0 << 56 << 12 << 3 << QRect(9, 0, 9, 34);
  QTest::newRow("70%") << 1 << 79 << 17 << 3 << QRect(12, 0, 12, 48);
  QTest::newRow("100%") << 2 << 113 << 24 << 2 << QRect(16, 0, 18, 70);
  QTest::newRow("150%") << 3 << 169 << 36 << 1 << QRect(24, 0, 27, 104);
  QTest::newRow("200%") << 4 << 226 << 48 << 0 << QRect(32, 0, 36, 140);
}

void PianoWindowTest::zoom_sizesAndBaseOctave() {
  QFETCH(int, zoom);
  QFETCH(int, height);
  QFETCH(int, pitch);
  QFETCH(int, base);
  QFETCH(QRect, blackKey1);
  WindowRig rig;
  Piano(rig).SetZoom(zoom);
  TPianoKeys& keys = Keys(rig);
  QCOMPARE(Piano(rig).PianoZoom(), zoom);
  QCOMPARE(keys.KeyHeight(), height);
  QCOMPARE(keys.WhitePitch(), pitch);
  QCOMPARE(Piano(rig).PianoBaseOctave(), base);
  QCOMPARE(rig.window->Frame()->Options().pianoBaseOctave, base);
  // White keys one pitch apart, one pixel wider than the pitch; black keys over the gaps.
  QCOMPARE(keys.KeyRect(0), QRect(0, 0, pitch + 1, height));
  QCOMPARE(keys.KeyRect(2), QRect(pitch, 0, pitch + 1, height));
  QCOMPARE(keys.KeyRect(1), blackKey1);
  // 75 white keys: 127 (G) is the last one; the octave labels start each octave.
  QCOMPARE(keys.KeyRect(127), QRect(74 * pitch, 0, pitch + 1, height));
  QCOMPARE(keys.KeyRect(12).left(), 7 * pitch);
  QCOMPARE(keys.width(), 74 * pitch + pitch + 1);
  QCOMPARE(keys.height(), height + TPianoKeys::LabelStripHeight);
  for (int i = 0; i < TPianoKeys::OctaveLabelCount; ++i) QCOMPARE(keys.OctaveLabelRect(i).left(), pitch * 7 * (i + 1));
  // A black key lies in front of its white neighbours.
  QCOMPARE(keys.KeyAt(keys.KeyRect(1).center()), 1);
  QCOMPARE(keys.KeyAt(QPoint(keys.KeyRect(1).left() + 1, 2)), 1);
  QCOMPARE(keys.KeyAt(QPoint(keys.KeyRect(1).left() + 1, height - 2)), 0);
  QCOMPARE(keys.KeyAt(QPoint(pitch + pitch / 2, height - 2)), 2);
  QCOMPARE(keys.KeyAt(QPoint(5, height + 5)), -1);

  // Floating, every zoom puts the keyboard's offset 0 on key 0.
  SetDocked(rig, false);
  QVERIFY(Piano(rig).isFloating());
  QCOMPARE(Piano(rig).PianoZoom(), zoom);
  QCOMPARE(Piano(rig).PianoBaseOctave(), 0);
  QCOMPARE(rig.window->Frame()->Options().pianoBaseOctave, 0);
}

void PianoWindowTest::zoom_labelClick_andBadIndexIgnored() {
  WindowRig rig;
  QCOMPARE(Piano(rig).ZoomLabel(4)->text(), QStringLiteral("200%"));
  QCOMPARE(Piano(rig).ZoomLabel(0)->text(), QStringLiteral("50%"));
  QTest::mouseClick(Piano(rig).ZoomLabel(4), Qt::LeftButton);
  QCOMPARE(Piano(rig).PianoZoom(), 4);
  QCOMPARE(Keys(rig).KeyHeight(), 226);
  // The dock area grows to the keys where the window has room, and shrinks with them.
  QTRY_VERIFY(Piano(rig).widget()->height() >= 226);
  const int docked = Piano(rig).widget()->height();
  QTest::mouseClick(Piano(rig).ZoomLabel(0), Qt::LeftButton);
  QCOMPARE(Piano(rig).PianoZoom(), 0);
  QTRY_VERIFY(Piano(rig).widget()->height() <= docked - (226 - 56) + 1);
  QVERIFY(Piano(rig).widget()->height() >= Keys(rig).height());  // the keys still whole
  Piano(rig).SetZoom(5);
  Piano(rig).SetZoom(-1);
  QCOMPARE(Piano(rig).PianoZoom(), 0);
  QCOMPARE(Keys(rig).KeyHeight(), 56);
}

void PianoWindowTest::hints_twoOctaveLayout() {
  WindowRig rig;
  QCOMPARE(Captions(rig, 0, 127).join(QString()), QString());  // "Show hints on keyboard" is off
  Piano(rig).ShowHints(true);
  // 100 % docked: the keyboard starts on key 24.
  QCOMPARE(Captions(rig, 22, 27), (QStringList{"", "", "Z", "S", "X", "D"}));
  QCOMPARE(Captions(rig, 35, 38), (QStringList{"M", "Q", "2", "W"}));
  QCOMPARE(Captions(rig, 52, 57), (QStringList{"P", "[", "+", "]", "\\", ""}));
  Piano(rig).ShowHints(false);
  QCOMPARE(Captions(rig, 0, 127).join(QString()), QString());

  // The option reaches the piano with OK, and with the piano shown again.
  RunOptions(rig, [](TOptionsForm& o) {
    o.ShowHints->setChecked(true);
    o.accept();
  });
  QCOMPARE(Keys(rig).Caption(24), QStringLiteral("Z"));
  Piano(rig).SetZoom(4);  // base 0
  QCOMPARE(Keys(rig).Caption(0), QStringLiteral("Z"));
  QCOMPARE(Keys(rig).Caption(24), QStringLiteral("I"));
}

void PianoWindowTest::hints_fourOctaveLayout_andKeyRangeColours() {
  WindowRig rig;
  Piano(rig).ShowHints(true);
  TPianoKeys& keys = Keys(rig);
  QCOMPARE(keys.KeyColor(24), TPianoKeys::InRangeWhite);
  QCOMPARE(keys.KeyColor(23), TPianoKeys::OutRangeWhite);
  QCOMPARE(keys.KeyColor(55), TPianoKeys::InRangeWhite);   // offset 31, "]"
  QCOMPARE(keys.KeyColor(57), TPianoKeys::OutRangeWhite);  // offset 33: no key plays it
  QCOMPARE(keys.KeyColor(25), QColor(Qt::black));

  rig.Trigger("KeyboardMode");  // four octaves, white keys only
  QCOMPARE(rig.window->Frame()->Options().keyboardMode, 1);
  QCOMPARE(Captions(rig, 24, 31), (QStringList{"Z", "", "X", "", "C", "V", "", "B"}));
  QCOMPARE(keys.Caption(36), QStringLiteral("A"));  // "A" and "," play offset 12
  QCOMPARE(keys.Caption(48), QStringLiteral("Q"));  // "Q" and "K" play offset 24
  QCOMPARE(keys.Caption(53), QStringLiteral("R"));  // before "'"
  QCOMPARE(keys.Caption(57), QStringLiteral("Y"));
  // The top row reaches offset 57: its hints and colours go as far.
  QCOMPARE(keys.Caption(72), QStringLiteral("8"));
  QCOMPARE(keys.Caption(81), QStringLiteral("\\"));
  QCOMPARE(keys.Caption(82), QString());
  QCOMPARE(keys.KeyColor(57), TPianoKeys::InRangeWhite);
  QCOMPARE(keys.KeyColor(81), TPianoKeys::InRangeWhite);
  QCOMPARE(keys.KeyColor(83), TPianoKeys::OutRangeWhite);

  rig.Trigger("KeyboardMode");
  QCOMPARE(keys.Caption(25), QStringLiteral("S"));
  QCOMPARE(keys.Caption(72), QString());
}

void PianoWindowTest::octaveLabels_followZoomAndOctaveKeys() {
  WindowRig rig;
  rig.window->SetOctave(5);  // Octave 4
  TPianoKeys& keys = Keys(rig);
  // 100 % docked, base 2: piano octave 1 (key 12) sounds octave 3.
  QCOMPARE(keys.OctaveLabelText(0), QStringLiteral("C-3"));
  QCOMPARE(keys.OctaveLabelText(7), QStringLiteral("C-10"));
  QVERIFY(keys.OctaveLabelVisible(7));
  QVERIFY(!keys.OctaveLabelVisible(8));
  // 200 %, base 0: 5 to 14, the first six shown.
  Piano(rig).SetZoom(4);
  for (int i = 0; i < 10; ++i) {
    QCOMPARE(keys.OctaveLabelText(i), QStringLiteral("C-%1").arg(5 + i));
    QCOMPARE(keys.OctaveLabelVisible(i), i < 6);
  }
  // F1 typed into the piano: Octave 0, the labels follow, and so does the status bar.
  Piano(rig).SetZoom(2);
  Keys(rig).setFocus();
  QTest::keyClick(&keys, Qt::Key_F1);
  QCOMPARE(int(rig.Song().Octave), 0);
  QCOMPARE(rig.window->StatusText(1), QStringLiteral("Octave 1"));
  QCOMPARE(keys.OctaveLabelText(0), QStringLiteral("C--1"));
  QVERIFY(!keys.OctaveLabelVisible(0));
  QCOMPARE(keys.OctaveLabelText(1), QStringLiteral("C-0"));
  QVERIFY(keys.OctaveLabelVisible(1));
  // The octave menu and a loaded song's octave reach the labels as well.
  rig.Trigger("Octave8");
  QCOMPARE(keys.OctaveLabelText(0), QStringLiteral("C-6"));
  rig.Song().Octave = 2;
  rig.window->PrepareEditor();
  QCOMPARE(keys.OctaveLabelText(0), QStringLiteral("C-1"));
}

void PianoWindowTest::typedNoteKey_lightsKeySoundsAndReachesEditor() {
  WindowRig rig;
  Ready(rig);
  TPianoKeys& keys = Keys(rig);
  keys.setFocus();
  QTest::keyPress(&keys, Qt::Key_Z);
  QVERIFY(keys.IsPressed(24));
  QCOMPARE(rig.Sent(), QStringList{"90 30 64"});  // note 48 on channel 1
  QCOMPARE(rig.Song().GetCellData(0, 0), 48);
  QCOMPARE(rig.G1().Row(), 2);
  QTest::keyRelease(&keys, Qt::Key_Z);
  QVERIFY(!keys.IsPressed(24));
  QVERIFY(rig.Sent().contains(QStringLiteral("80 30 00")));
  // Undo (kept by the editor for typed notes) takes the note back.
  QVERIFY(rig.window->Action("Undo")->isEnabled());

  // At 200 % Z lights key 0 and still plays note 48.
  Piano(rig).SetZoom(4);
  rig.backend.Recorder().Clear();
  QTest::keyPress(&keys, Qt::Key_Z);
  QVERIFY(keys.IsPressed(0));
  QCOMPARE(rig.Sent(), QStringList{"90 30 64"});
  QTest::keyRelease(&keys, Qt::Key_Z);
  QVERIFY(!keys.IsPressed(0));
}

void PianoWindowTest::typedKeys_gridKeysWorkThroughThePiano() {
  WindowRig rig;
  Ready(rig, 4);
  TPianoKeys& keys = Keys(rig);
  keys.setFocus();
  QTest::keyClick(&keys, Qt::Key_Down);
  QCOMPARE(rig.G1().Row(), 6);
  QTest::keyClick(&keys, Qt::Key_CapsLock);
  QCOMPARE(rig.Song().GetCellData(0, 5), CellNoteOff);
  // The number pad's step, a window key, also works from the piano.
  QTest::keyClick(&keys, Qt::Key_3, Qt::KeypadModifier);
  QCOMPARE(int(rig.Song().GridAdd), 3);
  QVERIFY(keys.hasFocus());
}

void PianoWindowTest::mouse_editing_writesTheNoteHeard() {
  WindowRig rig;
  Ready(rig, 2);
  // 100 % docked, Octave 4: key 26 is offset 2, heard and written as D-4 (50).
  ClickKey(rig, 26, false);
  QVERIFY(Keys(rig).IsPressed(26));
  QCOMPARE(rig.Sent(), QStringList{"90 32 64"});
  QCOMPARE(rig.Song().GetCellData(0, 2), 50);
  QCOMPARE(rig.G1().Row(), 4);
  QVERIFY(Keys(rig).hasFocus());
  QTest::mouseRelease(&Keys(rig), Qt::LeftButton, {}, Keys(rig).KeyRect(26).center());
  QVERIFY(!Keys(rig).IsPressed(26));
  QCOMPARE(rig.Sent(), (QStringList{"90 32 64", "80 32 64"}));

  // The channel's transpose is heard and played back alike: the note written is the same.
  rig.Song().SetTranspose(0, 3);
  rig.backend.Recorder().Clear();
  ClickKey(rig, 24);
  QCOMPARE(rig.Sent(), (QStringList{"90 33 64", "80 33 64"}));
  QCOMPARE(rig.Song().GetCellData(0, 3), 48);

  // A key whose note lies beyond the MIDI range sounds nothing and writes nothing.
  Piano(rig).SetZoom(4);  // base 0
  rig.Song().Octave = 8;
  rig.Song().SetTranspose(0, 0);
  rig.backend.Recorder().Clear();
  const int row = rig.G1().Row();
  ClickKey(rig, 40);  // 40 + 96 = 136
  QVERIFY(rig.Sent().isEmpty());
  QCOMPARE(rig.G1().Row(), row);
  QCOMPARE(rig.Song().GetCellData(0, row - 1), CellEmpty);
}

void PianoWindowTest::mouse_zoom200_writesTheNoteHeardNotOctaveThree() {
  WindowRig rig;
  Ready(rig);
  Piano(rig).SetZoom(4);
  ClickKey(rig, 12);  // offset 12 at Octave 4: C-5
  QCOMPARE(rig.Sent(), (QStringList{"90 3C 64", "80 3C 64"}));
  QCOMPARE(rig.Song().GetCellData(0, 0), 60);
  QCOMPARE(rig.G1().CellText(1, 1), QStringLiteral("C-5"));
  // Undo takes a clicked note back like a typed one.
  QVERIFY(rig.window->Action("Undo")->isEnabled());
  rig.Trigger("Undo");
  QCOMPARE(rig.Song().GetCellData(0, 0), CellEmpty);
}

void PianoWindowTest::mouse_editingOff_onlySounds() {
  WindowRig rig;
  Ready(rig, 7);
  rig.Trigger("EditEnabled");
  QVERIFY(!rig.Song().EditEnabled);
  ClickKey(rig, 31);  // offset 7: G-4
  QCOMPARE(rig.Sent(), (QStringList{"90 37 64", "80 37 64"}));
  QCOMPARE(rig.Song().GetCellData(0, 7), CellEmpty);
  QCOMPARE(rig.G1().Row(), 8);
}

void PianoWindowTest::mouse_valueTrack_soundsButWritesNothing() {
  WindowRig rig;
  QVERIFY(rig.Song().AddTrack(0, ttVelocity, 0, -1));  // track 1: the velocities of track 0
  rig.window->PrepareEditor();
  Ready(rig, 1);
  rig.G1().SetCol(2);
  rig.Song().SetCellData(1, 1, 90);
  ClickKey(rig, 24);
  QCOMPARE(rig.Sent(), (QStringList{"90 30 64", "80 30 64"}));
  QCOMPARE(rig.Song().GetCellData(1, 1), 90);
  QCOMPARE(rig.G1().Row(), 2);
}

void PianoWindowTest::mouse_heldWhileOctaveChangesOrPianoHides_noteEnds() {
  WindowRig rig;
  Ready(rig);
  rig.Trigger("EditEnabled");  // off
  ClickKey(rig, 24, false);
  rig.window->SetOctave(7);  // F7 while the mouse holds the key
  QTest::mouseRelease(&Keys(rig), Qt::LeftButton, {}, Keys(rig).KeyRect(24).center());
  QCOMPARE(rig.Sent(), (QStringList{"90 30 64", "80 30 64"}));

  rig.backend.Recorder().Clear();
  ClickKey(rig, 24, false);  // Octave 6: note 72
  QVERIFY(Keys(rig).IsPressed(24));
  rig.Trigger("Piano");  // Ctrl+I with the button still down
  QCOMPARE(rig.Sent(), (QStringList{"90 48 64", "80 48 64"}));
  QVERIFY(!Keys(rig).IsPressed(24));
}

void PianoWindowTest::midiIn_noteLightsKeyWhateverTheZoom() {
  WindowRig rig;
  Ready(rig);
  for (int zoom : {0, 4}) {
    Piano(rig).SetZoom(zoom);
    rig.window->Frame()->HandleMidiIn(MakeShortMessage(0x90, 60, 80));
    QVERIFY(Keys(rig).IsPressed(60));
    rig.window->Frame()->HandleMidiIn(MakeShortMessage(0x90, 60, 0));
    QVERIFY(!Keys(rig).IsPressed(60));
  }
  // Key 60 sounds note 60 at every zoom: the zoom only moves the computer keyboard on the piano.
  for (int zoom : {0, 2, 4}) {
    Piano(rig).SetZoom(zoom);
    rig.backend.Recorder().Clear();
    rig.window->Frame()->HandleMidiIn(MakeShortMessage(0x90, 60, 80));
    rig.window->Frame()->HandleMidiIn(MakeShortMessage(0x80, 60, 0));
    QCOMPARE(rig.Sent(), (QStringList{"90 3C 50", "80 3C 00"}));
  }
}

void PianoWindowTest::playDisplay_showsRowNotes_stopReleases() {
  WindowRig rig;
  TVNSong& song = rig.Song();
  QVERIFY(song.AddTrack(0, ttNote, 0, 0));  // channel 0 has two note tracks
  rig.window->PrepareEditor();
  Ready(rig, 3);
  song.SetCellData(0, 3, 60);
  song.SetCellData(1, 3, 67);
  song.SetCellData(1, 4, 70);  // another row
  song.SetCellData(2, 3, 64);  // another channel's track
  Keys(rig).PressKey(100);     // whatever was lit goes first
  QEvent played(PlayPositionEvent);
  QCoreApplication::sendEvent(rig.window.get(), &played);
  // Octave 4, base 2: note 60 on key 36, 67 on key 43.
  QVERIFY(Keys(rig).IsPressed(36));
  QVERIFY(Keys(rig).IsPressed(43));
  QVERIFY(!Keys(rig).IsPressed(46));
  QVERIFY(!Keys(rig).IsPressed(40));
  QVERIFY(!Keys(rig).IsPressed(100));
  rig.Trigger("Stop");
  for (int n = 0; n < 128; ++n) QVERIFY(!Keys(rig).IsPressed(n));

  // Hidden, the piano is left alone.
  rig.Trigger("Piano");
  Keys(rig).PressKey(5);
  QEvent again(PlayPositionEvent);
  QCoreApplication::sendEvent(rig.window.get(), &again);
  QVERIFY(Keys(rig).IsPressed(5));
  QVERIFY(!Keys(rig).IsPressed(36));
}

// While playing, the keys are the notes sounding on the cursor's channel: in song mode from the
// pattern the order names (not the one on screen), held until their note-off, and not another
// channel's.
void PianoWindowTest::playDisplay_playingSongMode_lightsWhatSoundsOnCursorChannel() {
  WindowRig rig;
  TVNSong& song = rig.Song();
  song.SelectPattern(1);  // a second pattern
  song.SelectPattern(0);
  song.SetCellData(0, 0, 72);  // on screen: pattern 0, never played
  song.CurrentPattern = 1;
  song.SetCellData(0, 0, 60);  // channel 0 of pattern 1: sounds from row 0...
  song.SetCellData(0, 3, CellNoteOff);  // ...until row 3
  song.SetCellData(1, 0, 64);  // channel 1
  song.CurrentPattern = 0;
  for (int c = 0; c < song.ChannelsCount(); ++c) song.SetOrder(c, 0, 1);
  song.SongMode = true;
  rig.window->PrepareEditor();
  Ready(rig, 0);
  rig.Trigger("PlayPause");
  for (int row = 0; row < 3; ++row) rig.clock.Advance();
  rig.Pump();
  // Octave 4, base 2: note n on key n - 24.
  QVERIFY(Keys(rig).IsPressed(36));
  QVERIFY(!Keys(rig).IsPressed(48));  // 72: the pattern on screen
  QVERIFY(!Keys(rig).IsPressed(40));  // 64: channel 1
  rig.clock.Advance();  // row 3: the note-off
  rig.Pump();
  QVERIFY(!Keys(rig).IsPressed(36));
  // The cursor on channel 1: its note, still sounding.
  rig.G1().SetCol(2);
  rig.clock.Advance();
  rig.Pump();
  QVERIFY(Keys(rig).IsPressed(40));
  rig.Trigger("Stop");
}

// The largest zoom makes the piano taller only as far as the window has room: the window's least
// size and its size stay as they were.
void PianoWindowTest::zoom_200_staysWithinTheWindow() {
  WindowRig rig;
  QTRY_VERIFY(Piano(rig).isVisible());
  const QSize least = rig.window->minimumSize(), size = rig.window->size();
  const int before = Piano(rig).height();
  Piano(rig).SetZoom(4);
  QTRY_VERIFY(Piano(rig).height() > before);
  QCOMPARE(rig.window->minimumSize(), least);
  QCOMPARE(rig.window->size(), size);
  QVERIFY(rig.window->rect().contains(Piano(rig).geometry()));
  Piano(rig).SetZoom(0);
  QTRY_VERIFY(Piano(rig).height() < before);
  QCOMPARE(rig.window->minimumSize(), least);
}

void PianoWindowTest::command_togglesAndCloseUnchecks() {
  WindowRig rig;
  QAction* item = rig.window->Action("Piano");
  item->trigger();
  QVERIFY(!item->isChecked());
  QVERIFY(!Piano(rig).isVisible());
  item->trigger();
  QVERIFY(item->isChecked());
  QVERIFY(Piano(rig).isVisible());
  QVERIFY(Piano(rig).close());
  QVERIFY(!item->isChecked());
  QVERIFY(!Piano(rig).isVisible());
}

void PianoWindowTest::docking_roundTrip_keepsFloatingBoundsThroughSettings() {
  QTemporaryDir folder;
  QRect floated;
  {
    WindowRig rig({}, folder.path());
    SetDocked(rig, false);
    QVERIFY(Piano(rig).isFloating());
    QVERIFY(Piano(rig).isVisible());
    Piano(rig).SetZoom(3);
    Piano(rig).setGeometry(QRect(60, 80, 700, Piano(rig).height()));
    floated = Piano(rig).geometry();
    QCOMPARE(floated.topLeft(), QPoint(60, 80));
    QCOMPARE(floated.width(), 700);

    // Docked again, then floating again: the bounds come back.
    SetDocked(rig, true);
    QVERIFY(!Piano(rig).isFloating());
    QCOMPARE(rig.window->dockWidgetArea(&Piano(rig)), Qt::BottomDockWidgetArea);
    QCOMPARE(Piano(rig).PianoBaseOctave(), 1);  // 150 % docked
    SetDocked(rig, false);
    QVERIFY(Piano(rig).isFloating());
    QCOMPARE(Piano(rig).geometry(), floated);
    QCOMPARE(Piano(rig).PianoBaseOctave(), 0);
    QVERIFY(rig.window->close());
  }
  {
    QSettings stored(folder.path() + QStringLiteral("/Orvalis/Varnel.conf"), QSettings::IniFormat);
    QCOMPARE(stored.value("Options/DockedPiano").toString(), QStringLiteral("0"));
    QCOMPARE(stored.value("Options/PianoSize").toString(), QStringLiteral("3"));
    QCOMPARE(stored.value("Options/PianoFormLeft").toInt(), 60);
    QCOMPARE(stored.value("Options/PianoFormTop").toInt(), 80);
    QCOMPARE(stored.value("Options/PianoFormWidth").toInt(), 700);
    QCOMPARE(stored.value("Options/PianoFormHeight").toInt(), floated.height());
    QCOMPARE(stored.value("Options/PianoLeft").toInt(), 60);
    QCOMPARE(stored.value("Options/PianoTop").toInt(), 80);
  }
  {
    WindowRig rig({}, folder.path());
    QVERIFY(!rig.window->OptionsForm()->DockedPiano->isChecked());
    QVERIFY(Piano(rig).isFloating());
    QCOMPARE(Piano(rig).PianoBaseOctave(), 0);
    QVERIFY(Piano(rig).isVisible());
    QCOMPARE(Piano(rig).PianoZoom(), 3);
    QCOMPARE(Piano(rig).geometry(), floated);
    // Docked by the user (dragged home): the option follows and the next start docks.
    Piano(rig).setFloating(false);
    QVERIFY(rig.window->OptionsForm()->DockedPiano->isChecked());
    QCOMPARE(Piano(rig).PianoBaseOctave(), 1);
    QCOMPARE(rig.window->Frame()->Options().pianoBaseOctave, 1);
    rig.Trigger("Piano");  // hidden at close
    QVERIFY(rig.window->close());
  }
  {
    WindowRig rig({}, folder.path());
    QVERIFY(rig.window->OptionsForm()->DockedPiano->isChecked());
    QVERIFY(!Piano(rig).isFloating());
    QVERIFY(!Piano(rig).isVisible());
    QVERIFY(!rig.window->Action("Piano")->isChecked());
    rig.Trigger("Piano");
    QVERIFY(Piano(rig).isVisible());
    QCOMPARE(rig.window->dockWidgetArea(&Piano(rig)), Qt::BottomDockWidgetArea);
  }
}

void PianoWindowTest::settings_damagedValues_keepDefaults() {
  QTemporaryDir folder;
  {
    Settings::UseFolder(folder.path());
    Settings s;
    s.Write(Settings::DockedPiano, false);
    s.Write(Settings::PianoSize, 9);
    s.Write(Settings::PianoFormLeft, 50);
    s.Write(Settings::PianoFormTop, 60);
    s.Write(Settings::PianoFormWidth, -5);
    s.Write(Settings::PianoFormHeight, 100);
    s.Write(Settings::PianoLeft, -40000);
    s.Write(Settings::PianoTop, -40000);
    s.Write(Settings::PianoVisible, false);
  }
  WindowRig rig({}, folder.path());
  QCOMPARE(Piano(rig).PianoZoom(), 2);
  QVERIFY(Piano(rig).isFloating());
  QVERIFY(!Piano(rig).isVisible());
  QVERIFY(!rig.window->Action("Piano")->isChecked());
  rig.Trigger("Piano");
  // Neither a width below 1 nor a place on no screen is taken: the window floats where it shows.
  const QRect bounds = Piano(rig).geometry();
  QVERIFY(bounds.width() > 100);
  QVERIFY(bounds.left() > -1000 && bounds.top() > -1000);
}

QTEST_MAIN(PianoWindowTest)
#include "piano_window_test.moc"

