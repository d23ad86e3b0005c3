// The recovery copy of unsaved changes on a real main window: written beside the song while it is
// modified, offered and restored at the next start after a crash, removed by saving and closing.
#include "app/recovery.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "main_window_files_rig.h"

using namespace varnel;
using namespace varnel::test;

class RecoveryTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
  }

  void recovery_modifiedSong_copyWrittenBesideNotOverSong();
  void recovery_unmodifiedSong_noCopy();
  void recovery_afterCrash_nextStartRestoresUnsavedEdit();
  void recovery_declined_copyRemoved();
  void recovery_runningOwner_copyNotOfferedAndSlotsApart();
  void recovery_orderlyClose_copyRemoved();
  void recovery_warningsDisabled_closeKeepsTheCopyForTheNextStart();
  void recovery_damagedCopy_setAsideNotOfferedAgain();

 private:
  QString Path(const QString& name) const { return dir_->filePath(name); }
  std::unique_ptr<QTemporaryDir> dir_;
};

void RecoveryTest::recovery_modifiedSong_copyWrittenBesideNotOverSong() {
  const QString song = WriteSong(Path("song.vnl"), 120, 60);
  QFile original(song);
  QVERIFY(original.open(QIODevice::ReadOnly));
  const QByteArray before = original.readAll();
  original.close();
  FilesRig rig(Path("recovery"));
  rig.dialogs.openName = song;
  rig.Trigger("Open");
  rig.window->SetRecoveryInterval(20);
  rig.Song().SetCellData(0, 3, 67);
  Recovery& recovery = *rig.window->RecoveryCopy();
  QTRY_VERIFY(recovery.Writes() >= 1);
  QCOMPARE(recovery.CopyPath(), Path("recovery/recovery.vnl"));
  TVNSong copy;
  QVERIFY(Read(recovery.CopyPath(), copy));
  QCOMPARE(copy.GetCellData(0, 3), 67);
  QFile marker(Path("recovery/recovery.txt"));
  QVERIFY(marker.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromUtf8(marker.readLine()).trimmed(), song);
  QVERIFY(original.open(QIODevice::ReadOnly));
  QCOMPARE(original.readAll(), before);
  original.close();
  // Unchanged songs are not written again.
  const int writes = recovery.Writes();
  QTest::qWait(100);
  QCOMPARE(recovery.Writes(), writes);

  rig.Trigger("Save");
  QVERIFY(!QFileInfo::exists(recovery.CopyPath()));
  QVERIFY(!QFileInfo::exists(marker.fileName()));
}

void RecoveryTest::recovery_unmodifiedSong_noCopy() {
  FilesRig rig(Path("recovery"));
  rig.window->SetRecoveryInterval(10);
  QTest::qWait(100);
  QCOMPARE(rig.window->RecoveryCopy()->Writes(), 0);
  QVERIFY(QDir(Path("recovery")).entryList(QDir::Files).isEmpty());
}

void RecoveryTest::recovery_afterCrash_nextStartRestoresUnsavedEdit() {
  const QString song = WriteSong(Path("song.vnl"), 120, 60);
  {
    FilesRig rig(Path("recovery"));
    rig.dialogs.openName = song;
    rig.Trigger("Open");
    rig.window->SetRecoveryInterval(20);
    rig.Song().SetCellData(0, 5, 72);
    QTRY_VERIFY(rig.window->RecoveryCopy()->Writes() >= 1);
    // Gone without closing, as in a crash.
  }
  FilesRig rig(Path("recovery"));
  QTRY_COMPARE(rig.dialogs.questions.size(), 1);
  QVERIFY(rig.dialogs.questions[0].contains(song));
  QVERIFY(rig.dialogs.questions[0].endsWith(QStringLiteral("Restore them?")));
  QCOMPARE(rig.Song().GetCellData(0, 5), 72);
  QCOMPARE(rig.Song().FileName, song.toStdString());
  QVERIFY(rig.Modified());
  QCOMPARE(rig.window->windowTitle(), QStringLiteral("Varnel: song.vnl"));
  TVNSong onDisk;
  QVERIFY(Read(song, onDisk));
  QCOMPARE(onDisk.GetCellData(0, 5), CellEmpty);  // still unsaved
  QVERIFY(rig.window->RecoveryCopy()->Active());
}

