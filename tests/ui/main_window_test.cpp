// The main window: start-up and the command line, the title, play and stop, the play counter and
// the coalesced play-position event, the window-level keys, the properties bar rules, closing, how
// small the window can be with every panel shown, and the keyboard reaching menus and fields.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/channel_toggles.h"
#include "app/loading_window.h"
#include "app/main_window_keys.h"
#include "app/main_window_menus.h"
#include "app/midi_props_frame.h"
#include "app/options_dialog.h"
#include "app/play_display.h"
#include "app/template_frame.h"
#include "main_window_rig.h"
#include "windows/piano_form.h"

using namespace varnel;
using varnel::test::WindowRig;

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void start_noArgument_emptySongUnmodified();
  void start_songArgument_loadsWithoutPlaying();
  void start_install_loadsDemoAndPlays();
  void start_installInCapitals_triesAFileOfThatName();
  void title_fileName_showsNameWithoutFolder_data();
  void title_fileName_showsNameWithoutFolder();
  void playCounter_orderAndRow_decimalOrHex_data();
  void playCounter_orderAndRow_decimalOrHex();
  void play_throughActions_soundsRowsAndStopRewinds();
  void play_pauseTwice_keepsPosition();
  void play_tempoCell_boxShowsPlayingTempoAndStopRestoresTheSongs();
  void externalClock_inputStartsAndStopsPlaybackAndShowsEXT();
  void playEvent_manyRows_coalescedIntoOneEvent();
  void playEvent_updatesDisabled_counterStays();
  void playEvent_realClockFastTempo_fewerEventsThanRows();
  void updatePlayRow_nothingChanged_leavesGridAlone();
  void keys_functionKeys_setOctave_data();
  void keys_functionKeys_setOctave();
  void keys_modifiedF1_isNotOctave();
  void keys_stepKeys_setAddField_data();
  void keys_stepKeys_setAddField();
  void keys_ctrlKeypad_selectsPatternWithinMaximum();
  void octaveMenu_zeroAndNine_showThoseNumbers();
  void properties_patternAtCount_appendsPattern();
  void properties_lengthField_resizesPatternButGuardsProgramChanges();
  void properties_bpmSpdAndKey_reachTheSong();
  void properties_presets_applyValuesAndRelativeSteps();
  void songAccess_songModeFollowingSong_relabelsField();
  void quit_modified_offersToSave_data();
  void quit_modified_offersToSave();
  void quit_afterBpmChange_asks_newAfterNewDoesNot();
  void quit_refused_playDisplayStillUpdates();
  void statusBar_panels_fitTheirTexts();
  void loadingWindow_showCaption_centredOnScreen();
  void loadingWindow_hiddenBeforeErrorMessage();
  void fit_allPanelsShown_leastSizeWithin1024x640_data();
  void fit_allPanelsShown_leastSizeWithin1024x640();
  void keys_returnInAddField_nextNoteGoesToGrid();
  void keys_lengthOutOfRange_refusedEscapeGivesKeysBack();
  void keys_accessLettersAndF10_openMenus();
};

void MainWindowTest::start_noArgument_emptySongUnmodified() {
  WindowRig rig;
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel"));
  QVERIFY(!rig.Modified());
  QCOMPARE(rig.Props().Ptn->Maximum(), rig.Song().PatternsCount());
  QCOMPARE(rig.Props().Len->Value(), rig.Song().GetLastRow() + 1);
  QCOMPARE(rig.Props().PlayCounter->text(), QStringLiteral("00 00"));
  QVERIFY(rig.dialogs.messages.isEmpty());
}

void MainWindowTest::start_songArgument_loadsWithoutPlaying() {
  const QString path = QDir::temp().filePath(QStringLiteral("varnel_mw_start.vnl"));
  {
    TVNSong song;
    song.BPM = 140;
    song.SetCellData(0, 0, 60);
    QVERIFY(song.SaveToFile(path.toStdString()));
  }
  WindowRig rig(QStringLiteral("  ") + path + QStringLiteral(" "));
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel: varnel_mw_start.vnl"));
  QCOMPARE(rig.Props().Bpm->Value(), 140);
  QCOMPARE(rig.Song().GetCellData(0, 0), 60);
  QVERIFY(!rig.Modified());
  QVERIFY(!rig.window->Player().Playing());
  QCOMPARE(rig.window->LoadingWindow()->windowTitle(), QStringLiteral("Loading ") + path);
  QVERIFY(rig.window->LoadingWindow()->isHidden());
  QFile::remove(path);
}

