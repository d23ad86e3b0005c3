// The main window's command set: the action table, and the commands this build carries out
// (patterns, loops, pack, devices, MIDI input, import and export, zoom, views, options).
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSet>
#include <QTest>
#include <QToolBar>
#include <thread>

#include "app/main_window_menus.h"
#include "exchange/midi_export.h"
#include "main_window_rig.h"

using namespace varnel;
using varnel::test::WindowRig;

namespace {

QString TempFile(const QString& name) { return QDir::temp().filePath(QStringLiteral("varnel_mw_") + name); }

}  // namespace

class MainWindowCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void table_captionsShortcutsHints_data();
  void table_captionsShortcutsHints();
  void table_shortcuts_neverShared();
  void table_laterCommands_disabledNotHidden();
  void editEnabled_f9_togglesSongAndStatus();
  void addPattern_appendsAndRefreshesField();
  void removePattern_lastPattern_refused();
  void removePattern_middle_selectsPrevious();
  void removeBeforeAfter_keepOnlyCurrent();
  void removeBeforeAfter_nothingThere_says();
  void pack_anyStep_refreshesEditor();
  void loops_setAndReset_songAndGridMarks();
  void devices_menus_listAndSelect();
  void midiInput_fromDeviceThread_entersNotesInOrder();
  void export_pattern_proposesNameAndWritesFile_data();
  void export_pattern_proposesNameAndWritesFile();
  void import_modifiedSongRefused_noDialog();
  void import_midi_asksPackEvenWithWarningsOff();
  void import_badModule_reportedSongKept();
  void import_whilePlaying_haltsForDialogs_newSongFromItsStart_giveUpPlaysOn();
  void zoom_inAndOut_changeGridFontWithinBounds();
  void views_editorsAndToolbars_followCommands();
  void options_toggles_reachSongAndEditor();
};

void MainWindowCommandsTest::table_captionsShortcutsHints_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("shortcut");
  QTest::addColumn<QString>("tip");
  QTest::addColumn<QString>("statusTip");
  QTest::newRow("open") << "Open" << "&Open" << "Ctrl+O" << "Open a new file" << "Open a new file";
  QTest::newRow("cut") << "Cut" << "Cu&t" << "Shift+Del" << "Cut" << "Cuts the selection and puts it on the Clipboard";
  QTest::newRow("copy") << "Copy" << "&Copy" << "Ctrl+Ins" << "Copy" << "Copies the selection and puts it on the Clipboard";
  QTest::newRow("paste") << "Paste" << "&Paste" << "Shift+Ins" << "Paste" << "Inserts Clipboard contents";
  QTest::newRow("new version") << "SaveNewVersion" << "Save new version" << "Ctrl+N" << "" << "";
  QTest::newRow("zoom in") << "ZoomIn" << "Zoom In" << "Ctrl+]" << "Increase font size" << "Increase font size";
  QTest::newRow("pattern editor") << "PatternEditor" << "&Pattern Editor" << "F11" << "Pattern Editor" << "Pattern Editor";
  QTest::newRow("edit enabled") << "EditEnabled" << "&Edit enabled" << "F9" << "Enable/Disable editing" << "Enable/Disable editing";
  QTest::newRow("transpose") << "TransposeDown" << "Transpose &down" << "Alt+F1" << "Transpose down" << "Transpose down";
  QTest::newRow("track transpose") << "TransposeTrackUp" << "Transpose track &up" << "Shift+F2" << "Transpose track up" << "Transpose track up";
  QTest::newRow("channel transpose") << "TransposeChannelDown" << "Transpose channel &down" << "Ctrl+Shift+F1"
                                     << "Transpose channel &down" << "Transpose channel &down";
  QTest::newRow("pattern transpose") << "TransposePatternDown" << "Transpose pattern &down" << "Ctrl+F1" << "" << "";
  QTest::newRow("paste channel") << "PasteChannel" << "&Paste channel" << "Ctrl+Shift+F5" << "" << "";
  QTest::newRow("channel volume") << "Automation2" << "Channel Volume" << "Ctrl+U" << "" << "";
  QTest::newRow("panning") << "Automation1" << "Panning" << "" << "Panning - control change event " << "Panning - control change event ";
  QTest::newRow("tempo track") << "TempoTrack" << "Tempo track (BPM)" << "" << "BPM (32..255)" << "BPM (32..255)";
  QTest::newRow("drum nrpn") << "NRPN2596" << "14knh Drum key low-pass filter cut-off" << ""
                             << "Default for C3 - Edit 'Value 2' for another Note" << "Default for C3 - Edit 'Value 2' for another Note";
  QTest::newRow("loop start") << "LoopStart" << "Set start loop" << "Ctrl+B" << "" << "";
  QTest::newRow("metronome") << "Metronome" << "Metronome" << "Ctrl+M" << "Metronome" << "Metronome";
  QTest::newRow("clear channels") << "ClearChannels" << "Clear channels" << ""
                                  << "Send NoteOff for all channels and tracks" << "Send NoteOff for all channels and tracks";
  QTest::newRow("exit") << "Exit" << "E&xit" << "" << "Exit the program" << "Exit the program";
  QTest::newRow("channel bar") << "BarChannel" << "Channel &properties" << "Ctrl+P" << "" << "";
  QTest::newRow("shrink 3") << "Shrink3" << "Shrink pattern / 3" << "" << "Shrink and quantize" << "Shrink and quantize";
  QTest::newRow("length 0") << "TrackLength0" << "0 - Remove Note Off events" << "" << "Set notes lengths" << "Set notes lengths";
  QTest::newRow("length -1") << "TrackLengthFromNext1" << "-1 From Next Note" << "" << "Set notes lengths" << "Set notes lengths";
}

