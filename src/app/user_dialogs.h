// The message boxes, questions and file dialogs of the main window, behind one small interface so
// tests can answer them without a user. UI thread only.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace varnel {

enum class DialogAnswer { Yes, No, Cancel };

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // An information box the user acknowledges.
  virtual void Message(QWidget* parent, const QString& text) = 0;
  // A warning that does not hold up the program while it is shown (a MIDI device that failed, say,
  // while the song plays). By default a box of its own titled "MIDI devices".
  virtual void Notice(QWidget* parent, const QString& text);
  // A Yes/No question; true for Yes.
  virtual bool Question(QWidget* parent, const QString& text) = 0;
  // A warning with "Save" (Yes), "Discard" (No) and "Cancel"; by default the Yes/No question.
  virtual DialogAnswer YesNoCancel(QWidget* parent, const QString& text);
  // Filters are "Label (*.ext)" entries separated by ";;"; the second entry is preselected.
  // An empty result means cancelled. The dialog starts in `folder`, or where it was last.
  virtual QString OpenFileName(QWidget* parent, const QString& filters, const QString& suffix,
                               const QString& folder = QString()) = 0;
  // Asks before overwriting; `proposal` is the name the dialog starts with.
  virtual QString SaveFileName(QWidget* parent, const QString& filters, const QString& suffix,
                               const QString& proposal) = 0;
  // A modal dialog of the program's own (the options on one of its pages, say): `run` shows it and
  // says whether it was confirmed. By default it simply runs.
  virtual bool Confirm(const std::function<bool()>& run) { return run(); }
};

// QMessageBox and QFileDialog.
std::unique_ptr<UserDialogs> MakeQtDialogs();

}  // namespace varnel
