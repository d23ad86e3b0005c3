// The main window's command set: one QAction per command, created once with its caption, shortcut
// and hint, and shared by the menu bar, the tool bars and the grids' pop-up menu. Commands whose
// behaviour is not built yet exist disabled. UI thread only.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QMenuBar;
class QToolBar;

namespace varnel {

enum CommandFlag : int {
  Checkable = 1,
  Checked = 2,
  NotYet = 4,  // the behaviour comes with a later part of the program: shown, disabled
  Hidden = 8,
};

class MainCommands : public QObject {
  Q_OBJECT

 public:
  // Builds every action, the menu bar of `window` and the common and edit tool bars.
  explicit MainCommands(QMainWindow* window);

  // The action of a command key ("Open", "PlayPause", "Octave3"); never null for a known key.
  QAction* operator[](const QString& key) const;
  bool Has(const QString& key) const { return actions_.contains(key); }
  const QHash<QString, QAction*>& All() const { return actions_; }

  QList<QMenu*> TopMenus;  // File, View, Edit, Track, Channel, Pattern, Options, Help
  // The menu bar, also while the custom title bar holds it (QMainWindow::menuBar would then make a
  // new one).
  QMenuBar* MenuBar = nullptr;
  QMenu* OutDeviceMenu = nullptr;
  QMenu* InDeviceMenu = nullptr;
  QActionGroup* OutDevices = nullptr;
  QActionGroup* InDevices = nullptr;
  QToolBar* CommonBar = nullptr;
  QToolBar* EditBar = nullptr;

 private:
  QAction* Add(QMenu* menu, const QString& key, const QString& caption, const char* shortcut = "",
               const QString& hint = {}, int flags = 0, int tag = 0);
  QAction* Tool(const QString& key, const QString& caption, const QString& hint, int flags = 0);
  void BuildFile(QMenu* menu);
  void BuildView(QMenu* menu);
  void BuildEdit(QMenu* menu);
  void BuildTrack(QMenu* menu);
  void BuildAutomation(QMenu* menu);
  void BuildChannel(QMenu* menu);
  void BuildPattern(QMenu* menu);
  void BuildOptions(QMenu* menu);
  void BuildHelp(QMenu* menu);
  void NoteLengthMenus(QMenu* menu, const QString& prefix, bool named);
  void BuildCommonBar();
  void BuildEditBar();

  QMainWindow* window_;
  QHash<QString, QAction*> actions_;
  QHash<QString, QMenu*> lengthMenus_;  // "TrackForward", "ChannelBackward", ...
};

// A plain text (a device or file name) as a menu caption: each "&" shows as itself, not as a mnemonic.
QString MenuCaption(QString text);

}  // namespace varnel