void MainWindowCommandsTest::table_captionsShortcutsHints() {
  QFETCH(QString, key);
  QFETCH(QString, caption);
  QFETCH(QString, shortcut);
  QFETCH(QString, tip);
  QFETCH(QString, statusTip);
  WindowRig rig;
  QAction* action = rig.window->Action(key);
  QCOMPARE(action->text(), caption);
  QCOMPARE(action->shortcut(), QKeySequence(shortcut));
  if (!tip.isEmpty()) QCOMPARE(action->toolTip(), tip);
  QCOMPARE(action->statusTip(), statusTip);
}

void MainWindowCommandsTest::table_shortcuts_neverShared() {
  WindowRig rig;
  QHash<QKeySequence, QString> owner;
  for (auto it = rig.window->Commands().All().begin(); it != rig.window->Commands().All().end(); ++it) {
    const QKeySequence key = it.value()->shortcut();
    if (key.isEmpty()) continue;
    QVERIFY2(!owner.contains(key), qPrintable(it.key() + " and " + owner.value(key)));
    owner.insert(key, it.key());
  }
  // F1..F8 and the number pad belong to the window's own keys.
  for (int n = 0; n < 8; ++n) QVERIFY(!owner.contains(QKeySequence(Qt::Key_F1 + n)));
}

void MainWindowCommandsTest::table_laterCommands_disabledNotHidden() {
  WindowRig rig;
  // The further events of "More events..." are not built: hidden and disabled.
  for (int i = 0; i < 5; ++i) {
    QAction* action = rig.window->Action(QStringLiteral("MoreEvents%1").arg(i));
    QVERIFY(!action->isEnabled());
    QVERIFY(!action->isVisible());
  }
  // Undo waits for something to undo.
  QVERIFY(!rig.window->Action("Undo")->isEnabled());
  for (const char* key : {"PlayPause", "Stop", "ImportMidi", "ExportSong", "Pack0", "LoopReset", "ZoomOut", "Exit", "Open",
                          "Save", "Cut", "AddTrack", "AddChannel", "Expand2", "Options", "Fill", "AudioSettings",
                          "SongInfo", "Help", "About"})
    QVERIFY2(rig.window->Action(key)->isEnabled(), key);
}

void MainWindowCommandsTest::editEnabled_f9_togglesSongAndStatus() {
  WindowRig rig;
  QTest::keyClick(&rig.G1(), Qt::Key_F9);
  QVERIFY(!rig.Song().EditEnabled);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Edit disabled"));
  QVERIFY(!rig.window->Action("EditEnabled")->isChecked());
  QTest::keyClick(&rig.G1(), Qt::Key_F9);
  QVERIFY(rig.Song().EditEnabled);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Edit enabled"));
}

