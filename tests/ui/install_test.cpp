// The start-up switches and the song file association, on a temporary data folder and settings
// folder: a start registers, "/uninstall" removes, "/reset" clears, in any letter case; the Windows
// classes-root keys on an INI store; the update tools' caches when the tools are installed.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/install.h"
#include "app/settings.h"

using namespace varnel;

namespace {

// The dialogs of a switch: answers the question as told and records what was said.
struct Answers {
  bool yes = true;
  QStringList questions;
  QStringList messages;
  SwitchDialogs Dialogs() {
    return {[this](const QString& text) {
              questions << text;
              return yes;
            },
            [this](const QString& text) { messages << text; }};
  }
};

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

class InstallTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void start_anyOtherArgument_registersAndGoesOn_data();
  void start_anyOtherArgument_registersAndGoesOn();
  void start_again_writesNothing();
  void start_changedProgram_rewritesDesktopFile();
  void uninstall_anyCase_yes_removesAssociationAndSettings_data();
  void uninstall_anyCase_yes_removesAssociationAndSettings();
  void uninstall_no_changesNothing();
  void reset_anyCase_clearsSettingsAndAssociation_data();
  void reset_anyCase_clearsSettingsAndAssociation();
  void register_unwritableDataFolder_startsAnyway();
  void execArgument_quotesAsTheDesktopFormatWants_data();
  void execArgument_quotesAsTheDesktopFormatWants();
  void desktopFile_passesValidator();
  void updateTools_cachesKnowTheTypeUntilUninstall();
  void classes_registerAndUnregister_keepAndRestorePreviousType();

 private:
  InstallPaths Paths() const;
  void FillSettings();

  std::unique_ptr<QTemporaryDir> dir_;
};

void InstallTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  QVERIFY(dir_->isValid());
  Settings::UseFolder(dir_->filePath(QStringLiteral("config")));
}

InstallPaths InstallTest::Paths() const {
  InstallPaths paths;
  paths.dataHome = dir_->filePath(QStringLiteral("data"));
  paths.program = QStringLiteral("/opt/varnel/bin/varnel");
  paths.runUpdateTools = false;
  return paths;
}

void InstallTest::FillSettings() {
  Settings s;
  s.Write(Settings::Top, 10);
  s.Write(Settings::Left, 20);
  s.Write(Settings::Width, 800);
  s.Write(Settings::Height, 600);
  s.Write(Settings::Maximized, true);
  s.Write(Settings::Device, QStringLiteral("Synth"));
  s.SetRecentFiles({dir_->filePath(QStringLiteral("a.vnl"))});
  s.SetToolbars({{QStringLiteral("ToolBar1"), true, false, 300}});
}

void InstallTest::start_anyOtherArgument_registersAndGoesOn_data() {
  QTest::addColumn<QString>("argument");
  QTest::newRow("no argument") << QString();
  QTest::newRow("a song") << QStringLiteral("/home/me/tune.vnl");
  QTest::newRow("install") << QStringLiteral("/install");
  QTest::newRow("a longer switch") << QStringLiteral("/resetall");
}

void InstallTest::start_anyOtherArgument_registersAndGoesOn() {
  QFETCH(QString, argument);
  FillSettings();
  Answers answers;
  QVERIFY(!HandleStartSwitches(argument, Paths(), answers.Dialogs()));
  QVERIFY(answers.questions.isEmpty());
  QVERIFY(answers.messages.isEmpty());

  const FileAssociation association(Paths());
  QVERIFY(association.IsRegistered());
  const QString desktop = ReadText(dir_->filePath(QStringLiteral("data/applications/varnel.desktop")));
  QVERIFY(desktop.startsWith(QStringLiteral("[Desktop Entry]\n")));
  QVERIFY(desktop.contains(QStringLiteral("\nExec=\"/opt/varnel/bin/varnel\" %f\n")));
  QVERIFY(desktop.contains(QStringLiteral("\nMimeType=application/x-varnel-song;\n")));
  const QString mime = ReadText(dir_->filePath(QStringLiteral("data/mime/packages/varnel.xml")));
  QVERIFY(mime.contains(QStringLiteral("<mime-type type=\"application/x-varnel-song\">")));
  QVERIFY(mime.contains(QStringLiteral("<glob pattern=\"*.vnl\"/>")));
  QVERIFY(mime.contains(QStringLiteral("value=\"VnlMd\"")));
  QCOMPARE(Settings().Read(Settings::Device), std::optional<QString>(QStringLiteral("Synth")));  // untouched
}

