#include "app/properties_bar.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QToolTip>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <algorithm>

#include "editor/readable_colors.h"

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

FieldSpinBox::FieldSpinBox(QWidget* parent) : QSpinBox(parent) {
  // Every keystroke: the spin box's own signals wait for Return.
  connect(lineEdit(), &QLineEdit::textChanged, this, [this] { ShowRange(); });
}

bool FieldSpinBox::OutOfRange() const {
  bool number = false;
  const int typed = cleanText().toInt(&number);
  return number && (typed < minimum() || typed > maximum());
}

// Whole numbers are let through as typed; the range is applied by Return, not by the keys.
QValidator::State FieldSpinBox::validate(QString& input, int& pos) const {
  const QValidator::State state = QSpinBox::validate(input, pos);
  if (state != QValidator::Invalid) return state;
  static const QRegularExpression number(QStringLiteral("^\\s*-?\\d{1,6}\\s*$"));
  if (!number.match(input).hasMatch() || (input.trimmed().startsWith(QLatin1Char('-')) && minimum() >= 0)) return state;
  return QValidator::Intermediate;
}

void FieldSpinBox::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (OutOfRange()) {
        // Refused: the typed number stays, marked, with the range beside it.
        QToolTip::showText(mapToGlobal(QPoint(0, height())), toolTip(), this);
        event->accept();
        return;
      }
      QSpinBox::keyPressEvent(event);
      emit finished();
      return;
    case Qt::Key_Escape:
      if (event->modifiers() == Qt::NoModifier) {
        setValue(value());  // the text again as the value
        ShowRange();        // the spin box writes its text without announcing it
        emit finished();
        event->accept();
        return;
      }
      break;
    default:
      break;
  }
  QSpinBox::keyPressEvent(event);
}

// Leaving the field brings its value back, and with it the field's normal look.
void FieldSpinBox::focusOutEvent(QFocusEvent* event) {
  QSpinBox::focusOutEvent(event);
  ShowRange();
}

void FieldSpinBox::ShowRange() {
  const bool out = OutOfRange();
  setToolTip(out ? QStringLiteral("%1 to %2 only").arg(minimum()).arg(maximum()) : QString());
  if (out == shown_) return;
  shown_ = out;
  emit outOfRangeChanged(out);
}

NumberField::NumberField(const QString& label, int minimum, int maximum, int value, QWidget* parent)
    : QWidget(parent),
      label_(new QLabel(label, this)),
      spin_(new FieldSpinBox(this)),
      button_(new QToolButton(this)),
      menu_(new QMenu(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);  // room for the refusal's frame
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
  connect(spin_, &FieldSpinBox::finished, this, &NumberField::finished);
  connect(spin_, &FieldSpinBox::outOfRangeChanged, this, [this] { update(); });
}

// The refusal's sign: a red frame around the number, in the margin the layout leaves.
void NumberField::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (!Refusing()) return;
  QPainter painter(this);
  const QColor red = Readable(QColor(0xE0, 0, 0), palette().color(backgroundRole()), 3.0);
  painter.setPen(QPen(red, 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(spin_->geometry()).adjusted(-1, -1, 1, 1));
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