void MainWindowTest::start_install_loadsDemoAndPlays() {
  const QDir songs(QCoreApplication::applicationDirPath() + QStringLiteral("/Songs"));
  QVERIFY(songs.mkpath(QStringLiteral(".")));
  {
    TVNSong song;
    QVERIFY(song.SaveToFile(songs.filePath(QStringLiteral("song73.vnl")).toStdString()));
  }
  {
    WindowRig rig(QStringLiteral("/install"));
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel: song73.vnl"));
    QVERIFY(rig.window->Player().Playing());
    QVERIFY(!rig.Modified());
  }
  QDir(songs).removeRecursively();
}

void MainWindowTest::start_installInCapitals_triesAFileOfThatName() {
  WindowRig rig(QStringLiteral("/INSTALL"));
  QCOMPARE(rig.dialogs.messages, QStringList{QStringLiteral("File not exists\n/INSTALL")});
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel"));
  QVERIFY(!rig.window->Player().Playing());
}

void MainWindowTest::title_fileName_showsNameWithoutFolder_data() {
  QTest::addColumn<QString>("fileName");
  QTest::addColumn<QString>("title");
  QTest::newRow("windows path") << "C:\\Music\\a.vnl" << "Varnel: a.vnl";
  QTest::newRow("unix path") << "/home/me/songs/b.vnl" << "Varnel: b.vnl";
  QTest::newRow("bare name") << "c.vnl" << "Varnel: c.vnl";
  QTest::newRow("untitled") << "" << "Varnel";
}

void MainWindowTest::title_fileName_showsNameWithoutFolder() {
  QFETCH(QString, fileName);
  QFETCH(QString, title);
  WindowRig rig;
  rig.Song().FileName = fileName.toStdString();
  rig.window->UpdateTitle();
  QCOMPARE(rig.window->windowTitle(), title);
}

void MainWindowTest::playCounter_orderAndRow_decimalOrHex_data() {
  QTest::addColumn<int>("order");
  QTest::addColumn<int>("row");
  QTest::addColumn<int>("format");
  QTest::addColumn<QString>("text");
  QTest::newRow("decimal") << 3 << 31 << 0 << "03 31";
  QTest::newRow("hex") << 3 << 31 << 1 << "03 1F";
  QTest::newRow("bars format is decimal") << 12 << 255 << 2 << "12 255";
  QTest::newRow("hex wide") << 255 << 255 << 1 << "FF FF";
}

void MainWindowTest::playCounter_orderAndRow_decimalOrHex() {
  QFETCH(int, order);
  QFETCH(int, row);
  QFETCH(int, format);
  QFETCH(QString, text);
  WindowRig rig;
  rig.window->Frame()->Options().rowNumberFormat = format;
  rig.Song().LastPlayedOrder = order;
  rig.Song().LastPlayedRow = row;
  rig.window->UpdatePlayCounter();
  QCOMPARE(rig.Props().PlayCounter->text(), text);
  QCOMPARE(PlayCounterText(order, row, format == 1), text);
}

void MainWindowTest::play_throughActions_soundsRowsAndStopRewinds() {
  WindowRig rig;
  rig.Song().SetCellData(0, 2, 60);
  rig.backend.Recorder().Clear();
  rig.Trigger("PlayPause");
  QVERIFY(rig.window->Player().Playing());
  for (int i = 0; i < 4; ++i) QVERIFY(rig.clock.Advance());
  QVERIFY(rig.Sent().filter(QRegularExpression("^90 3C ")).size() == 1);
  rig.Pump();
  QCOMPARE(rig.Props().PlayCounter->text(), QStringLiteral("00 03"));
  QCOMPARE(rig.G1().ActiveRow(), 4);

  rig.backend.Recorder().Clear();
  rig.Trigger("Stop");
  QVERIFY(!rig.window->Player().Playing());
  QVERIFY(!rig.clock.Running());
  QVERIFY(rig.Sent().contains(QStringLiteral("B0 7B 00")));
  QCOMPARE(int(rig.Song().PlayingRow), 0);
}

void MainWindowTest::play_pauseTwice_keepsPosition() {
  WindowRig rig;
  rig.Trigger("PlayPause");
  for (int i = 0; i < 5; ++i) rig.clock.Advance();
  rig.Trigger("PlayPause");
  QVERIFY(!rig.window->Player().Playing());
  QCOMPARE(int(rig.Song().PlayingRow), 5);
  rig.Trigger("PlayPause");
  rig.clock.Advance();
  QCOMPARE(int(rig.Song().LastPlayedRow), 5);
}

