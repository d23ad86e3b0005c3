// The main window rig for the file commands: both recent lists as the user sees them, songs
// written for the tests, and the recovery copies kept in a folder of the test.
#pragma once

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include "app/main_window_menus.h"
#include "main_window_rig.h"

namespace varnel::test {

struct FilesRig : WindowRig {
  explicit FilesRig(const QString& recoveryFolder = {}) { window->SetRecoveryFolder(recoveryFolder); }
  QAction* Slot(int i) { return window->Action(QStringLiteral("Recent%1").arg(i)); }
  QList<QAction*> Names() {
    QToolBar* bar = window->Commands().CommonBar;
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(window->Action("Open")));
    return button && button->menu() ? button->menu()->actions() : QList<QAction*>{};
  }
  // The visible entries of both lists, top first.
  QStringList Shown() {
    QStringList out;
    for (int i = 0; i < 15; ++i)
      if (Slot(i)->isVisible()) out << Slot(i)->text();
    return out;
  }
  QStringList ShownNames() {
    QStringList out;
    for (QAction* item : Names())
      if (item->isVisible()) out << item->text();
    return out;
  }
};

inline QString WriteSong(const QString& path, int bpm, int note) {
  TVNSong song;
  song.BPM = uint8_t(bpm);
  song.SetCellData(0, 0, note);
  return song.SaveToFile(path.toStdString()) ? path : QString();
}

inline TVNSong* Read(const QString& path, TVNSong& song) {
  return song.LoadFromFile(path.toStdString()) ? &song : nullptr;
}

// The template songs as the build writes them.
inline QString SourceSongs() { return QStringLiteral(VARNEL_BUILT_SONGS); }

}  // namespace varnel::test
