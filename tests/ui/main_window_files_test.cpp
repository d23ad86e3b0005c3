// The file commands on a real main window: new song (both kinds), open, the two recent lists,
// templates, save, save as, save new version, the question before changes are lost, the title.
#include "app/main_window_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "app/loading_window.h"
#include "app/recovery.h"
#include "main_window_files_rig.h"

using namespace varnel;
using namespace varnel::test;

namespace {

const QString AskText = QStringLiteral("File has been modified.  Save changes?");

}  // namespace

class MainWindowFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
  }

  void newSong_bothKinds_resetSongAndKeepPresetsOnlyWhenAsked_data();
  void newSong_bothKinds_resetSongAndKeepPresetsOnlyWhenAsked();
  void askSave_answers_decideWhetherTheCommandGoesOn_data();
  void askSave_answers_decideWhetherTheCommandGoesOn();
  void askSave_titledSongAnsweredYes_savesUnderItsNameAndNamesItInText();
  void askSave_saveFailsToWrite_commandStops();
  void open_failures_leaveTheEditedSongAndItsRecoveryCopy();
  void save_unwritableFolder_keepsNameTitleAndRecentList();
  void open_chosenFile_loadsStopsPlaybackAndTopsBothLists();
  void open_cancelledOrDamaged_leavesListsAndConsistentViews();
  void recent_reopenedFile_movesToTopWithoutDuplicate();
  void recent_sixteenFiles_lastFifteenKept();
  void recent_eitherMenu_opensFileMenuPath();
  void recent_ampersandInPath_shownAndOpenedExactly();
  void recent_settingsApi_roundTripsTheList();
  void template_eachTag_loadsUntitledUnmodified_data();
  void template_eachTag_loadsUntitledUnmodified();
  void template_missingFile_saysFileNotFoundAndKeepsSong();
  void save_untitled_asksNameOnceThenSavesInPlace();
  void saveAs_startsWithFileNameAndTopsRecentList();
  void saveNewVersion_names_data();
  void saveNewVersion_names();
  void songReplaced_eachCommand_undoCleared_data();
  void songReplaced_eachCommand_undoCleared();
  void nextVersionName_rules_data();
  void nextVersionName_rules();

 private:
  QString Path(const QString& name) const { return dir_->filePath(name); }
  std::unique_ptr<QTemporaryDir> dir_;
};

void MainWindowFilesTest::newSong_bothKinds_resetSongAndKeepPresetsOnlyWhenAsked_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<int>("program");
  QTest::addColumn<bool>("playing");
  QTest::newRow("new song") << "NewSong" << 0 << false;
  QTest::newRow("same instruments") << "NewSongSameInstruments" << 40 << true;
}

void MainWindowFilesTest::newSong_bothKinds_resetSongAndKeepPresetsOnlyWhenAsked() {
  QFETCH(QString, command);
  QFETCH(int, program);
  QFETCH(bool, playing);
  FilesRig rig;
  TVNSong& s = rig.Song();
  s.AddTrack(0, ttNote, -1, -1);
  s.SetProgram(3, 40);
  s.SetCellData(0, 0, 60);
  s.FileName = Path("old.vnl").toStdString();
  s.SetDefaultPatternLength(96);
  rig.Trigger("PlayPause");
  rig.Trigger(command);

  QCOMPARE(rig.dialogs.questions, QStringList{"File " + Path("old.vnl") + " has been modified.  Save changes?"});
  QCOMPARE(s.ChannelsCount(), 16);
  QCOMPARE(s.TracksCount(), 16);
  QCOMPARE(s.GetLastRow() + 1, 96);
  QCOMPARE(s.GetCellData(0, 0), CellEmpty);
  QCOMPARE(s.GetProgram(3), program);
  QCOMPARE(rig.window->Player().Playing(), playing);
  QVERIFY(!rig.Modified());
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel"));
  QCOMPARE(rig.Props().Len->Value(), 96);
  rig.window->StopPlayback();
}

