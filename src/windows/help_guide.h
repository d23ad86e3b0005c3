// The guide the help window shows, as HTML: the two keyboard note layouts (drawn as keyboards,
// referenced as the images KeyboardImageUrl(0) and (1)), every shortcut of the command set read
// from the live actions, the keys the window and the editor handle themselves, the track types and
// what they send, the song information and the file formats.
//
// Threads: UI thread.
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

class QAction;
class QMenu;

namespace varnel {

struct ShortcutEntry {
  QString where;     // "Edit > Transpose down"
  QString shortcut;  // "Alt+F1"
};

// The caption as it reads on screen: the access-key "&" dropped, "&&" read as "&".
QString PlainCaption(const QString& caption);

// Every visible action with a shortcut, in menu order ("Menu > Submenu > Item"), then those that
// are in no menu (under "Tool bar"). Shortcuts read as QKeySequence::PortableText.
QList<ShortcutEntry> CollectShortcuts(const QList<QMenu*>& menus, const QList<QAction*>& allActions);

QUrl KeyboardImageUrl(int mode);

QString HelpGuideHtml(const QList<ShortcutEntry>& shortcuts);

}  // namespace varnel
