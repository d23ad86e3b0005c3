#include "app/track_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "editing/channel_rules.h"

namespace varnel {

TrackValueBox::TrackValueBox(QWidget* parent) : QSpinBox(parent) {
  setRange(0, 127);
  setKeyboardTracking(true);
}

QString TrackValueBox::Text() const { return lineEdit()->text(); }

// Digits only, but any number of them: a typed 128 stays visible and is called incorrect.
QValidator::State TrackValueBox::validate(QString& input, int&) const {
  if (input.isEmpty()) return QValidator::Intermediate;
  for (const QChar ch : input)
    if (!ch.isDigit()) return QValidator::Invalid;
  return input.size() <= 5 ? QValidator::Acceptable : QValidator::Invalid;
}

int TrackValueBox::valueFromText(const QString& text) const { return std::clamp(text.toInt(), 0, 127); }

TTrackForm::TTrackForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Add custom track"));
  setObjectName(QStringLiteral("TrackForm"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  layout->addLayout(grid);

  Value1 = new TrackValueBox(this);
  Value2 = new TrackValueBox(this);
  Hex1 = new QLabel(this);
  Hex2 = new QLabel(this);
  Note2 = new QLabel(this);
  Combined = new QLabel(this);
  CombinedHex = new QLabel(this);
  Value1->setObjectName(QStringLiteral("Value1"));
  Value2->setObjectName(QStringLiteral("Value2"));

  auto* label1 = new QLabel(QStringLiteral("Value 1 (MSB, 0..127)"), this);
  auto* label2 = new QLabel(QStringLiteral("Value 2 (LSB, 0..127)"), this);
  auto* combinedLabel = new QLabel(QStringLiteral("Combined value:"), this);
  grid->addWidget(label1, 0, 0);
  grid->addWidget(Value1, 0, 1);
  grid->addWidget(Hex1, 0, 2);
  grid->addWidget(label2, 1, 0);
  grid->addWidget(Value2, 1, 1);
  grid->addWidget(Hex2, 1, 2);
  grid->addWidget(Note2, 1, 3);
  grid->addWidget(combinedLabel, 2, 0);
  grid->addWidget(Combined, 2, 1);
  grid->addWidget(CombinedHex, 2, 2);
  second_ = {label2, Value2, Hex2, Note2, combinedLabel, Combined, CombinedHex};

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OkButton = new QPushButton(QStringLiteral("OK"), this);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  OkButton->setDefault(true);
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  for (TrackValueBox* box : {Value1, Value2}) {
    connect(box, &QSpinBox::textChanged, this, &TTrackForm::UpdateLabels);
    connect(box, &QSpinBox::valueChanged, this, &TTrackForm::UpdateLabels);
  }
  UpdateLabels();
}

void TTrackForm::UpdateLabels() {
  const int first = TrackValueOf(Value1->Text().toStdString());
  const int second = TrackValueOf(Value2->Text().toStdString());
  Hex1->setText(QString::fromStdString(TrackValueHexText(first)));
  Hex2->setText(QString::fromStdString(TrackValueHexText(second)));
  Note2->setText(QString::fromStdString(TrackValueNoteText(second)));
  Combined->setText(QString::fromStdString(CombinedValueText(first, second)));
  CombinedHex->setText(QString::fromStdString(CombinedHexText(first, second)));
}

void TTrackForm::Prepare(const QString& caption, bool showSecond, int first, int second) {
  setWindowTitle(caption);
  for (QWidget* w : second_) w->setVisible(showSecond);
  Value1->setValue(std::clamp(first, 0, 127));
  Value2->setValue(std::clamp(second, 0, 127));
  UpdateLabels();
  Value1->setFocus();
  Value1->selectAll();
}

bool TTrackForm::Ask(const QString& caption, bool showSecond, int& first, int& second) {
  Prepare(caption, showSecond, first, second);
  if (exec() != QDialog::Accepted) return false;
  // A typed number the box has not taken yet (no Enter, no focus change) counts as well.
  Value1->interpretText();
  Value2->interpretText();
  first = Value1->value();
  second = Value2->value();
  return true;
}

}  // namespace varnel
