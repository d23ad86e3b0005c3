#include "app/install.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include "app/settings.h"

namespace varnel {

namespace {

QString Latin(const char* text) { return QString::fromLatin1(text); }

QString ExtensionKey() { return QLatin1Char('.') + Latin(SongExtension); }

// The name of the value that keeps a previous file type: the product name (blanks as "_") and ".Back".
QString BackupName() { return QStringLiteral("Varnel.Back"); }

QString DefaultOf(const QString& key) { return key + QStringLiteral("/Default"); }

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `bytes` to `path` unless it already holds exactly them; true when written.
[[maybe_unused]] bool WriteIfDifferent(const QString& path, const QByteArray& bytes) {
  if (QFileInfo::exists(path) && ReadAll(path) == bytes) return false;
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(bytes);
  return file.commit();
}

[[maybe_unused]] bool RemoveFile(const QString& path) { return QFileInfo::exists(path) && QFile::remove(path); }

// Desktop-file strings escape backslashes once more on top of the Exec quoting.
QString EscapeDesktopString(const QString& text) {
  QString escaped = text;
  return escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

#ifdef Q_OS_WIN
constexpr const char* ClassesRoot = "HKEY_CURRENT_USER\\Software\\Classes";
constexpr const char* UninstallKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Varnel";

void RenewUninstallEntry(const QString& program) {
  QSettings entry(Latin(UninstallKey), QSettings::NativeFormat);
  if (entry.contains(QStringLiteral("DisplayName"))) return;
  entry.setValue(QStringLiteral("DisplayName"), QStringLiteral("Varnel"));
  entry.setValue(QStringLiteral("UninstallString"), QDir::toNativeSeparators(program) + QStringLiteral(" /uninstall"));
}
#endif

}  // namespace

InstallPaths InstallPaths::Current() {
  InstallPaths paths;
  // Relative values are invalid by the base-directory rules and are ignored.
  const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
  paths.dataHome = !xdg.isEmpty() && QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + QStringLiteral("/.local/share");
  paths.program = QCoreApplication::applicationFilePath();
  const QDir exe(QCoreApplication::applicationDirPath());
  for (const QString& candidate : {exe.filePath(QStringLiteral("varnel.svg")),
                                   exe.filePath(QStringLiteral("../share/icons/hicolor/scalable/apps/varnel.svg"))}) {
    if (QFileInfo::exists(candidate)) {
      paths.icon = QDir::cleanPath(candidate);
      break;
    }
  }
  return paths;
}

// ---- Windows classes root ----

void RegisterFileType(QSettings& classes, const QString& program) {
  const QString extension = ExtensionKey();
  const QString type = Latin(SongFileType);
  const QString previous = classes.value(DefaultOf(extension)).toString();
  if (previous == type) return;
  if (!previous.isEmpty()) classes.setValue(extension + QLatin1Char('/') + BackupName(), previous);
  const QString path = QDir::toNativeSeparators(program);
  classes.setValue(DefaultOf(extension), type);
  classes.setValue(DefaultOf(type), Latin(SongFileTypeName));
  classes.setValue(DefaultOf(type + QStringLiteral("/DefaultIcon")), path + QStringLiteral(",0"));
  classes.setValue(DefaultOf(type + QStringLiteral("/Shell")), QStringLiteral("open"));
  classes.setValue(DefaultOf(type + QStringLiteral("/Shell/open")), QStringLiteral("Open with Varnel"));
  classes.setValue(DefaultOf(type + QStringLiteral("/Shell/open/command")), path + QStringLiteral(" \"%1\""));
  classes.sync();
}

void UnregisterFileType(QSettings& classes) {
  const QString extension = ExtensionKey();
  if (classes.value(DefaultOf(extension)).toString() != Latin(SongFileType)) return;
  const QString backup = extension + QLatin1Char('/') + BackupName();
  const QString previous = classes.value(backup).toString();
  if (previous.isEmpty()) {
    classes.remove(extension);
  } else {
    classes.setValue(DefaultOf(extension), previous);
    classes.remove(backup);
  }
  classes.sync();
}

// ---- freedesktop files ----

FileAssociation::FileAssociation(InstallPaths paths) : paths_(std::move(paths)) {}

QString FileAssociation::DesktopPath() const { return paths_.dataHome + QStringLiteral("/applications/varnel.desktop"); }

QString FileAssociation::MimePath() const { return paths_.dataHome + QStringLiteral("/mime/packages/varnel.xml"); }

QString FileAssociation::IconPath() const {
  return paths_.dataHome + QStringLiteral("/icons/hicolor/scalable/apps/varnel.svg");
}

QString FileAssociation::ExecArgument(const QString& path) {
  // Quoted always; inside quotes ", `, $ and \ take a backslash; % is doubled.
  QString quoted;
  for (const QChar c : path) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
      quoted += QLatin1Char('\\');
    if (c == QLatin1Char('%')) quoted += QLatin1Char('%');
    quoted += c;
  }
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString FileAssociation::DesktopText() const {
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Name=Varnel\n"
             "GenericName=MIDI Sequencer\n"
             "Comment=Compose MIDI songs in patterns, tracker style\n"
             "Exec=%1 %f\n"
             "Icon=varnel\n"
             "Terminal=false\n"
             "Categories=AudioVideo;Audio;Midi;Sequencer;\n"
             "MimeType=%2;\n")
      .arg(EscapeDesktopString(ExecArgument(paths_.program)), Latin(SongMimeType));
}

QString FileAssociation::MimeText() {
  return QStringLiteral(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
             "  <mime-type type=\"%1\">\n"
             "    <comment>%2</comment>\n"
             "    <generic-icon name=\"audio-x-generic\"/>\n"
             "    <magic priority=\"50\">\n"
             "      <match type=\"string\" offset=\"0\" value=\"VnlMd\"/>\n"
             "    </magic>\n"
             "    <glob pattern=\"*.%3\"/>\n"
             "  </mime-type>\n"
             "</mime-info>\n")
      .arg(Latin(SongMimeType), Latin(SongFileTypeName), Latin(SongExtension));
}

bool FileAssociation::Register() const {
#ifdef Q_OS_WIN
  QSettings classes(Latin(ClassesRoot), QSettings::NativeFormat);
  RegisterFileType(classes, paths_.program);
  RenewUninstallEntry(paths_.program);
  return true;
#else
  if (paths_.dataHome.isEmpty()) return false;
  bool desktop = WriteIfDifferent(DesktopPath(), DesktopText().toUtf8());
  if (!paths_.icon.isEmpty() && QFileInfo::exists(paths_.icon))
    desktop = WriteIfDifferent(IconPath(), ReadAll(paths_.icon)) || desktop;
  const bool mime = WriteIfDifferent(MimePath(), MimeText().toUtf8());
  RunUpdateTools(desktop, mime);
  return desktop || mime;
#endif
}

bool FileAssociation::Unregister() const {
#ifdef Q_OS_WIN
  QSettings classes(Latin(ClassesRoot), QSettings::NativeFormat);
  UnregisterFileType(classes);
  return true;
#else
  if (paths_.dataHome.isEmpty()) return false;
  bool desktop = RemoveFile(DesktopPath());
  desktop = RemoveFile(IconPath()) || desktop;
  const bool mime = RemoveFile(MimePath());
  RunUpdateTools(desktop, mime);
  return desktop || mime;
#endif
}

bool FileAssociation::IsRegistered() const {
  return QFileInfo::exists(DesktopPath()) && QFileInfo::exists(MimePath());
}

void FileAssociation::RunUpdateTools(bool desktop, bool mime) const {
  if (!paths_.runUpdateTools) return;
  const auto run = [](const QString& tool, const QString& folder) {
    const QString found = QStandardPaths::findExecutable(tool);
    if (found.isEmpty() || !QFileInfo(folder).isDir()) return;
    QProcess process;
    // Their notes (a data folder outside the search path, say) are no business of the user's.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(found, {folder});
    // A stuck tool must not keep the program from starting.
    if (process.waitForStarted(5000) && !process.waitForFinished(15000)) process.kill();
    process.waitForFinished(1000);
  };
  if (desktop) run(QStringLiteral("update-desktop-database"), paths_.dataHome + QStringLiteral("/applications"));
  if (mime) run(QStringLiteral("update-mime-database"), paths_.dataHome + QStringLiteral("/mime"));
}

// ---- switches ----

void ResetSettings(const InstallPaths& paths, const SwitchDialogs& dialogs) {
  FileAssociation(paths).Unregister();
  Settings::Reset();
  dialogs.message(QStringLiteral("Registry entries has been removed"));
}

void UninstallProgram(const InstallPaths& paths, const SwitchDialogs& dialogs) {
  // The program's own files belong to whoever installed them (the package manager or
  // `cmake --install`); what Varnel itself put into the user's folders goes here.
  FileAssociation(paths).Unregister();
#ifdef Q_OS_WIN
  QSettings(Latin(UninstallKey), QSettings::NativeFormat).remove(QString());
#endif
  dialogs.message(QStringLiteral("Uninstall complete."));
}

bool HandleStartSwitches(const QString& firstArgument, const InstallPaths& paths, const SwitchDialogs& dialogs) {
  const QString argument = firstArgument.trimmed();
  if (argument.compare(QLatin1String("/uninstall"), Qt::CaseInsensitive) == 0) {
    if (dialogs.question(QStringLiteral("Are you sure to remove Varnel?"))) {
      ResetSettings(paths, dialogs);
      UninstallProgram(paths, dialogs);
    }
    return true;
  }
  if (argument.compare(QLatin1String("/reset"), Qt::CaseInsensitive) == 0) {
    ResetSettings(paths, dialogs);
    return true;
  }
  FileAssociation(paths).Register();
  return false;
}

}  // namespace varnel
