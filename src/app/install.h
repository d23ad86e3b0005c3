// The "/uninstall" and "/reset" switches and the song file association, renewed at every start.
// Linux and other freedesktop systems: a .desktop file and a shared-mime-info type in the user's
// data folder. Windows: the classes-root keys of "Varnel.File" and the uninstall entry. Everything
// here runs on the UI thread before the main window exists.
#pragma once

#include <QString>
#include <functional>

class QSettings;

namespace varnel {

// The association's names, shared by the Windows keys and the freedesktop files.
inline constexpr const char* SongExtension = "vnl";
inline constexpr const char* SongFileType = "Varnel.File";
inline constexpr const char* SongFileTypeName = "Varnel module";
inline constexpr const char* SongMimeType = "application/x-varnel-song";

// Where the association goes. Tests point every path at a temporary folder.
struct InstallPaths {
  QString dataHome;  // the user's data folder: $XDG_DATA_HOME, else ~/.local/share
  QString program;   // the executable that .vnl files open with
  QString icon;      // the program icon to copy into the data folder; empty or missing: none
  bool runUpdateTools = true;  // update-desktop-database and update-mime-database, when on the PATH

  // The running program's paths.
  static InstallPaths Current();
};

// The Windows classes-root keys, on any store whose layout is the registry's ("Default" is a key's
// default value): the user's classes on Windows, an INI file in tests.
// Register: nothing is written when the extension already names "Varnel.File"; otherwise a
// non-empty previous type is kept in "<product>.Back" of the extension key and the keys are written.
void RegisterFileType(QSettings& classes, const QString& program);
// Only when the extension names "Varnel.File": restores the kept type, or removes the extension key.
void UnregisterFileType(QSettings& classes);

// The freedesktop files in a data folder.
class FileAssociation {
 public:
  explicit FileAssociation(InstallPaths paths);

  // Writes whatever is missing or differs, then runs the update tools if anything changed.
  // Failures are ignored: the program starts all the same. Returns whether anything was written.
  bool Register() const;
  // Removes what Register wrote; returns whether anything was removed.
  bool Unregister() const;
  bool IsRegistered() const;

  QString DesktopPath() const;  // <data>/applications/varnel.desktop
  QString MimePath() const;     // <data>/mime/packages/varnel.xml
  QString IconPath() const;     // <data>/icons/hicolor/scalable/apps/varnel.svg

  // The file contents for this program (Exec with its path, quoted as the desktop format wants).
  QString DesktopText() const;
  static QString MimeText();
  // A path as one argument of a desktop file's Exec key.
  static QString ExecArgument(const QString& path);

 private:
  void RunUpdateTools(bool desktop, bool mime) const;

  InstallPaths paths_;
};

// How the switches talk to the user: a Yes/No question and an information box.
struct SwitchDialogs {
  std::function<bool(const QString&)> question;
  std::function<void(const QString&)> message;
};

// The settings go back to their defaults and the association is removed; says so.
void ResetSettings(const InstallPaths& paths, const SwitchDialogs& dialogs);
// Removes what the program put in the user's data folder (and on Windows the uninstall entry).
void UninstallProgram(const InstallPaths& paths, const SwitchDialogs& dialogs);

// Program start before any window: "/uninstall" and "/reset" (any case, blanks around ignored) act
// and return true, and the program ends. Any other argument renews the association and returns false.
bool HandleStartSwitches(const QString& firstArgument, const InstallPaths& paths, const SwitchDialogs& dialogs);

}  // namespace varnel