void MainWindowCommandsTest::addPattern_appendsAndRefreshesField() {
  WindowRig rig;
  rig.Trigger("AddPattern");
  QCOMPARE(rig.Song().PatternsCount(), 2);
  QCOMPARE(rig.Props().Ptn->Maximum(), 2);
  QCOMPARE(rig.Props().Ptn->Presets(), (QStringList{"0", "1"}));
}

void MainWindowCommandsTest::removePattern_lastPattern_refused() {
  WindowRig rig;
  rig.Trigger("RemovePattern");
  QCOMPARE(rig.dialogs.questions, QStringList{QStringLiteral("Sure to remove current pattern?")});
  QCOMPARE(rig.dialogs.messages, QStringList{QStringLiteral("Cannot remove the last pattern of the song")});
  QCOMPARE(rig.Song().PatternsCount(), 1);
}

void MainWindowCommandsTest::removePattern_middle_selectsPrevious() {
  WindowRig rig;
  for (int i = 1; i < 3; ++i) rig.Props().Ptn->SetValue(i);
  rig.Props().Ptn->SetValue(1);
  rig.dialogs.answer = false;
  rig.Trigger("RemovePattern");
  QCOMPARE(rig.Song().PatternsCount(), 3);
  rig.dialogs.answer = true;
  rig.Trigger("RemovePattern");
  QCOMPARE(rig.Song().PatternsCount(), 2);
  QCOMPARE(int(rig.Song().CurrentPattern), 0);
  QCOMPARE(rig.Props().Ptn->Maximum(), 2);
}

void MainWindowCommandsTest::removeBeforeAfter_keepOnlyCurrent() {
  WindowRig rig;
  for (int i = 1; i < 5; ++i) rig.Props().Ptn->SetValue(i);
  rig.Props().Ptn->SetValue(2);
  rig.Song().SetCellData(0, 0, 61);  // marks pattern 2
  rig.Trigger("RemoveBefore");
  QCOMPARE(rig.dialogs.questions.last(), QStringLiteral("Are you sure to remove all patterns before this one?"));
  QCOMPARE(rig.Song().PatternsCount(), 3);
  QCOMPARE(int(rig.Song().CurrentPattern), 0);
  QCOMPARE(rig.Song().GetCellData(0, 0), 61);
  rig.Trigger("RemoveAfter");
  QCOMPARE(rig.dialogs.questions.last(), QStringLiteral("Are you sure to remove all patterns after this one?"));
  QCOMPARE(rig.Song().PatternsCount(), 1);
  QCOMPARE(rig.Song().GetCellData(0, 0), 61);
}

void MainWindowCommandsTest::removeBeforeAfter_nothingThere_says() {
  WindowRig rig;
  rig.Trigger("RemoveBefore");
  rig.Trigger("RemoveAfter");
  QCOMPARE(rig.dialogs.messages, (QStringList{"Nothing to remove", "Nothing to remove"}));
  QVERIFY(rig.dialogs.questions.isEmpty());
}

void MainWindowCommandsTest::pack_anyStep_refreshesEditor() {
  WindowRig rig;
  for (int i = 1; i < 4; ++i) rig.Props().Ptn->SetValue(i);
  rig.Trigger("Pack0");
  QCOMPARE(rig.Props().Ptn->Maximum(), rig.Song().PatternsCount());
  QCOMPARE(rig.Props().Ptn->Presets().size(), rig.Song().PatternsCount());
}