void MainWindowTest::play_tempoCell_boxShowsPlayingTempoAndStopRestoresTheSongs() {
  WindowRig rig;
  QVERIFY(rig.Song().AddTrack(0, ttTempo, -1, -1));
  rig.Song().SetCellData(1, 1, 140);
  rig.Song().Modified = false;
  rig.Trigger("PlayPause");
  rig.clock.Advance();
  rig.clock.Advance();
  rig.Pump();
  QCOMPARE(rig.Props().Bpm->Value(), 140);
  QCOMPARE(int(rig.Song().BPM), 120);
  rig.Trigger("Stop");
  QCOMPARE(rig.Props().Bpm->Value(), 120);
  QCOMPARE(int(rig.Song().BPM), 120);
  QVERIFY(!rig.Song().Modified);
}

void MainWindowTest::externalClock_inputStartsAndStopsPlaybackAndShowsEXT() {
  WindowRig rig;
  const auto chooseClock = [&](int index) {
    QTimer::singleShot(0, rig.window.get(), [&rig, index] {
      rig.window->OptionsForm()->ClockSource->setCurrentIndex(index);
      rig.window->OptionsForm()->accept();
    });
    rig.Trigger("Options");
  };
  rig.window->Commands().InDevices->actions().at(1)->trigger();  // "Recorder In"
  chooseClock(1);
  QVERIFY(rig.window->Player().Following());
  auto* sync = rig.window->findChild<QLabel*>("SyncPanel");
  QVERIFY(sync && sync->isVisible());
  QCOMPARE(sync->text(), QStringLiteral("EXT: no clock"));

  // The master's clock at 40 BPM up to now, then Start: the window shows the tempo and playing.
  ClockFollower& follower = rig.window->Player().Follower();
  const MidiTime now = MidiClock::now();
  for (int k = 8; k > 0; --k) follower.Receive(MakeShortMessage(0xF8, 0, 0), now - std::chrono::microseconds(62500) * k);
  rig.window->ChangeStatus(QString(), 0);
  rig.backend.Receive(MakeShortMessage(0xFA, 0, 0));
  rig.clock.AdvanceTo(rig.clock.Now());
  QTRY_COMPARE(sync->text(), QStringLiteral("EXT 40.0 BPM"));
  QVERIFY(rig.window->Player().Playing());
  QCOMPARE(rig.Props().Bpm->Value(), 40);
  QCOMPARE(rig.window->StatusText(0), QString());  // clock messages do not reach the editor
  rig.backend.Receive(MakeShortMessage(0xFC, 0, 0));
  rig.clock.AdvanceTo(rig.clock.Now());
  QTRY_VERIFY(!rig.window->Player().Playing());
  QCOMPARE(int(rig.Song().BPM), 120);

  chooseClock(0);
  QVERIFY(!rig.window->Player().Following());
  QVERIFY(!sync->isVisible());
}

void MainWindowTest::playEvent_manyRows_coalescedIntoOneEvent() {
  WindowRig rig;
  rig.Trigger("PlayPause");
  const int postedBefore = rig.window->PlayPoster().PostedCount();
  const int updatesBefore = rig.window->PlayUpdates();
  for (int i = 0; i < 40; ++i) rig.clock.Advance();
  QCOMPARE(rig.window->PlayPoster().PostedCount(), postedBefore + 1);
  rig.Pump();
  QCOMPARE(rig.window->PlayUpdates(), updatesBefore + 1);
  QCOMPARE(rig.Props().PlayCounter->text(), QStringLiteral("00 39"));
  // Handled: the next row posts again.
  rig.clock.Advance();
  QCOMPARE(rig.window->PlayPoster().PostedCount(), postedBefore + 2);
  rig.Pump();
  QCOMPARE(rig.Props().PlayCounter->text(), QStringLiteral("00 40"));
}

void MainWindowTest::playEvent_updatesDisabled_counterStays() {
  WindowRig rig;
  rig.Trigger("DisableUpdates");
  rig.Trigger("PlayPause");
  for (int i = 0; i < 3; ++i) rig.clock.Advance();
  rig.Pump();
  QCOMPARE(rig.Props().PlayCounter->text(), QStringLiteral("00 00"));
  rig.Trigger("DisableUpdates");
  rig.clock.Advance();
  rig.Pump();
  QCOMPARE(rig.Props().PlayCounter->text(), QStringLiteral("00 03"));
}

