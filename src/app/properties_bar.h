// The properties bar: labelled numeric fields with a spin button and a drop-down of preset values
// ("BPM", "Spd.", "Add.", "Ptn."/"Ord.", "Len."), the two key lists and the play counter. The bar
// only shows and edits numbers; the main window applies the change rules. UI thread only.
#pragma once

#include <QSpinBox>
#include <QStringList>
#include <QToolBar>
#include <QWidget>

class QComboBox;
class QLabel;
class QMenu;
class QToolButton;

namespace varnel {

// The number of a NumberField. A number outside the range can be typed in full ("300" in a field
// of 4..256), so the user sees what was typed; Return refuses it (the field is marked and keeps
// the text) instead of cutting it to a number that fits. Return with a number in range applies it,
// Escape brings the field's value back; both then announce `finished`.
class FieldSpinBox : public QSpinBox {
  Q_OBJECT

 public:
  explicit FieldSpinBox(QWidget* parent = nullptr);
  // The typed text is a number outside the range.
  bool OutOfRange() const;
  QValidator::State validate(QString& input, int& pos) const override;

 signals:
  void finished();
  void outOfRangeChanged(bool outOfRange);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void ShowRange();
  bool shown_ = false;
};

// A preset is "value" or "value|label" (the label is shown, the value applied). Two relative
// presets step by an octave: RelativeDown = current - 12, RelativeUp = current + 12.
class NumberField : public QWidget {
  Q_OBJECT

 public:
  static constexpr int RelativeDown = -1001;
  static constexpr int RelativeUp = -1002;

  NumberField(const QString& label, int minimum, int maximum, int value, QWidget* parent = nullptr);

  int Value() const;
  // As the user would set it: clamped to the range, `changed` is raised when the value moves.
  void SetValue(int value);
  // Display only: no `changed`.
  void ShowValue(int value);
  int Minimum() const;
  int Maximum() const;
  void SetMaximum(int maximum);  // display only, like ShowValue
  QString Label() const;
  void SetLabel(const QString& label);

  QStringList Presets() const { return presets_; }
  void SetPresets(const QStringList& presets);
  void AddPreset(const QString& preset);
  // The drop-down's item `index`, as if clicked; presets outside the range do nothing.
  void ChoosePreset(int index);

  QSpinBox* SpinBox() const { return spin_; }
  QToolButton* PresetButton() const { return button_; }
  // A number outside the range is typed: the field shows a red frame until it is mended.
  bool Refusing() const { return spin_->OutOfRange(); }

 signals:
  void changed(int value);
  // Return or Escape in the number: the keys can go back to where they came from.
  void finished();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void RebuildMenu();

  QLabel* label_;
  FieldSpinBox* spin_;
  QToolButton* button_;
  QMenu* menu_;
  QStringList presets_;
  bool quiet_ = false;
};

class TPropertiesBar : public QToolBar {
  Q_OBJECT

 public:
  explicit TPropertiesBar(QWidget* parent = nullptr);

  NumberField* Bpm;
  NumberField* Spd;
  NumberField* Add;
  NumberField* Ptn;  // relabelled "Ord." in song access mode
  NumberField* Len;
  QComboBox* KeyTone;
  QComboBox* KeyType;
  QLabel* PlayCounter;
};

}  // namespace varnel