void MainWindowCommandsTest::loops_setAndReset_songAndGridMarks() {
  WindowRig rig;
  rig.G1().SetRow(5);
  rig.Trigger("LoopStart");
  rig.G1().SetRow(9);
  rig.Trigger("LoopEnd");
  QCOMPARE(int(rig.Song().PatternLoopStart), 5);
  QCOMPARE(int(rig.Song().PatternLoopEnd), 9);
  QCOMPARE(rig.G1().LoopRect(), (TGridRect{0, 5, 0, 9}));
  rig.Trigger("SequenceEditor");
  rig.window->Frame()->Grid2()->SetRow(3);
  rig.Trigger("LoopStart");
  QCOMPARE(int(rig.Song().OrderLoopStart), 3);
  QCOMPARE(rig.window->Frame()->Grid2()->LoopRect(), (TGridRect{0, 3, 0, 3}));
  // Stop rewinds to the loop starts.
  rig.Trigger("Stop");
  QCOMPARE(int(rig.Song().PlayingRow), 4);
  rig.Trigger("LoopReset");
  for (int v : {int(rig.Song().PatternLoopStart), int(rig.Song().PatternLoopEnd), int(rig.Song().OrderLoopStart),
                int(rig.Song().OrderLoopEnd)})
    QCOMPARE(v, -1);
  QCOMPARE(rig.G1().LoopRect(), TGridRect{});
}

void MainWindowCommandsTest::devices_menus_listAndSelect() {
  WindowRig rig;
  QStringList outs, ins;
  for (QAction* a : rig.window->Commands().OutDeviceMenu->actions()) outs << a->text();
  for (QAction* a : rig.window->Commands().InDeviceMenu->actions()) ins << a->text();
  QCOMPARE(outs, (QStringList{"MIDI Mapper", "Recorder"}));
  QCOMPARE(ins, (QStringList{"None", "Recorder In"}));
  QVERIFY(rig.window->Commands().OutDeviceMenu->actions()[0]->isChecked());
  rig.window->Commands().OutDeviceMenu->actions()[1]->trigger();
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Device: Recorder"));
  QCOMPARE(rig.window->Devices().OutDeviceId(), 0);
  QVERIFY(rig.window->Commands().OutDeviceMenu->actions()[1]->isChecked());
  rig.window->Commands().InDeviceMenu->actions()[1]->trigger();
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("InDevice: Recorder In"));
}

void MainWindowCommandsTest::midiInput_fromDeviceThread_entersNotesInOrder() {
  WindowRig rig;
  rig.window->Commands().InDeviceMenu->actions()[1]->trigger();
  rig.Props().Add->SetValue(1);
  std::thread device([&] {
    rig.backend.Receive(MakeShortMessage(0x90, 60, 100));
    rig.backend.Receive(MakeShortMessage(0x90, 62, 90));
    rig.backend.Receive(MakeShortMessage(0x90, 64, 80));
  });
  device.join();
  rig.Pump();
  const int first = rig.Song().GetCellData(0, 0);
  QVERIFY(first >= 0 && first < 128);
  QCOMPARE(rig.Song().GetCellData(0, 1), first + 2);
  QCOMPARE(rig.Song().GetCellData(0, 2), first + 4);
  QVERIFY(rig.window->StatusText(0).startsWith(QStringLiteral("MIDI Data received: 90h 64 80")));
}

void MainWindowCommandsTest::export_pattern_proposesNameAndWritesFile_data() {
  QTest::addColumn<QString>("fileName");
  QTest::addColumn<bool>("wholeSong");
  QTest::addColumn<QString>("proposal");
  QTest::newRow("pattern") << "/music/demo.vnl" << false << "/music/demo_pat_03";
  QTest::newRow("song") << "/music/demo.vnl" << true << "/music/demo";
  QTest::newRow("dotted folder") << "/music/v1.2/demo" << true << "/music/v1.2/demo";
  QTest::newRow("untitled pattern") << "" << false << "_pat_03";
}

void MainWindowCommandsTest::export_pattern_proposesNameAndWritesFile() {
  QFETCH(QString, fileName);
  QFETCH(bool, wholeSong);
  QFETCH(QString, proposal);
  WindowRig rig;
  for (int i = 1; i <= 3; ++i) rig.Props().Ptn->SetValue(i);
  rig.Song().SetCellData(0, 0, 60);
  rig.Song().FileName = fileName.toStdString();
  const QString out = TempFile("export.mid");
  QFile::remove(out);
  rig.dialogs.saveName = out;
  rig.Trigger(wholeSong ? "ExportSong" : "ExportPattern");
  QCOMPARE(rig.dialogs.proposals, QStringList{proposal});
  QCOMPARE(rig.dialogs.suffixes, QStringList{"mid"});
  QVERIFY(rig.dialogs.filters.first().endsWith(QStringLiteral("Standart MIDI files (*.mid)")));
  QFile file(out);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.read(4), QByteArray("MThd"));
  file.close();
  QFile::remove(out);
}