void MainWindowTest::playEvent_realClockFastTempo_fewerEventsThanRows() {
  RecordingBackend backend;
  ThreadRowClock clock;
  test::RecordingDialogs dialogs;
  TMainForm window(backend, clock, &dialogs);
  window.show();
  window.Properties()->Bpm->SetValue(255);
  window.Properties()->Spd->SetValue(96);  // a row every 2.45 ms
  window.PlayPause();
  // The UI thread is busy elsewhere: however many rows pass, one event waits.
  QThread::msleep(200);
  QCOMPARE(window.PlayPoster().PostedCount(), 1);
  QCoreApplication::sendPostedEvents();
  QCOMPARE(window.PlayUpdates(), 1);
  // The UI keeps up, one event per turn of its loop at most (a slow sanitizer build takes longer
  // to turn it a few times).
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 300 || (window.PlayPoster().PostedCount() <= 2 && timer.elapsed() < 5000))
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  window.StopPlayback();
  QCoreApplication::sendPostedEvents();
  QVERIFY(window.PlayUpdates() <= window.PlayPoster().PostedCount());
  QVERIFY(window.PlayPoster().PostedCount() > 2);
  QCOMPARE(window.Properties()->PlayCounter->text(),
           PlayCounterText(window.Song().LastPlayedOrder, window.Song().LastPlayedRow, false));
}

void MainWindowTest::updatePlayRow_nothingChanged_leavesGridAlone() {
  WindowRig rig;
  rig.Song().LastPlayedRow = 7;
  rig.window->UpdatePlayCounter();
  QCOMPARE(rig.G1().ActiveRow(), 8);
  rig.G1().SetActiveRow(20);  // stands in for anything the update would redo
  rig.window->UpdatePlayRow();
  QCOMPARE(rig.G1().ActiveRow(), 20);
  rig.Song().LastPlayedRow = 9;
  rig.window->UpdatePlayRow();
  QCOMPARE(rig.G1().ActiveRow(), 10);
}

void MainWindowTest::keys_functionKeys_setOctave_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("stored");
  for (int n = 1; n <= 8; ++n) QTest::addRow("F%d", n) << int(Qt::Key_F1) + n - 1 << n - 1;
}

void MainWindowTest::keys_functionKeys_setOctave() {
  QFETCH(int, key);
  QFETCH(int, stored);
  WindowRig rig;
  QTest::keyClick(&rig.G1(), Qt::Key(key));
  QCOMPARE(int(rig.Song().Octave), stored);
  QCOMPARE(rig.window->StatusText(1), QStringLiteral("Octave %1").arg(stored + 1));
  QVERIFY(rig.window->Action(QStringLiteral("Octave%1").arg(stored + 1))->isChecked());
}

void MainWindowTest::keys_modifiedF1_isNotOctave() {
  WindowRig rig;
  for (auto mods : {Qt::AltModifier, Qt::ShiftModifier, Qt::ControlModifier})
    QTest::keyClick(&rig.G1(), Qt::Key_F1, mods);
  QCOMPARE(int(rig.Song().Octave), 4);
  QCOMPARE(rig.window->StatusText(1), QString());
  QCOMPARE(ClassifyWindowKey(Qt::Key_F9, {}).kind, WindowKeyAction::None);
}

void MainWindowTest::keys_stepKeys_setAddField_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("modifiers");
  QTest::addColumn<int>("step");
  QTest::newRow("keypad 4") << int(Qt::Key_4) << int(Qt::KeypadModifier) << 4;
  QTest::newRow("keypad 0") << int(Qt::Key_0) << int(Qt::KeypadModifier) << 0;
  QTest::newRow("alt keypad 3") << int(Qt::Key_3) << int(Qt::KeypadModifier | Qt::AltModifier) << 6;
  QTest::newRow("alt ctrl keypad 9") << int(Qt::Key_9) << int(Qt::KeypadModifier | Qt::AltModifier | Qt::ControlModifier) << 36;
  QTest::newRow("ctrl 5") << int(Qt::Key_5) << int(Qt::ControlModifier) << 5;
}