void InstallTest::start_again_writesNothing() {
  InstallPaths paths = Paths();
  const QString icon = dir_->filePath(QStringLiteral("varnel.svg"));
  {
    QFile file(icon);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<svg/>");
  }
  paths.icon = icon;
  const FileAssociation association(paths);
  QVERIFY(association.Register());
  QCOMPARE(ReadText(association.IconPath()), QStringLiteral("<svg/>"));
  const QDateTime written = QFileInfo(association.DesktopPath()).lastModified();
  QVERIFY(!association.Register());
  QCOMPARE(QFileInfo(association.DesktopPath()).lastModified(), written);
}

void InstallTest::start_changedProgram_rewritesDesktopFile() {
  QVERIFY(FileAssociation(Paths()).Register());
  InstallPaths moved = Paths();
  moved.program = QStringLiteral("/usr/bin/varnel");
  const FileAssociation association(moved);
  QVERIFY(association.Register());
  QVERIFY(ReadText(association.DesktopPath()).contains(QStringLiteral("Exec=\"/usr/bin/varnel\" %f")));
}

void InstallTest::uninstall_anyCase_yes_removesAssociationAndSettings_data() {
  QTest::addColumn<QString>("argument");
  QTest::newRow("lower") << QStringLiteral("/uninstall");
  QTest::newRow("upper") << QStringLiteral("/UNINSTALL");
  QTest::newRow("mixed, blanks") << QStringLiteral("  /UnInstall ");
}

void InstallTest::uninstall_anyCase_yes_removesAssociationAndSettings() {
  QFETCH(QString, argument);
  FillSettings();
  QVERIFY(!HandleStartSwitches(QString(), Paths(), Answers().Dialogs()));
  Answers answers;
  QVERIFY(HandleStartSwitches(argument, Paths(), answers.Dialogs()));
  QCOMPARE(answers.questions, QStringList{QStringLiteral("Are you sure to remove Varnel?")});
  QCOMPARE(answers.messages,
           (QStringList{QStringLiteral("Registry entries has been removed"), QStringLiteral("Uninstall complete.")}));
  const FileAssociation association(Paths());
  QVERIFY(!QFileInfo::exists(association.DesktopPath()));
  QVERIFY(!QFileInfo::exists(association.MimePath()));
  Settings s;
  QVERIFY(!s.Has(Settings::Device));
  QVERIFY(!s.Has(Settings::Top));
  QCOMPARE(s.Read(Settings::Height), std::optional<int>(600));
}

void InstallTest::uninstall_no_changesNothing() {
  FillSettings();
  QVERIFY(!HandleStartSwitches(QString(), Paths(), Answers().Dialogs()));
  Answers answers;
  answers.yes = false;
  QVERIFY(HandleStartSwitches(QStringLiteral("/uninstall"), Paths(), answers.Dialogs()));  // ends all the same
  QCOMPARE(answers.questions.size(), 1);
  QVERIFY(answers.messages.isEmpty());
  QVERIFY(FileAssociation(Paths()).IsRegistered());
  Settings s;
  QVERIFY(s.Has(Settings::Device));
  QCOMPARE(s.RecentFiles().size(), 0);  // the recent file never existed: dropped when read
  QVERIFY(s.Store().contains(QStringLiteral("Recent/00")));
}