void MainWindowFilesTest::askSave_answers_decideWhetherTheCommandGoesOn_data() {
  QTest::addColumn<bool>("modified");
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("asked");
  QTest::addColumn<bool>("goesOn");
  QTest::addColumn<int>("saveDialogs");
  QTest::newRow("unmodified") << false << int(DialogAnswer::Cancel) << false << true << 0;
  QTest::newRow("no") << true << int(DialogAnswer::No) << true << true << 0;
  QTest::newRow("cancel") << true << int(DialogAnswer::Cancel) << true << false << 0;
  // The song would be lost unsaved: the command stops.
  QTest::newRow("save, save dialog cancelled") << true << int(DialogAnswer::Yes) << true << false << 1;
}

void MainWindowFilesTest::askSave_answers_decideWhetherTheCommandGoesOn() {
  QFETCH(bool, modified);
  QFETCH(int, answer);
  QFETCH(bool, asked);
  QFETCH(bool, goesOn);
  QFETCH(int, saveDialogs);
  FilesRig rig;
  rig.Trigger("DisableWarnings");  // the question comes all the same
  rig.Song().AddTrack(0, ttNote, -1, -1);
  rig.SetModified(modified);
  rig.dialogs.saveAnswer = DialogAnswer(answer);
  rig.Trigger("NewSong");
  QCOMPARE(rig.dialogs.questions, asked ? QStringList{AskText} : QStringList{});
  QCOMPARE(rig.dialogs.proposals.size(), saveDialogs);
  QCOMPARE(rig.Song().TracksCount(), goesOn ? 16 : 17);
  QVERIFY(rig.dialogs.messages.isEmpty());
}

void MainWindowFilesTest::askSave_titledSongAnsweredYes_savesUnderItsNameAndNamesItInText() {
  FilesRig rig;
  const QString path = WriteSong(Path("mine.vnl"), 120, 60);
  rig.dialogs.openName = path;
  rig.Trigger("Open");
  rig.Song().SetCellData(0, 1, 62);
  rig.dialogs.saveAnswer = DialogAnswer::Yes;
  rig.dialogs.openName.clear();
  rig.Trigger("Open");  // saved, then the Open dialog is cancelled
  QCOMPARE(rig.dialogs.questions, QStringList{"File " + path + " has been modified.  Save changes?"});
  QVERIFY(rig.dialogs.proposals.isEmpty());
  TVNSong saved;
  QVERIFY(Read(path, saved));
  QCOMPARE(saved.GetCellData(0, 1), 62);
  QVERIFY(!rig.Modified());
}

void MainWindowFilesTest::askSave_saveFailsToWrite_commandStops() {
  FilesRig rig;
  rig.Song().SetCellData(0, 0, 60);
  rig.Song().FileName = Path("no such folder/song.vnl").toStdString();
  rig.dialogs.saveAnswer = DialogAnswer::Yes;
  rig.Trigger("NewSong");
  QCOMPARE(rig.dialogs.messages,
           QStringList{"Error saving file\n" + Path("no such folder/song.vnl") + "\nNo such file or directory"});
  QCOMPARE(rig.Song().GetCellData(0, 0), 60);  // not discarded
  QVERIFY(rig.Modified());
}