void MainWindowTest::keys_stepKeys_setAddField() {
  QFETCH(int, key);
  QFETCH(int, modifiers);
  QFETCH(int, step);
  WindowRig rig;
  rig.Props().Add->ShowValue(17);
  QTest::keyClick(&rig.G1(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
  QCOMPARE(rig.Props().Add->Value(), step);
  QCOMPARE(int(rig.Song().GridAdd), step);
  // The grid did not take the digit as a value or a cursor move.
  QCOMPARE(rig.Song().GetCellData(0, 0), CellEmpty);
  QCOMPARE(rig.G1().Row(), 1);
}

void MainWindowTest::keys_ctrlKeypad_selectsPatternWithinMaximum() {
  WindowRig rig;
  for (int i = 1; i < 5; ++i) rig.Props().Ptn->SetValue(i);  // appends up to 5 patterns
  QCOMPARE(rig.Song().PatternsCount(), 5);
  QTest::keyClick(&rig.G1(), Qt::Key_3, Qt::KeypadModifier | Qt::ControlModifier);
  QCOMPARE(int(rig.Song().CurrentPattern), 3);
  QTest::keyClick(&rig.G1(), Qt::Key_7, Qt::KeypadModifier | Qt::ControlModifier);
  QCOMPARE(int(rig.Song().CurrentPattern), 3);
  QCOMPARE(rig.Song().PatternsCount(), 5);
}

void MainWindowTest::octaveMenu_zeroAndNine_showThoseNumbers() {
  WindowRig rig;
  rig.Trigger("Octave0");
  QCOMPARE(rig.window->StatusText(1), QStringLiteral("Octave 0"));
  QCOMPARE(int(rig.Song().Octave), 0);
  rig.Trigger("Octave9");
  QCOMPARE(rig.window->StatusText(1), QStringLiteral("Octave 9"));
  QCOMPARE(int(rig.Song().Octave), 8);
  QCOMPARE(rig.window->Action("Octave5")->text(), QStringLiteral("5 - F5"));
}

void MainWindowTest::properties_patternAtCount_appendsPattern() {
  WindowRig rig;
  NumberField& ptn = *rig.Props().Ptn;
  QCOMPARE(ptn.Maximum(), 1);
  QCOMPARE(ptn.Presets(), QStringList{QStringLiteral("0")});
  ptn.SetValue(1);
  QCOMPARE(rig.Song().PatternsCount(), 2);
  QCOMPARE(int(rig.Song().CurrentPattern), 1);
  QCOMPARE(ptn.Maximum(), 2);
  QCOMPARE(ptn.Presets(), (QStringList{"0", "1"}));
  ptn.SetValue(0);
  QCOMPARE(rig.Song().PatternsCount(), 2);
  QCOMPARE(int(rig.Song().CurrentPattern), 0);
}

void MainWindowTest::properties_lengthField_resizesPatternButGuardsProgramChanges() {
  WindowRig rig;
  rig.Props().Len->SetValue(32);
  QCOMPARE(rig.Song().GetLastRow(), 31);
  QCOMPARE(rig.G1().RowCount(), 33);
  rig.Props().Ptn->SetValue(1);  // a new pattern of the default length
  QCOMPARE(rig.Props().Len->Value(), rig.Song().DefaultPatternLength());
  rig.SetModified(false);
  rig.Props().Ptn->SetValue(0);
  QCOMPARE(rig.Props().Len->Value(), 32);
  QVERIFY(!rig.Modified());  // showing the length wrote nothing
  rig.Props().Len->SetValue(2);   // below the field's range
  QCOMPARE(rig.Song().GetLastRow(), 3);
}

void MainWindowTest::properties_bpmSpdAndKey_reachTheSong() {
  WindowRig rig;
  rig.Props().Bpm->SetValue(300);
  QCOMPARE(int(rig.Song().BPM), 255);
  rig.Props().Spd->SetValue(6);
  QCOMPARE(int(rig.Song().SPD), 6);
  QCOMPARE(rig.G1().RowHighlight(), 6);
  rig.Props().KeyTone->setCurrentIndex(9);
  rig.Props().KeyType->setCurrentIndex(1);
  QCOMPARE(int(rig.Song().KeyTone), 9);
  QCOMPARE(int(rig.Song().KeyType), 1);
  rig.Props().Add->SetValue(8);
  QCOMPARE(int(rig.Song().GridAdd), 8);
}

void MainWindowTest::properties_presets_applyValuesAndRelativeSteps() {
  NumberField field(QStringLiteral("X"), 0, 127, 60);
  QSignalSpy changed(&field, &NumberField::changed);
  field.SetPresets({"-1001|Octave down", "-1002|Octave up", "300", "100|Hundred", "junk"});
  field.ChoosePreset(0);
  QCOMPARE(field.Value(), 48);
  field.ChoosePreset(1);
  field.ChoosePreset(1);
  QCOMPARE(field.Value(), 72);
  field.ChoosePreset(2);  // outside the range
  field.ChoosePreset(4);
  QCOMPARE(field.Value(), 72);
  field.ChoosePreset(3);
  QCOMPARE(field.Value(), 100);
  QCOMPARE(changed.count(), 4);
  field.ShowValue(5);
  QCOMPARE(changed.count(), 4);

  WindowRig rig;
  rig.Props().Bpm->ChoosePreset(int(rig.Props().Bpm->Presets().indexOf("140")));
  QCOMPARE(int(rig.Song().BPM), 140);
}

void MainWindowTest::songAccess_songModeFollowingSong_relabelsField() {
  WindowRig rig;
  rig.Trigger("FollowSong");
  QCOMPARE(rig.Props().Ptn->Label(), QStringLiteral("Ptn."));
  rig.Trigger("PatternMode");  // to song mode
  QVERIFY(rig.Song().SongMode);
  QVERIFY(!rig.window->Action("PatternMode")->isChecked());
  QCOMPARE(int(rig.Song().FollowSongView), 1);
  QCOMPARE(rig.Props().Ptn->Label(), QStringLiteral("Ord."));
  QCOMPARE(rig.Props().Ptn->Maximum(), rig.Song().OrderLength());
  QCOMPARE(rig.Song().GetOrder(0, 0), 0);  // the empty position got the current pattern
  rig.Trigger("PatternMode");
  QCOMPARE(rig.Props().Ptn->Label(), QStringLiteral("Ptn."));
  QCOMPARE(int(rig.Song().FollowSongView), 0);
}

void MainWindowTest::quit_modified_offersToSave_data() {
  QTest::addColumn<bool>("modified");
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("asked");
  QTest::addColumn<bool>("closed");
  QTest::addColumn<bool>("saved");
  QTest::newRow("unmodified") << false << int(DialogAnswer::Cancel) << false << true << false;
  QTest::newRow("modified, save") << true << int(DialogAnswer::Yes) << true << true << true;
  QTest::newRow("modified, discard") << true << int(DialogAnswer::No) << true << true << false;
  QTest::newRow("modified, cancel") << true << int(DialogAnswer::Cancel) << true << false << false;
}

void MainWindowTest::quit_modified_offersToSave() {
  QFETCH(bool, modified);
  QFETCH(int, answer);
  QFETCH(bool, asked);
  QFETCH(bool, closed);
  QFETCH(bool, saved);
  QTemporaryDir dir;
  WindowRig rig;
  rig.Trigger("PlayPause");
  rig.SetModified(modified);
  rig.dialogs.saveAnswer = DialogAnswer(answer);
  rig.dialogs.saveName = dir.filePath(QStringLiteral("quit.vnl"));
  rig.dialogs.questions.clear();
  rig.Trigger("Exit");
  QCOMPARE(rig.dialogs.questions,
           asked ? QStringList{QStringLiteral("File has been modified.  Save changes?")} : QStringList{});
  QCOMPARE(rig.window->isVisible(), !closed);
  QCOMPARE(QFileInfo::exists(rig.dialogs.saveName), saved);
  QVERIFY(!rig.window->Player().Playing());  // closing stops playback either way
}

// A BPM change alone is a change of the song: quitting offers to save it. Two new songs in a row
// ask nothing.
void MainWindowTest::quit_afterBpmChange_asks_newAfterNewDoesNot() {
  WindowRig rig;
  rig.Trigger("NewSong");
  rig.Trigger("NewSong");
  QVERIFY(rig.dialogs.questions.isEmpty());
  rig.Props().Bpm->SetValue(140);
  rig.dialogs.saveAnswer = DialogAnswer::Cancel;
  QVERIFY(!rig.window->close());
  QCOMPARE(rig.dialogs.questions, QStringList{QStringLiteral("File has been modified.  Save changes?")});
  rig.Trigger("Undo");
  QCOMPARE(rig.Props().Bpm->Value(), 120);
  QCOMPARE(int(rig.Song().BPM), 120);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Undo: BPM"));
  rig.dialogs.questions.clear();
  QVERIFY(rig.window->close());
  QVERIFY(rig.dialogs.questions.isEmpty());
}

void MainWindowTest::quit_refused_playDisplayStillUpdates() {
  WindowRig rig;
  rig.SetModified(true);
  rig.dialogs.saveAnswer = DialogAnswer::Cancel;
  QVERIFY(!rig.window->close());
  rig.Trigger("PlayPause");
  rig.clock.Advance();
  rig.clock.Advance();
  rig.Pump();
  QCOMPARE(rig.Props().PlayCounter->text(), QStringLiteral("00 01"));
}

// Panel 0 takes the width panel 1 leaves; panel 1 is as wide as "Octave 10" needs. A long message
// never widens the window.
void MainWindowTest::statusBar_panels_fitTheirTexts() {
  WindowRig rig;
  rig.window->resize(900, 600);
  auto* panel0 = rig.window->findChild<QLabel*>("StatusPanel0");
  auto* panel1 = rig.window->findChild<QLabel*>("StatusPanel1");
  QTRY_VERIFY(panel0->width() > 600);
  QVERIFY(panel1->width() >= panel1->fontMetrics().horizontalAdvance(QStringLiteral("Octave 10")));
  rig.window->ChangeStatus("hello", 0);
  rig.window->ChangeStatus("Octave 2", 1);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("hello"));
  QCOMPARE(rig.window->StatusText(1), QStringLiteral("Octave 2"));
  const QSize least = rig.window->minimumSize();
  rig.window->ChangeStatus(QString(400, QLatin1Char('W')), 0);
  QCoreApplication::processEvents();
  QCOMPARE(rig.window->minimumSize(), least);
}

void MainWindowTest::loadingWindow_showCaption_centredOnScreen() {
  TLoadingForm loading;
  loading.ShowCaption(QStringLiteral("Loading /tmp/x.vnl"));
  QCOMPARE(loading.windowTitle(), QStringLiteral("Loading /tmp/x.vnl"));
  QVERIFY(loading.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  const QRect screen = loading.screen()->geometry();
  QCOMPARE(loading.x(), screen.left() + (screen.width() - loading.width()) / 2);
  QCOMPARE(loading.y(), screen.top() + (screen.height() - loading.height()) / 2);
}

// A song that cannot be read: the loading window has gone before the message about it shows.
void MainWindowTest::loadingWindow_hiddenBeforeErrorMessage() {
  WindowRig rig;
  const QString path = QDir(rig.settings.path()).filePath(QStringLiteral("damaged.vnl"));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("VnlMd005\x01\x00");  // the magic, then the file ends
  file.close();
  QStringList shownWithLoading;
  rig.dialogs.onMessage = [&](const QString& text) {
    if (rig.window->LoadingWindow()->isVisible()) shownWithLoading << text;
  };
  rig.dialogs.openName = path;
  rig.Trigger("Open");
  QVERIFY(!rig.dialogs.messages.isEmpty());
  QVERIFY2(shownWithLoading.isEmpty(), qPrintable(shownWithLoading.join(QLatin1Char('|'))));
  QVERIFY(!rig.window->LoadingWindow()->isVisible());
}

void MainWindowTest::fit_allPanelsShown_leastSizeWithin1024x640_data() { WindowRig::SchemeRows(); }

// With every bar and panel shown and the piano at its largest zoom, the window can be as small as
// 1024x640 (it goes smaller still); at its least size every panel lies inside it, the channel
// properties scroll instead of squeezing their controls together, and every channel toggle shows.
void MainWindowTest::fit_allPanelsShown_leastSizeWithin1024x640() {
  QFETCH(QString, scheme);
  WindowRig rig;
  rig.UseScheme(scheme);
  for (const char* shown : {"AddTemplate", "ChannelPropsPanel", "Piano"}) QVERIFY2(rig.window->Action(shown)->isChecked(), shown);
  rig.window->Piano()->SetZoom(4);
  QCoreApplication::processEvents();
  rig.window->layout()->activate();
  const QSize least = rig.window->minimumSize();
  QVERIFY2(least.width() <= 1024 && least.height() <= 640, qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));

  // 1024x640 (as much of it as the test's screen has) and the least width at 640 pixels high: the
  // narrower window wraps the toggles into more lines, and still everything fits.
  QWidget* window = rig.window.get();
  const QSize frame = window->frameGeometry().size() - window->size();
  const QSize screen = window->screen()->availableGeometry().size() - frame;
  for (const QSize size : {QSize(std::min(1024, screen.width()), std::min(640, screen.height())),
                           QSize(least.width(), std::min(640, screen.height()))}) {
    window->resize(size);
    QTRY_COMPARE(window->size(), size);
    QCoreApplication::processEvents();
    QCOMPARE(window->size(), size);  // what the layout needs at this width fits
    const auto placed = [window](QWidget* w) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); };
    QList<QWidget*> panels{rig.window->MidiProps(), rig.window->AddFrame(), rig.window->Piano(), rig.window->Frame(),
                           rig.window->statusBar(), rig.window->Toggles()};
    for (QToolBar* bar : window->findChildren<QToolBar*>()) panels << bar;
    for (QWidget* panel : panels) {
      QVERIFY2(panel->isVisible() && panel->height() > 0 && panel->width() > 0, panel->metaObject()->className());
      QVERIFY2(window->rect().contains(placed(panel)), qPrintable(panel->objectName()));
    }
    // The channel properties: the controls keep their size and scroll.
    TMIDIPropsFrame* props = rig.window->MidiProps();
    QVERIFY(props->Body->verticalScrollBar()->maximum() > 0);
    const QList<QGroupBox*> groups = props->findChildren<QGroupBox*>();
    for (QGroupBox* a : groups) {
      QVERIFY(a->height() >= a->minimumSizeHint().height());
      for (QGroupBox* b : groups) QVERIFY(a == b || !a->geometry().intersects(b->geometry()));
    }
    // Every toggle and the "=>" button inside the toggles bar.
    TChannelToggles* toggles = rig.window->Toggles();
    for (int c = 0; c < toggles->Count(); ++c) QVERIFY(toggles->rect().contains(toggles->Square(c)->geometry()));
    QVERIFY(toggles->rect().contains(toggles->AddButton()->geometry()));
  }
}