void InstallTest::reset_anyCase_clearsSettingsAndAssociation_data() {
  QTest::addColumn<QString>("argument");
  QTest::newRow("lower") << QStringLiteral("/reset");
  QTest::newRow("upper") << QStringLiteral("/RESET");
  QTest::newRow("mixed") << QStringLiteral("/Reset");
}

void InstallTest::reset_anyCase_clearsSettingsAndAssociation() {
  QFETCH(QString, argument);
  FillSettings();
  QVERIFY(!HandleStartSwitches(QString(), Paths(), Answers().Dialogs()));
  Answers answers;
  QVERIFY(HandleStartSwitches(argument, Paths(), answers.Dialogs()));
  QVERIFY(answers.questions.isEmpty());
  QCOMPARE(answers.messages, QStringList{QStringLiteral("Registry entries has been removed")});
  QVERIFY(!FileAssociation(Paths()).IsRegistered());

  Settings s;
  QSettings& store = s.Store();
  for (const char* group : {"Options", "Recent", "Toolbars"}) {
    store.beginGroup(QLatin1String(group));
    QVERIFY2(store.allKeys().isEmpty(), group);
    store.endGroup();
  }
  for (const auto value : {Settings::Top, Settings::Left, Settings::Width}) QVERIFY(!s.Has(value));
  QVERIFY(!s.Has(Settings::Maximized));
  QCOMPARE(s.Read(Settings::Height), std::optional<int>(600));  // "Height" stays

  // The next plain start registers again.
  QVERIFY(!HandleStartSwitches(QString(), Paths(), answers.Dialogs()));
  QVERIFY(FileAssociation(Paths()).IsRegistered());
}

void InstallTest::register_unwritableDataFolder_startsAnyway() {
  // A file where the data folder should be: nothing can be written, nothing crashes.
  QFile blocker(dir_->filePath(QStringLiteral("data")));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  Answers answers;
  QVERIFY(!HandleStartSwitches(QString(), Paths(), answers.Dialogs()));
  QVERIFY(!FileAssociation(Paths()).IsRegistered());
  QVERIFY(answers.messages.isEmpty());
  QVERIFY(HandleStartSwitches(QStringLiteral("/reset"), Paths(), answers.Dialogs()));
  QCOMPARE(answers.messages.size(), 1);
}

void InstallTest::execArgument_quotesAsTheDesktopFormatWants_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("argument");
  QTest::addColumn<QString>("line");  // what the desktop file holds: backslashes doubled once more
  QTest::newRow("plain") << "/usr/bin/varnel"
                         << "\"/usr/bin/varnel\""
                         << "Exec=\"/usr/bin/varnel\" %f";
  QTest::newRow("blank") << "/home/me/My Apps/varnel"
                         << "\"/home/me/My Apps/varnel\""
                         << "Exec=\"/home/me/My Apps/varnel\" %f";
  QTest::newRow("reserved") << "/a$b/c\"d/e`f/100%/varnel"
                            << "\"/a\\$b/c\\\"d/e\\`f/100%%/varnel\""
                            << "Exec=\"/a\\\\$b/c\\\\\"d/e\\\\`f/100%%/varnel\" %f";
  QTest::newRow("backslash") << "/a\\b/varnel"
                             << "\"/a\\\\b/varnel\""
                             << "Exec=\"/a\\\\\\\\b/varnel\" %f";
}

void InstallTest::execArgument_quotesAsTheDesktopFormatWants() {
  QFETCH(QString, path);
  QFETCH(QString, argument);
  QFETCH(QString, line);
  QCOMPARE(FileAssociation::ExecArgument(path), argument);
  InstallPaths paths = Paths();
  paths.program = path;
  QVERIFY(FileAssociation(paths).DesktopText().contains(QLatin1Char('\n') + line + QLatin1Char('\n')));
}