void RecoveryTest::recovery_declined_copyRemoved() {
  {
    FilesRig rig(Path("recovery"));
    rig.window->SetRecoveryInterval(20);
    rig.Song().SetCellData(0, 0, 60);
    QTRY_VERIFY(rig.window->RecoveryCopy()->Writes() >= 1);
  }
  FilesRig rig(Path("recovery"));
  rig.dialogs.answer = false;
  QTRY_COMPARE(rig.dialogs.questions.size(), 1);
  QVERIFY(rig.dialogs.questions[0].contains(QStringLiteral("an untitled song")));
  QTRY_VERIFY(!QFileInfo::exists(Path("recovery/recovery.vnl")));
  QCOMPARE(rig.Song().GetCellData(0, 0), CellEmpty);
  FilesRig again(Path("recovery"));
  QTest::qWait(50);
  QVERIFY(again.dialogs.questions.isEmpty());
}

void RecoveryTest::recovery_runningOwner_copyNotOfferedAndSlotsApart() {
  FilesRig first(Path("recovery"));
  first.window->SetRecoveryInterval(20);
  first.Song().SetCellData(0, 0, 60);
  QTRY_VERIFY(first.window->RecoveryCopy()->Writes() >= 1);
  FilesRig second(Path("recovery"));
  second.window->SetRecoveryInterval(20);
  QTest::qWait(50);
  QVERIFY(second.dialogs.questions.isEmpty());
  second.Song().SetCellData(0, 0, 61);
  QTRY_VERIFY(second.window->RecoveryCopy()->Writes() >= 1);
  QCOMPARE(second.window->RecoveryCopy()->CopyPath(), Path("recovery/recovery-1.vnl"));
  TVNSong copy;
  QVERIFY(Read(Path("recovery/recovery.vnl"), copy));
  QCOMPARE(copy.GetCellData(0, 0), 60);
}

void RecoveryTest::recovery_orderlyClose_copyRemoved() {
  FilesRig rig(Path("recovery"));
  rig.window->SetRecoveryInterval(20);
  rig.Song().SetCellData(0, 0, 60);
  QTRY_VERIFY(rig.window->RecoveryCopy()->Writes() >= 1);
  rig.dialogs.saveAnswer = DialogAnswer::Cancel;  // the window and the copy stay
  QVERIFY(!rig.window->close());
  QVERIFY(QFileInfo::exists(Path("recovery/recovery.vnl")));
  rig.dialogs.saveAnswer = DialogAnswer::No;  // discarded on purpose: the copy goes too
  QVERIFY(rig.window->close());
  QVERIFY(!QFileInfo::exists(Path("recovery/recovery.vnl")));
  QVERIFY(!QFileInfo::exists(Path("recovery/recovery.txt")));
}

// With warnings disabled nothing is asked at the close: the copy keeps the changes, and the next
// start offers them.
void RecoveryTest::recovery_warningsDisabled_closeKeepsTheCopyForTheNextStart() {
  int typed = 0;
  {
    FilesRig rig(Path("recovery"));
    rig.Trigger("DisableWarnings");
    QTest::keyClick(&rig.G1(), Qt::Key_E);  // a note at row 0, no copy written yet
    typed = rig.Song().GetCellData(0, 0);
    QVERIFY(typed != CellEmpty);
    QVERIFY(rig.window->close());
    QVERIFY(rig.dialogs.questions.isEmpty());
    QVERIFY(QFileInfo::exists(Path("recovery/recovery.vnl")));
  }
  FilesRig rig(Path("recovery"));
  QTRY_COMPARE(rig.dialogs.questions.size(), 1);
  QCOMPARE(rig.Song().GetCellData(0, 0), typed);
  QVERIFY(rig.Modified());
}

void RecoveryTest::recovery_damagedCopy_setAsideNotOfferedAgain() {
  QVERIFY(QDir().mkpath(Path("recovery")));
  QFile copy(Path("recovery/recovery.vnl"));
  QVERIFY(copy.open(QIODevice::WriteOnly));
  copy.write("VnlMd106");
  copy.close();
  {
    FilesRig rig(Path("recovery"));
    QTRY_COMPARE(rig.dialogs.questions.size(), 1);
    QTRY_COMPARE(rig.dialogs.messages.size(), 1);
    QCOMPARE(rig.dialogs.messages[0],
             "Error reading file (1)\n" + Path("recovery/recovery.vnl") + "\nthe file ends inside the header");
    QCOMPARE(rig.Song().TracksCount(), 16);
    QVERIFY(!rig.Modified());
    QVERIFY(QFileInfo::exists(Path("recovery/recovery.damaged.vnl")));
  }
  FilesRig rig(Path("recovery"));
  QTest::qWait(50);
  QVERIFY(rig.dialogs.questions.isEmpty());
}

QTEST_MAIN(RecoveryTest)
#include "recovery_test.moc"