// Return in "Add." takes the step and gives the keys back: the next note key writes into the grid
// and the cursor moves by the new step. Escape drops what was typed.
void MainWindowTest::keys_returnInAddField_nextNoteGoesToGrid() {
  WindowRig rig;
  rig.G1().setFocus();
  rig.G1().SetCol(1);
  rig.G1().SetRow(1);
  QSpinBox* add = rig.Props().Add->SpinBox();
  add->setFocus();
  QTRY_VERIFY(add->hasFocus());
  add->selectAll();
  QTest::keyClicks(add, QStringLiteral("3"));
  QTest::keyClick(add, Qt::Key_Return);
  QCOMPARE(int(rig.Song().GridAdd), 3);
  QTRY_VERIFY(rig.G1().hasFocus());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q);
  QVERIFY(rig.Song().GetCellData(0, 0) < 128);
  QCOMPARE(rig.G1().Row(), 4);

  add->setFocus();
  QTRY_VERIFY(add->hasFocus());
  add->selectAll();
  QTest::keyClicks(add, QStringLiteral("9"));
  QTest::keyClick(add, Qt::Key_Escape);
  QCOMPARE(add->text(), QStringLiteral("3"));
  QCOMPARE(int(rig.Song().GridAdd), 3);
  QTRY_VERIFY(rig.G1().hasFocus());
}

