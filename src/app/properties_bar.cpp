#include "app/properties_bar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <algorithm>

namespace varnel {

namespace {

// The value of a preset; false when its text is no number.
bool PresetValue(const QString& preset, int& value) {
  bool ok = false;
  value = preset.section(QLatin1Char('|'), 0, 0).trimmed().toInt(&ok);
  return ok;
}

QString PresetCaption(const QString& preset) {
  const int bar = preset.indexOf(QLatin1Char('|'));
  return bar >= 0 ? preset.mid(bar + 1) : preset;
}

QStringList Numbers(std::initializer_list<int> values) {
  QStringList list;
  for (int v : values) list << QString::number(v);
  return list;
}

}  // namespace

NumberField::NumberField(const QString& label, int minimum, int maximum, int value, QWidget* parent)
    : QWidget(parent),
      label_(new QLabel(label, this)),
      spin_(new QSpinBox(this)),
      button_(new QToolButton(this)),
      menu_(new QMenu(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(2);
  layout->addWidget(label_);
  layout->addWidget(spin_);
  layout->addWidget(button_);
  spin_->setRange(minimum, maximum);
  spin_->setValue(value);
  // A typed number applies on Enter or when the field is left, not digit by digit: "Ptn." would
  // otherwise append patterns on the way to a two-digit number.
  spin_->setKeyboardTracking(false);
  button_->setArrowType(Qt::DownArrow);
  button_->setPopupMode(QToolButton::InstantPopup);
  button_->setMenu(menu_);
  button_->setAutoRaise(true);
  connect(spin_, &QSpinBox::valueChanged, this, [this](int v) {
    if (!quiet_) emit changed(v);
  });
}

int NumberField::Value() const { return spin_->value(); }

void NumberField::SetValue(int value) { spin_->setValue(value); }

void NumberField::ShowValue(int value) {
  quiet_ = true;
  spin_->setValue(value);
  quiet_ = false;
}

int NumberField::Minimum() const { return spin_->minimum(); }
int NumberField::Maximum() const { return spin_->maximum(); }

void NumberField::SetMaximum(int maximum) {
  quiet_ = true;
  spin_->setMaximum(std::max(maximum, spin_->minimum()));
  quiet_ = false;
}

QString NumberField::Label() const { return label_->text(); }
void NumberField::SetLabel(const QString& label) { label_->setText(label); }

void NumberField::SetPresets(const QStringList& presets) {
  presets_ = presets;
  RebuildMenu();
}

void NumberField::AddPreset(const QString& preset) {
  presets_ << preset;
  RebuildMenu();
}

void NumberField::ChoosePreset(int index) {
  int value = 0;
  if (index < 0 || index >= presets_.size() || !PresetValue(presets_[index], value)) return;
  if (value == RelativeDown || value == RelativeUp) {
    const int moved = Value() + (value == RelativeUp ? 12 : -12);
    SetValue(std::clamp(moved, Minimum(), Maximum()));
    return;
  }
  if (value < Minimum() || value > Maximum()) return;
  SetValue(value);
}

void NumberField::RebuildMenu() {
  menu_->clear();
  for (int i = 0; i < presets_.size(); ++i) {
    QAction* item = menu_->addAction(PresetCaption(presets_[i]));
    connect(item, &QAction::triggered, this, [this, i] { ChoosePreset(i); });
  }
}

TPropertiesBar::TPropertiesBar(QWidget* parent) : QToolBar(tr("Properties"), parent) {
  setObjectName(QStringLiteral("PropertiesBar"));
  Bpm = new NumberField(QStringLiteral("BPM"), 32, 255, 120, this);
  Bpm->SetPresets(Numbers({100, 110, 120, 130, 140, 150, 160, 170, 180}));
  Spd = new NumberField(QStringLiteral("Spd."), 1, 96, 4, this);
  Spd->SetPresets(Numbers({2, 4, 6, 8, 12, 16}));
  Add = new NumberField(QStringLiteral("Add."), 0, 64, 1, this);
  Add->SetPresets(Numbers({0, 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64}));
  Ptn = new NumberField(QStringLiteral("Ptn."), 0, 1, 0, this);
  Len = new NumberField(QStringLiteral("Len."), 4, 256, 64, this);
  Len->SetPresets(Numbers({16, 24, 32, 48, 64, 96, 128, 192, 256}));
  for (NumberField* field : {Bpm, Spd, Add, Ptn, Len}) addWidget(field);

  addSeparator();
  addWidget(new QLabel(QStringLiteral("Key "), this));
  KeyTone = new QComboBox(this);
  KeyTone->addItems({"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"});
  KeyType = new QComboBox(this);
  KeyType->addItems({"maj", "min"});
  addWidget(KeyTone);
  addWidget(KeyType);

  addSeparator();
  addWidget(new QLabel(QStringLiteral("Play: "), this));
  PlayCounter = new QLabel(QStringLiteral("00 00"), this);
  PlayCounter->setObjectName(QStringLiteral("PlayCounter"));
  // In a tool bar a label writes in the button text colour; the beat colours go to the window text.
  PlayCounter->setForegroundRole(QPalette::WindowText);
  PlayCounter->setBackgroundRole(QPalette::Window);
  PlayCounter->setContentsMargins(3, 0, 3, 0);
  QFont counterFont = PlayCounter->font();
  counterFont.setBold(true);
  counterFont.setStyleHint(QFont::Monospace);
  PlayCounter->setFont(counterFont);
  addWidget(PlayCounter);
}

}  // namespace varnel