void MainWindowCommandsTest::import_modifiedSongRefused_noDialog() {
  WindowRig rig;
  rig.Song().SetCellData(0, 0, 60);
  rig.dialogs.answer = false;
  rig.Trigger("ImportXM");
  rig.Trigger("ImportMidi");
  QCOMPARE(rig.dialogs.questions, (QStringList{"Current edition will be lost. Continue?",
                                               "Current edition will be lost. Continue?"}));
  QVERIFY(rig.dialogs.filters.isEmpty());
  QCOMPARE(rig.Song().GetCellData(0, 0), 60);
}

void MainWindowCommandsTest::import_midi_asksPackEvenWithWarningsOff() {
  const QString midi = TempFile("import.mid");
  {
    TVNSong source;
    for (int row = 0; row < 16; row += 4) source.SetCellData(0, row, 60 + row);
    QVERIFY(ExportMidi(source, midi.toStdString(), true));
  }
  WindowRig rig;
  rig.Trigger("DisableWarnings");
  rig.SetModified(true);
  rig.dialogs.openName = midi;
  rig.dialogs.answer = true;
  rig.Trigger("ImportMidi");
  QCOMPARE(rig.dialogs.confirmations, 1);  // the "MIDI Import" options page came first
  QCOMPARE(rig.dialogs.questions.count(QStringLiteral("Pack song?")), 1);
  QVERIFY(!rig.dialogs.questions.contains(QStringLiteral("Current edition will be lost. Continue?")));
  QCOMPARE(rig.dialogs.suffixes, QStringList{"mid"});
  QVERIFY(rig.dialogs.filters.first().endsWith(QStringLiteral("Standard MIDI files (*.mid *.midi *.kar)")));
  QCOMPARE(rig.Props().Ptn->Maximum(), rig.Song().PatternsCount());
  bool found = false;
  for (int t = 0; t < rig.Song().TracksCount() && !found; ++t) found = rig.Song().GetCellData(t, 0) == 60;
  QVERIFY(found);
  QFile::remove(midi);
}

void MainWindowCommandsTest::import_badModule_reportedSongKept() {
  const QString bad = TempFile("bad.xm");
  {
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is no module");
  }
  WindowRig rig;
  rig.Song().SetCellData(0, 0, 60);
  rig.SetModified(false);
  rig.dialogs.openName = bad;
  rig.Trigger("ImportXM");
  QCOMPARE(rig.dialogs.suffixes, QStringList{"xm"});
  QVERIFY(rig.dialogs.filters.first().endsWith(QStringLiteral("FastTracker 2 Modules (*.xm)")));
  QVERIFY(!rig.dialogs.messages.isEmpty() || !rig.window->StatusText(0).isEmpty());
  QCOMPARE(rig.Song().GetCellData(0, 0), 60);
  QFile::remove(bad);
}

void MainWindowCommandsTest::zoom_inAndOut_changeGridFontWithinBounds() {
  WindowRig rig;
  const int size = rig.window->GridFontSize();
  const int width = rig.G1().ColWidth(1);
  rig.Trigger("ZoomIn");
  QCOMPARE(rig.window->GridFontSize(), size + 1);
  QCOMPARE(rig.window->Frame()->Grid2()->font(), rig.G1().font());
  QVERIFY(rig.G1().ColWidth(1) >= width);
  for (int i = 0; i < 40; ++i) rig.Trigger("ZoomOut");
  QCOMPARE(rig.window->GridFontSize(), 2);
}