// "Len." 300: the field keeps the text, marked, and the pattern its length (never 30 rows); Escape
// brings the length back and the keys to the grid. A length in range applies.
void MainWindowTest::keys_lengthOutOfRange_refusedEscapeGivesKeysBack() {
  WindowRig rig;
  NumberField* len = rig.Props().Len;
  const int rows = rig.Song().GetLastRow() + 1;
  QSpinBox* spin = len->SpinBox();
  spin->setFocus();
  QTRY_VERIFY(spin->hasFocus());
  spin->selectAll();
  QTest::keyClicks(spin, QStringLiteral("300"));
  QCOMPARE(spin->cleanText(), QStringLiteral("300"));
  QVERIFY(len->Refusing());
  QTest::keyClick(spin, Qt::Key_Return);
  QCOMPARE(rig.Song().GetLastRow() + 1, rows);
  QCOMPARE(spin->cleanText(), QStringLiteral("300"));
  QVERIFY(spin->hasFocus());
  QVERIFY(spin->toolTip().contains(QStringLiteral("256")));
  QTest::keyClick(spin, Qt::Key_Escape);
  QVERIFY(!len->Refusing());
  QCOMPARE(spin->cleanText(), QString::number(rows));
  QVERIFY(spin->toolTip().isEmpty());  // the mark goes with the refused text
  QTRY_VERIFY(rig.G1().hasFocus());

  // Leaving the field does the same.
  spin->setFocus();
  QTRY_VERIFY(spin->hasFocus());
  spin->selectAll();
  QTest::keyClicks(spin, QStringLiteral("300"));
  QVERIFY(!spin->toolTip().isEmpty());
  rig.G1().setFocus();
  QTRY_VERIFY(rig.G1().hasFocus());
  QCOMPARE(spin->cleanText(), QString::number(rows));
  QVERIFY(spin->toolTip().isEmpty());

  spin->setFocus();
  QTRY_VERIFY(spin->hasFocus());
  spin->selectAll();
  QTest::keyClicks(spin, QStringLiteral("48"));
  QTest::keyClick(spin, Qt::Key_Return);
  QCOMPARE(rig.Song().GetLastRow() + 1, 48);
  QTRY_VERIFY(rig.G1().hasFocus());
}