// A damaged file, a text file named .vnl and a missing recent file: the open, edited song stays,
// with its name, its history and its recovery copy; the message names the file.
void MainWindowFilesTest::open_failures_leaveTheEditedSongAndItsRecoveryCopy() {
  QTemporaryDir recovery;
  FilesRig rig(recovery.path());
  const QString good = WriteSong(Path("good.vnl"), 120, 60);
  rig.dialogs.openName = good;
  rig.Trigger("Open");
  rig.G1().SetCol(2);
  rig.G1().SetRow(1);
  QTest::keyClick(&rig.G1(), Qt::Key_W);  // a note into track 1: the song is edited
  const int typed = rig.Song().GetCellData(1, 0);
  QVERIFY(typed != CellEmpty);
  rig.window->RecoveryCopy()->Tick();
  const QString copy = rig.window->RecoveryCopy()->CopyPath();
  QVERIFY(QFileInfo::exists(copy));
  const QByteArray copied = [&] {
    QFile f(copy);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();

  QFile damaged(Path("damaged.vnl"));
  QVERIFY(damaged.open(QIODevice::WriteOnly));
  damaged.write(QByteArray("VnlMd106\x00\x05", 10));
  damaged.close();
  QFile text(Path("notes.vnl"));
  QVERIFY(text.open(QIODevice::WriteOnly));
  text.write("These are my notes, not a song.\n");
  text.close();
  const QString missing = Path("gone.vnl");
  rig.window->RecentInsert(missing);
  rig.dialogs.saveAnswer = DialogAnswer::No;  // discard: the open still must not lose the song

  const QStringList expected = {
      "Error reading file (1)\n" + damaged.fileName() + "\nthe file ends inside the header",
      "Error reading file (1)\n" + text.fileName() + "\nthe file is not a Varnel song"};
  for (const QString& bad : {damaged.fileName(), text.fileName()}) {
    rig.dialogs.openName = bad;
    rig.Trigger("Open");
  }
  QCOMPARE(rig.dialogs.messages, expected);
  rig.dialogs.answer = false;  // keep the missing entry
  rig.Slot(0)->trigger();
  QCOMPARE(rig.dialogs.questions.last(), "File not found:\n" + missing + "\n\nRemove it from the recent files?");
  QVERIFY(rig.Modified());
  QCOMPARE(rig.Song().GetCellData(1, 0), typed);
  QCOMPARE(rig.Song().FileName, good.toStdString());
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel: good.vnl"));
  QVERIFY(rig.window->Action("Undo")->isEnabled());
  QCOMPARE(rig.Shown(), (QStringList{missing, good}));
  QFile after(copy);
  QVERIFY(after.open(QIODevice::ReadOnly));
  QCOMPARE(after.readAll(), copied);

  rig.dialogs.answer = true;  // now remove it
  rig.Slot(0)->trigger();
  QCOMPARE(rig.Shown(), QStringList{good});
  QCOMPARE(rig.Song().GetCellData(1, 0), typed);
  rig.Trigger("Undo");
  QCOMPARE(rig.Song().GetCellData(1, 0), CellEmpty);
  QVERIFY(!rig.Modified());
}

// Saving into a folder that cannot be written keeps the name, the title and the recent files, and
// says why.
void MainWindowFilesTest::save_unwritableFolder_keepsNameTitleAndRecentList() {
  FilesRig rig;
  const QString good = WriteSong(Path("good.vnl"), 120, 60);
  rig.dialogs.openName = good;
  rig.Trigger("Open");
  rig.Song().SetCellData(0, 1, 62);
  QString locked = Path("locked");
  QDir().mkpath(locked);
  QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  if (QFileInfo(locked).isWritable()) locked = QStringLiteral("/proc");  // the superuser writes anywhere else
  const auto expectKept = [&](const QString& name, const QString& tried) {
    QCOMPARE(rig.dialogs.messages.size(), 1);
    QVERIFY2(rig.dialogs.messages[0].startsWith("Error saving file\n" + tried + "\n"), qPrintable(rig.dialogs.messages[0]));
    QCOMPARE(QString::fromStdString(rig.Song().FileName), name);
    QCOMPARE(rig.window->windowTitle(), "Varnel: " + QFileInfo(name).fileName());
    QCOMPARE(rig.Shown(), QStringList{good});
    QVERIFY(rig.Modified());
    QVERIFY(!QFileInfo::exists(tried));
    rig.dialogs.messages.clear();
  };
  rig.dialogs.saveName = locked + "/new.vnl";
  rig.Trigger("SaveAs");
  expectKept(good, locked + "/new.vnl");

  const QString inLocked = locked + "/tune.vnl";
  rig.Song().FileName = inLocked.toStdString();
  rig.window->UpdateTitle();
  rig.Trigger("Save");
  expectKept(inLocked, inLocked);
  rig.Trigger("SaveNewVersion");
  expectKept(inLocked, locked + "/tune_2.vnl");
  QFile::setPermissions(Path("locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void MainWindowFilesTest::open_chosenFile_loadsStopsPlaybackAndTopsBothLists() {
  FilesRig rig;
  const QString path = WriteSong(Path("a.vnl"), 140, 64);
  rig.Trigger("PlayPause");
  rig.dialogs.openName = path;
  QTest::keyClick(&rig.G1(), Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(rig.dialogs.filters, QStringList{"All files (*);;Varnel modules (*.vnl)"});
  QCOMPARE(rig.dialogs.suffixes, QStringList{"vnl"});
  QCOMPARE(rig.dialogs.folders, QStringList{TMainForm::SongsFolder()});  // a first start: the demo songs
  QVERIFY(!rig.window->Player().Playing());
  QCOMPARE(rig.Props().Bpm->Value(), 140);
  QCOMPARE(rig.Song().GetCellData(0, 0), 64);
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel: a.vnl"));
  QCOMPARE(rig.Shown(), QStringList{path});
  QCOMPARE(rig.ShownNames(), QStringList{"a.vnl"});
  QCOMPARE(rig.window->RecentFiles(), QStringList{path});
  QVERIFY(!rig.Modified());
  QVERIFY(!rig.window->LoadingWindow()->isVisible());
}

void MainWindowFilesTest::open_cancelledOrDamaged_leavesListsAndConsistentViews() {
  FilesRig rig;
  rig.dialogs.openName = WriteSong(Path("good.vnl"), 120, 60);
  rig.Trigger("Open");
  rig.Song().AddTrack(0, ttNote, -1, -1);
  rig.window->PrepareEditor();
  rig.SetModified(false);
  rig.dialogs.openName.clear();
  rig.Trigger("Open");  // dialog cancelled
  QCOMPARE(rig.Song().TracksCount(), 17);
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel: good.vnl"));

  QFile damaged(Path("damaged.vnl"));
  QVERIFY(damaged.open(QIODevice::WriteOnly));
  damaged.write("VnlMd106\x00\x05");
  damaged.close();
  rig.dialogs.openName = damaged.fileName();
  rig.Trigger("Open");
  QCOMPARE(rig.dialogs.messages.size(), 1);
  QVERIFY(rig.dialogs.messages[0].startsWith("Error reading file (1)\n" + damaged.fileName() + "\n"));
  QCOMPARE(rig.Shown(), QStringList{Path("good.vnl")});
  QCOMPARE(rig.Song().TracksCount(), 17);  // the open song stays
  QCOMPARE(rig.G1().ColCount(), rig.Song().TracksCount() + 1);
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel: good.vnl"));
}

void MainWindowFilesTest::recent_reopenedFile_movesToTopWithoutDuplicate() {
  FilesRig rig;
  const QString a = WriteSong(Path("a.vnl"), 120, 60), b = WriteSong(Path("b.vnl"), 120, 60),
                c = WriteSong(Path("c.vnl"), 120, 60);
  for (const QString& path : {a, b, c, b, b}) {
    rig.dialogs.openName = path;
    rig.Trigger("Open");
  }
  QCOMPARE(rig.Shown(), (QStringList{b, c, a}));
  QCOMPARE(rig.ShownNames(), (QStringList{"b.vnl", "c.vnl", "a.vnl"}));
  rig.window->RecentInsert(a);
  QCOMPARE(rig.Shown(), (QStringList{a, b, c}));
  QCOMPARE(rig.ShownNames(), (QStringList{"a.vnl", "b.vnl", "c.vnl"}));
}

void MainWindowFilesTest::recent_sixteenFiles_lastFifteenKept() {
  FilesRig rig;
  QStringList expected;
  for (int i = 0; i < 16; ++i) {
    const QString path = QStringLiteral("/songs/s%1.vnl").arg(i);
    rig.window->RecentInsert(path);
    expected.prepend(path);
  }
  expected.removeLast();
  QCOMPARE(rig.Shown(), expected);
  QCOMPARE(rig.ShownNames().size(), 15);
  QCOMPARE(rig.ShownNames().first(), QStringLiteral("s15.vnl"));
  QCOMPARE(rig.ShownNames().last(), QStringLiteral("s1.vnl"));
  // The oldest but one comes back to the top; the rest move down behind it.
  rig.window->RecentInsert(QStringLiteral("/songs/s1.vnl"));
  QCOMPARE(rig.Shown().first(), QStringLiteral("/songs/s1.vnl"));
  QCOMPARE(rig.Shown().last(), QStringLiteral("/songs/s2.vnl"));
  QCOMPARE(rig.Shown().size(), 15);
}

void MainWindowFilesTest::recent_eitherMenu_opensFileMenuPath() {
  FilesRig rig;
  const QString a = WriteSong(Path("a.vnl"), 101, 60), b = WriteSong(Path("b.vnl"), 102, 60);
  rig.window->SetRecentFiles({b, a});
  rig.Slot(1)->trigger();
  QCOMPARE(rig.Props().Bpm->Value(), 101);
  QCOMPARE(rig.Shown(), (QStringList{a, b}));
  rig.Names()[1]->trigger();  // the drop-down's slot 1 opens the File menu's slot 1
  QCOMPARE(rig.Props().Bpm->Value(), 102);
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel: b.vnl"));
  QCOMPARE(rig.Shown(), (QStringList{b, a}));

  rig.Song().SetCellData(0, 0, 70);
  rig.dialogs.saveAnswer = DialogAnswer::Cancel;
  rig.Slot(1)->trigger();
  QCOMPARE(rig.Props().Bpm->Value(), 102);
  QCOMPARE(rig.Song().GetCellData(0, 0), 70);
}

void MainWindowFilesTest::recent_ampersandInPath_shownAndOpenedExactly() {
  FilesRig rig;
  const QString path = WriteSong(Path("rock&roll.vnl"), 133, 60);
  rig.dialogs.openName = path;
  rig.Trigger("Open");
  rig.Trigger("NewSong");
  QCOMPARE(rig.ShownNames(), QStringList{"rock&&roll.vnl"});  // a menu shows "&&" as "&"
  rig.Names()[0]->trigger();
  QCOMPARE(rig.Props().Bpm->Value(), 133);
  QCOMPARE(rig.window->RecentFiles(), QStringList{path});
  QCOMPARE(rig.Shown().size(), 1);
}

void MainWindowFilesTest::recent_settingsApi_roundTripsTheList() {
  FilesRig rig;
  const QStringList paths{"/x/one.vnl", "/y/two.vnl", "/z/three.vnl"};
  rig.window->SetRecentFiles(paths);
  QCOMPARE(rig.window->RecentFiles(), paths);
  QCOMPARE(rig.ShownNames(), (QStringList{"one.vnl", "two.vnl", "three.vnl"}));
  rig.window->SetRecentFiles({"/x/one.vnl"});
  QCOMPARE(rig.window->RecentFiles(), QStringList{"/x/one.vnl"});
  QVERIFY(!rig.Slot(1)->isVisible() && !rig.Names()[1]->isVisible());
}

void MainWindowFilesTest::template_eachTag_loadsUntitledUnmodified_data() {
  QTest::addColumn<int>("tag");
  QTest::addColumn<QList<int>>("programs");
  QTest::newRow("16 channel + volume") << 1 << QList<int>(16, 0);
  QTest::newRow("orchestra") << 2 << QList<int>{40, 40, 41, 42, 43, 73, 68, 71, 70, 0, 60, 56, 57, 58, 47, 46};
}

void MainWindowFilesTest::template_eachTag_loadsUntitledUnmodified() {
  QFETCH(int, tag);
  QFETCH(QList<int>, programs);
  FilesRig rig;
  rig.window->SetTemplatesFolder(SourceSongs());
  rig.dialogs.openName = WriteSong(Path("a.vnl"), 150, 60);
  rig.Trigger("Open");
  rig.Trigger("PlayPause");
  rig.Trigger(QStringLiteral("Template%1").arg(tag));
  QVERIFY(!rig.window->Player().Playing());
  TVNSong& s = rig.Song();
  QVERIFY(s.FileName.empty());
  QVERIFY(!rig.Modified());
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel"));
  QCOMPARE(rig.Shown().size(), 1);  // templates are no recent files
  QCOMPARE(s.ChannelsCount(), 16);
  QCOMPARE(s.TracksCount(), 32);
  for (int c = 0; c < 16; ++c) {
    QCOMPARE(s.GetTrackType(2 * c), int(ttNote));
    QCOMPARE(s.GetTrackType(2 * c + 1), int(ttVelocity));
    QCOMPARE(s.GetTrackChannel(2 * c + 1), c);
    QCOMPARE(s.GetMidiChannel(c), c);
    QCOMPARE(s.GetProgram(c), programs[c]);
  }
  QCOMPARE(rig.G1().ColCount(), 33);
}

void MainWindowFilesTest::template_missingFile_saysFileNotFoundAndKeepsSong() {
  FilesRig rig;
  rig.window->SetTemplatesFolder(dir_->path());
  rig.Song().AddTrack(0, ttNote, -1, -1);
  rig.Trigger("Template2");
  QCOMPARE(rig.dialogs.messages, QStringList{"File not found: " + QDir::toNativeSeparators(Path("template02.vnl"))});
  QCOMPARE(rig.Song().TracksCount(), 17);
}

void MainWindowFilesTest::save_untitled_asksNameOnceThenSavesInPlace() {
  FilesRig rig;
  rig.Song().SetCellData(0, 0, 61);
  rig.dialogs.saveName = Path("first.vnl");
  rig.Trigger("Save");
  QCOMPARE(rig.dialogs.filters, QStringList{"All files (*);;Varnel modules (*.vnl)"});
  QCOMPARE(rig.dialogs.suffixes, QStringList{"vnl"});
  QCOMPARE(rig.dialogs.proposals, QStringList{QString()});
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel: first.vnl"));
  QCOMPARE(rig.Shown(), QStringList{Path("first.vnl")});
  QVERIFY(!rig.Modified());

  rig.window->RecentInsert(QStringLiteral("/other.vnl"));
  rig.Song().SetCellData(0, 0, 62);
  QTest::keyClick(&rig.G1(), Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(rig.dialogs.proposals.size(), 1);                    // no dialog for a named song
  QCOMPARE(rig.Shown().first(), QStringLiteral("/other.vnl"));  // nor a recent entry
  TVNSong saved;
  QVERIFY(Read(Path("first.vnl"), saved));
  QCOMPARE(saved.GetCellData(0, 0), 62);
}

void MainWindowFilesTest::saveAs_startsWithFileNameAndTopsRecentList() {
  FilesRig rig;
  rig.dialogs.openName = WriteSong(Path("a.vnl"), 120, 60);
  rig.Trigger("Open");
  rig.dialogs.saveName = Path("b.vnl");
  rig.Trigger("SaveAs");
  QCOMPARE(rig.dialogs.proposals, QStringList{Path("a.vnl")});
  QVERIFY(QFileInfo::exists(Path("b.vnl")));
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel: b.vnl"));
  QCOMPARE(rig.Shown(), (QStringList{Path("b.vnl"), Path("a.vnl")}));

  rig.dialogs.saveName.clear();
  rig.Trigger("SaveAs");  // cancelled: nothing changes
  QCOMPARE(rig.Song().FileName, Path("b.vnl").toStdString());
  QCOMPARE(rig.Shown().size(), 2);
}

void MainWindowFilesTest::saveNewVersion_names_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QStringList>("existing");
  QTest::addColumn<QString>("written");
  QTest::newRow("tune") << "tune.vnl" << QStringList{} << "tune_2.vnl";
  QTest::newRow("tune_2") << "tune_2.vnl" << QStringList{} << "tune_3.vnl";
  QTest::newRow("tune_3 taken") << "tune_2.vnl" << QStringList{"tune_3.vnl"} << "tune_4.vnl";
  QTest::newRow("my_song") << "my_song.vnl" << QStringList{} << "my_song_2.vnl";
  QTest::newRow("untitled: save as") << "" << QStringList{} << "chosen.vnl";
}

void MainWindowFilesTest::saveNewVersion_names() {
  QFETCH(QString, name);
  QFETCH(QStringList, existing);
  QFETCH(QString, written);
  for (const QString& file : existing) QVERIFY(!WriteSong(Path(file), 120, 60).isEmpty());
  FilesRig rig;
  if (!name.isEmpty()) rig.Song().FileName = Path(name).toStdString();
  rig.dialogs.saveName = Path("chosen.vnl");
  QTest::keyClick(&rig.G1(), Qt::Key_N, Qt::ControlModifier);
  QCOMPARE(rig.dialogs.proposals.size(), name.isEmpty() ? 1 : 0);
  QVERIFY(QFileInfo::exists(Path(written)));
  QCOMPARE(rig.Song().FileName, Path(written).toStdString());
  QCOMPARE(rig.window->windowTitle(), "Varnel: " + written);
  QCOMPARE(rig.Shown(), QStringList{Path(written)});
}

void MainWindowFilesTest::songReplaced_eachCommand_undoCleared_data() {
  QTest::addColumn<QString>("command");
  for (const char* command : {"NewSong", "NewSongSameInstruments", "Open", "Template1", "Recent0"})
    QTest::newRow(command) << command;
}

void MainWindowFilesTest::songReplaced_eachCommand_undoCleared() {
  QFETCH(QString, command);
  FilesRig rig;
  rig.window->SetTemplatesFolder(SourceSongs());
  rig.window->SetRecentFiles({WriteSong(Path("a.vnl"), 120, 60)});
  rig.dialogs.openName = Path("a.vnl");
  QTest::keyClick(&rig.G1(), Qt::Key_Q);  // a note: one step
  QVERIFY(rig.window->Frame()->CanUndo());
  rig.Trigger(command);
  QVERIFY(!rig.Modified());
  QVERIFY(!rig.window->Frame()->CanUndo());
  QVERIFY(!rig.window->Action("Undo")->isEnabled());
  QVERIFY(!rig.window->Action("Redo")->isEnabled());
}

void MainWindowFilesTest::nextVersionName_rules_data() {
  QTest::addColumn<QString>("base");
  QTest::addColumn<QString>("next");
  QTest::newRow("no underscore") << "tune"
                                 << "tune_2";
  QTest::newRow("number") << "tune_2"
                          << "tune_3";
  QTest::newRow("nine") << "a_b_9"
                        << "a_b_10";
  QTest::newRow("word") << "my_song"
                        << "my_song_2";
  QTest::newRow("empty suffix") << "x_"
                                << "x__2";
  QTest::newRow("signed") << "v_-1"
                          << "v_0";
  QTest::newRow("digits then letter") << "x_1a"
                                      << "x_1a_2";
  QTest::newRow("largest integer") << "big_2147483647"
                                   << "big_2147483648";
  QTest::newRow("beyond integer") << "big_99999999999"
                                  << "big_99999999999_2";
}

void MainWindowFilesTest::nextVersionName_rules() {
  QFETCH(QString, base);
  QFETCH(QString, next);
  QCOMPARE(NextVersionName(base), next);
  // The extension starts at the name's last dot; a dot in a folder is none.
  QCOMPARE(NextVersionPath("/d.x/" + base), "/d.x/" + next);
  QCOMPARE(NextVersionPath("/d/" + base + ".old.vnl"), "/d/" + base + ".old_2.vnl");
}

QTEST_MAIN(MainWindowFilesTest)
#include "main_window_files_test.moc"
