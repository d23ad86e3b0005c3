// TFillForm: the fill dialog ("Fill"). OK checks the fields, hands them to the main window, which
// fills the pattern grid's selection, and closes; a "Count" that is no whole number, or random
// values with To below From, are refused with a message and the dialog stays open.
// UI thread only.
#pragma once

#include <QDialog>
#include <functional>

#include "editing/fill_curve.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

namespace varnel {

class UserDialogs;

class TFillForm : public QDialog {
  Q_OBJECT

 public:
  explicit TFillForm(UserDialogs& dialogs, QWidget* parent = nullptr);

  // The fields as settings; false with the refusal in `problem`.
  bool ReadSettings(FillSettings& settings, QString& problem) const;

  // Runs the fill when OK is accepted.
  std::function<void(const FillSettings&)> OnFill;

  QSpinBox* From;
  QSpinBox* To;
  QCheckBox* PingPong;
  QComboBox* Count;
  QComboBox* Method;
  QCheckBox* NotOverwrite;
  QCheckBox* UseRandom;
  QPushButton* OkButton;
  QPushButton* CancelButton;

 public slots:
  void accept() override;

 private:
  UserDialogs& dialogs_;
};

}  // namespace varnel