// Each top menu has its own access letter; F10 opens the first menu, also from the custom title bar.
void MainWindowTest::keys_accessLettersAndF10_openMenus() {
  WindowRig rig;
  QStringList titles;
  QSet<QChar> letters;
  for (QMenu* menu : rig.window->Commands().TopMenus) {
    titles << menu->title();
    const int amp = menu->title().indexOf(QLatin1Char('&'));
    QVERIFY(amp >= 0);
    letters.insert(menu->title().at(amp + 1).toLower());
  }
  QCOMPARE(titles, QStringList({"&File", "&View", "&Edit", "&Track", "&Channel", "&Pattern", "&Options", "&Help"}));
  QCOMPARE(letters.size(), titles.size());

  QMenu* file = rig.window->Commands().TopMenus.first();
  for (int menu = 0; menu <= 1; ++menu) {
    rig.window->OptionsForm()->MainMenu->setCurrentIndex(menu);
    rig.window->UpdateFormMenu();
    QTRY_VERIFY(rig.window->isVisible());
    QApplication::setActiveWindow(rig.window.get());
    rig.G1().setFocus();
    QTRY_VERIFY(rig.G1().hasFocus());
    QTest::keyClick(&rig.G1(), Qt::Key_F10);
    QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(file));
    file->close();
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
  }
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