void InstallTest::desktopFile_passesValidator() {
  const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
  if (validator.isEmpty()) QSKIP("desktop-file-validate is not installed");
  InstallPaths paths = Paths();
  paths.program = QStringLiteral("/home/me/My $Apps/varnel");
  const FileAssociation association(paths);
  QVERIFY(association.Register());
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(validator, {association.DesktopPath()});
  QVERIFY(process.waitForFinished(30000));
  QVERIFY2(process.exitCode() == 0 && process.readAll().trimmed().isEmpty(), "desktop-file-validate complains");
}

void InstallTest::updateTools_cachesKnowTheTypeUntilUninstall() {
  if (QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty() ||
      QStandardPaths::findExecutable(QStringLiteral("update-desktop-database")).isEmpty())
    QSKIP("update-mime-database or update-desktop-database is not installed");
  InstallPaths paths = Paths();
  paths.runUpdateTools = true;
  QVERIFY(!HandleStartSwitches(QString(), paths, Answers().Dialogs()));
  const QString globs = dir_->filePath(QStringLiteral("data/mime/globs2"));
  const QString cache = dir_->filePath(QStringLiteral("data/applications/mimeinfo.cache"));
  QVERIFY(ReadText(globs).contains(QStringLiteral("application/x-varnel-song:*.vnl")));
  QVERIFY(ReadText(cache).contains(QStringLiteral("application/x-varnel-song=varnel.desktop;")));

  QVERIFY(HandleStartSwitches(QStringLiteral("/uninstall"), paths, Answers().Dialogs()));
  QVERIFY(!ReadText(globs).contains(QStringLiteral("varnel")));
  QVERIFY(!ReadText(cache).contains(QStringLiteral("varnel")));
}

void InstallTest::classes_registerAndUnregister_keepAndRestorePreviousType() {
  QSettings classes(dir_->filePath(QStringLiteral("classes.ini")), QSettings::IniFormat);
  const QString program = QStringLiteral("/opt/varnel/bin/varnel");

  // Fresh: the keys of the table.
  RegisterFileType(classes, program);
  QCOMPARE(classes.value(".vnl/Default").toString(), QStringLiteral("Varnel.File"));
  QCOMPARE(classes.value("Varnel.File/Default").toString(), QStringLiteral("Varnel module"));
  QCOMPARE(classes.value("Varnel.File/DefaultIcon/Default").toString(), program + QStringLiteral(",0"));
  QCOMPARE(classes.value("Varnel.File/Shell/Default").toString(), QStringLiteral("open"));
  QCOMPARE(classes.value("Varnel.File/Shell/open/Default").toString(), QStringLiteral("Open with Varnel"));
  QCOMPARE(classes.value("Varnel.File/Shell/open/command/Default").toString(), program + QStringLiteral(" \"%1\""));
  QVERIFY(!classes.contains(".vnl/Varnel.Back"));

  // Registering again keeps no backup of itself; unregistering without a backup removes the key.
  RegisterFileType(classes, program);
  QVERIFY(!classes.contains(".vnl/Varnel.Back"));
  UnregisterFileType(classes);
  QVERIFY(!classes.contains(".vnl/Default"));

  // Another program's type is kept and given back.
  classes.setValue(".vnl/Default", QStringLiteral("Other.Song"));
  RegisterFileType(classes, program);
  QCOMPARE(classes.value(".vnl/Default").toString(), QStringLiteral("Varnel.File"));
  QCOMPARE(classes.value(".vnl/Varnel.Back").toString(), QStringLiteral("Other.Song"));
  UnregisterFileType(classes);
  QCOMPARE(classes.value(".vnl/Default").toString(), QStringLiteral("Other.Song"));
  QVERIFY(!classes.contains(".vnl/Varnel.Back"));

  // Unregistering leaves another program's association alone.
  UnregisterFileType(classes);
  QCOMPARE(classes.value(".vnl/Default").toString(), QStringLiteral("Other.Song"));
}

QTEST_MAIN(InstallTest)
#include "install_test.moc"
