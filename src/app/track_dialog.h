// TTrackForm: the custom track dialog ("Add custom track"), asking for a controller number or an
// NRPN/RPN parameter as two 7-bit values, with their hexadecimal and note-name readings and the
// combined parameter. Created once by the main window and shown modally. UI thread only.
#pragma once

#include <QDialog>
#include <QSpinBox>

class QLabel;
class QPushButton;

namespace varnel {

// A spin box for 0..127 that lets any number be typed, so that the labels can call a typed 128
// "Incorrect value"; its value stays within 0..127 and is what OK uses.
class TrackValueBox : public QSpinBox {
  Q_OBJECT

 public:
  explicit TrackValueBox(QWidget* parent = nullptr);
  QString Text() const;  // what the edit field shows

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  int valueFromText(const QString& text) const override;
};

class TTrackForm : public QDialog {
  Q_OBJECT

 public:
  explicit TTrackForm(QWidget* parent = nullptr);

  // Sets the caption, shows or hides everything of value 2, presets both values and runs the
  // dialog. True for OK, with the spin boxes' values in first and second.
  bool Ask(const QString& caption, bool showSecond, int& first, int& second);
  // Prepares the dialog as Ask does, without running it.
  void Prepare(const QString& caption, bool showSecond, int first, int second);

  TrackValueBox* Value1;
  TrackValueBox* Value2;
  QLabel* Hex1;
  QLabel* Hex2;
  QLabel* Note2;
  QLabel* Combined;
  QLabel* CombinedHex;
  QPushButton* OkButton;
  QPushButton* CancelButton;

 private:
  void UpdateLabels();

  QList<QWidget*> second_;  // shown exactly when value 2 is
};

}  // namespace varnel
