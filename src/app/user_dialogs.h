// The message boxes, questions and file dialogs of the main window, behind one small interface so
// tests can answer them without a user. UI thread only.
#pragma once

#include <QString>
#include <memory>

class QWidget;

namespace varnel {

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // An information box the user acknowledges.
  virtual void Message(QWidget* parent, const QString& text) = 0;
  // A Yes/No question; true for Yes.
  virtual bool Question(QWidget* parent, const QString& text) = 0;
  // Filters are "Label (*.ext)" entries separated by ";;"; the second entry is preselected.
  // An empty result means cancelled.
  virtual QString OpenFileName(QWidget* parent, const QString& filters, const QString& suffix) = 0;
  // Asks before overwriting; `proposal` is the name the dialog starts with.
  virtual QString SaveFileName(QWidget* parent, const QString& filters, const QString& suffix,
                               const QString& proposal) = 0;
};

// QMessageBox and QFileDialog.
std::unique_ptr<UserDialogs> MakeQtDialogs();

}  // namespace varnel