void MainWindowCommandsTest::views_editorsAndToolbars_followCommands() {
  WindowRig rig;
  rig.Trigger("SequenceEditor");
  QCOMPARE(rig.window->Frame()->ActiveGrid(), 2);
  QVERIFY(!rig.window->Action("PatternEditor")->isChecked());
  QTest::keyClick(rig.window->Frame()->Grid2(), Qt::Key_F11);
  QCOMPARE(rig.window->Frame()->ActiveGrid(), 1);
  QVERIFY(rig.window->Action("PatternEditor")->isChecked());
  rig.Trigger("SplitView");
  QVERIFY(rig.window->Frame()->SplitView());

  rig.Trigger("BarsHideAll");
  for (const char* key : {"BarCommon", "BarProperties", "BarChannels", "BarChannel", "BarEdit"})
    QVERIFY2(!rig.window->Action(key)->isChecked(), key);
  QVERIFY(rig.window->Commands().CommonBar->isHidden());
  rig.Trigger("BarProperties");
  QVERIFY(!rig.window->Properties()->isHidden());
  rig.Trigger("BarsShowAll");
  QVERIFY(rig.window->Action("BarEdit")->isChecked());
  QVERIFY(!rig.window->Commands().EditBar->isHidden());
}

void MainWindowCommandsTest::options_toggles_reachSongAndEditor() {
  WindowRig rig;
  rig.Trigger("Metronome");
  QVERIFY(rig.Song().Metronome);
  rig.Trigger("FollowNote");
  QVERIFY(rig.window->Frame()->Options().followNote);
  rig.Trigger("KeyboardMode");
  QCOMPARE(rig.window->Frame()->Options().keyboardMode, 1);
  rig.Trigger("ChordsUpper");
  rig.Trigger("ChordsLower");
  QVERIFY(rig.window->Frame()->Options().chordsUpperKeys);
  QVERIFY(rig.window->Frame()->Options().chordsLowerKeys);
  rig.Trigger("TransposeSimple");
  QVERIFY(rig.window->TransposeSimple());
  rig.backend.Recorder().Clear();
  rig.Trigger("ClearChannels");
  QVERIFY(rig.Sent().contains(QStringLiteral("BF 7B 00")));

  // Follow note: the cursor follows the play row.
  rig.Trigger("PlayPause");
  for (int i = 0; i < 6; ++i) rig.clock.Advance();
  rig.Pump();
  QCOMPARE(rig.G1().Row(), 6);
}

// Playback halts while the import's dialogs are up. A cancelled or failed import leaves the song
// playing where it was; an import that succeeds plays from its beginning, with a fresh history.
void MainWindowCommandsTest::import_whilePlaying_haltsForDialogs_newSongFromItsStart_giveUpPlaysOn() {
  const QString midi = TempFile("playing.mid");
  {
    TVNSong source;
    for (int row = 0; row < 16; row += 4) source.SetCellData(0, row, 60 + row);
    QVERIFY(ExportMidi(source, midi.toStdString(), true));
  }
  const QString bad = TempFile("bad.xm");
  {
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is no module");
  }
  WindowRig rig;
  TVNSong& song = rig.Song();
  song.SetCellData(0, 0, 60);
  rig.SetModified(false);
  rig.Trigger("PlayPause");
  for (int i = 0; i < 5; ++i) QVERIFY(rig.clock.Advance());
  const int row = song.PlayingRow;
  QVERIFY(row > 0);
  bool playingWhileAsked = true;
  rig.dialogs.whileOpening = [&] { playingWhileAsked = rig.window->Player().Playing(); };

  rig.dialogs.openName.clear();  // cancelled
  rig.Trigger("ImportMidi");
  QVERIFY(!playingWhileAsked);
  QVERIFY(rig.window->Player().Playing());
  QCOMPARE(int(song.PlayingRow), row);
  rig.dialogs.openName = bad;  // refused by the importer
  rig.Trigger("ImportXM");
  QVERIFY(rig.window->Player().Playing());
  QCOMPARE(int(song.PlayingRow), row);
  QCOMPARE(song.GetCellData(0, 0), 60);

  rig.dialogs.openName = midi;
  rig.dialogs.answer = false;  // no packing
  rig.Trigger("ImportMidi");
  QVERIFY(rig.window->Player().Playing());
  QCOMPARE(int(song.PlayingRow), 0);
  QCOMPARE(int(song.PlayingOrder), 0);
  QVERIFY(!rig.window->Action("Undo")->isEnabled());
  QVERIFY(!rig.Modified());
  QVERIFY(rig.clock.Advance());
  rig.Trigger("Stop");
  QFile::remove(midi);
  QFile::remove(bad);
}

QTEST_MAIN(MainWindowCommandsTest)
#include "main_window_commands_test.moc"
