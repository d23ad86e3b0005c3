// THelpForm: the "VN Help" window, not modal: the guide (help_guide.h) with a search box that
// highlights every match and steps through them.
//
// Threads: UI thread.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include "windows/help_guide.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;

namespace varnel {

class THelpForm : public QWidget {
  Q_OBJECT

 public:
  explicit THelpForm(QWidget* parent = nullptr);

  // Shows the guide with these shortcuts; the scroll position stays when nothing changed.
  void SetShortcuts(const QList<ShortcutEntry>& shortcuts);

  // Highlights every occurrence of text (case ignored) and goes to the first one after the
  // cursor; returns how many there are. Empty text clears the highlights.
  int Find(const QString& text);
  // Goes to the next occurrence, wrapping to the first.
  void FindNext();

  QString PlainText() const;
  int MatchCount() const { return int(matches_.size()); }
  int CurrentMatch() const { return current_; }  // -1: none
  QString SelectedText() const;
  int HighlightCount() const;
  QLineEdit* FindBox() const { return find_; }
  QLabel* FindResult() const { return result_; }
  QTextBrowser* Browser() const { return browser_; }

 private:
  void ShowMatches();

  QLineEdit* find_;
  QPushButton* next_;
  QLabel* result_;
  QTextBrowser* browser_;
  QString html_;
  QList<int> matches_;  // start positions of the occurrences
  int length_ = 0;
  int current_ = -1;
};

}  // namespace varnel
