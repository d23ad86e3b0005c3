#include "app/channel_toggles.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>

#include "editing/channel_rules.h"

namespace varnel {

namespace {

const char* const ChannelProperty = "channel";

void Fill(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(role, color);
  widget->setPalette(palette);
}

}  // namespace

TChannelToggles::Colors TChannelToggles::DefaultSchemeColors() {
  return {QColor(0xB8, 0xB8, 0xB8), QColor(0xFF, 0xFF, 0xFF), QColor(0xBF, 0xCF, 0xFF),
          QPalette().color(QPalette::WindowText)};
}

TChannelToggles::TChannelToggles(QWidget* parent)
    : QWidget(parent), addButton_(new QToolButton(this)), colors_(DefaultSchemeColors()) {
  setObjectName(QStringLiteral("ChannelToggles"));
  addButton_->setText(QStringLiteral("=>"));
  addButton_->setToolTip(QStringLiteral("Add to Sequence Editor"));
  addButton_->setObjectName(QStringLiteral("AddToSequence"));
  connect(addButton_, &QToolButton::clicked, this, &TChannelToggles::addToSequenceClicked);
  UpdateTrackLabelsButton();
}

void TChannelToggles::AddTrackLabel() {
  const int index = Count();
  Toggle toggle{new QFrame(this), new QLabel(QString::number(index + 1), this), 1, false};
  toggle.square->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  toggle.square->setAutoFillBackground(true);
  toggle.square->setBackgroundRole(QPalette::Window);  // in a tool bar it would fill with the button colour
  toggle.label->setFont(QFont(QStringLiteral("Arial")));
  for (QWidget* part : {static_cast<QWidget*>(toggle.square), static_cast<QWidget*>(toggle.label)}) {
    part->setProperty(ChannelProperty, index);
    part->installEventFilter(this);
    part->show();
  }
  toggles_.push_back(toggle);
  Paint(toggle);
  Place(index);
  UpdateTrackLabelsButton();
}

void TChannelToggles::RemoveTrackLabel() {
  if (toggles_.empty()) return;
  delete toggles_.back().square;
  delete toggles_.back().label;
  toggles_.pop_back();
  UpdateTrackLabelsButton();
}

void TChannelToggles::SetCount(int count) {
  while (Count() < count) AddTrackLabel();
  while (Count() > std::max(count, 0)) RemoveTrackLabel();
}

void TChannelToggles::UpdateTrackLabels(int size) {
  size_ = size;
  for (int i = 0; i < Count(); ++i) Place(i);
  UpdateTrackLabelsButton();
}

void TChannelToggles::Place(int index) {
  const Toggle& t = toggles_[size_t(index)];
  const PixelRect square = ToggleSquare(size_, index);
  t.square->setGeometry(square.left, square.top, square.width, square.height);
  QFont font = t.label->font();
  font.setPointSize(ToggleLabelFontSize(size_));
  t.label->setFont(font);
  t.label->adjustSize();
  const int textWidth = t.label->fontMetrics().horizontalAdvance(t.label->text());
  t.label->move(ToggleLabelLeft(size_, index, textWidth), ToggleLabelTop(size_));
}

void TChannelToggles::UpdateTrackLabelsButton() {
  const PixelRect button = AddToSequenceButton(size_, Count());
  addButton_->setGeometry(button.left, button.top, button.width, button.height);
  // Room for the squares, their numbers and the button.
  int height = button.top + button.height;
  for (const Toggle& t : toggles_) height = std::max(height, t.label->geometry().bottom() + 1);
  full_ = QSize(button.Right(), height);
  setMinimumSize(std::min(full_.width(), 4 * size_), height);
  setMaximumSize(full_);
  updateGeometry();
}

void TChannelToggles::SetSchemeColors(const Colors& colors) {
  colors_ = colors;
  for (const Toggle& t : toggles_) Paint(t);
}

void TChannelToggles::Paint(const Toggle& t) const {
  Fill(t.square, QPalette::Window, colors_[size_t(t.colorIndex)]);
  Fill(t.label, QPalette::WindowText, t.exempt ? ExemptColor() : colors_[3]);
}

void TChannelToggles::SetColorIndex(int channel, int index) {
  if (channel < 0 || channel >= Count() || index < 0 || index > 2) return;
  Toggle& t = toggles_[size_t(channel)];
  if (t.colorIndex == index) return;
  t.colorIndex = index;
  Fill(t.square, QPalette::Window, colors_[size_t(index)]);
}

int TChannelToggles::ColorIndex(int channel) const {
  return channel >= 0 && channel < Count() ? toggles_[size_t(channel)].colorIndex : -1;
}

void TChannelToggles::SetExempt(int channel, bool exempt) {
  if (channel < 0 || channel >= Count()) return;
  Toggle& t = toggles_[size_t(channel)];
  t.exempt = exempt;
  Fill(t.label, QPalette::WindowText, exempt ? ExemptColor() : colors_[3]);
}

void TChannelToggles::ChannelDraw(int channel, int state, bool on) {
  if (on) SetColorIndex(channel, state == 1 ? 2 : 1);
}

QFrame* TChannelToggles::Square(int channel) const {
  return channel >= 0 && channel < Count() ? toggles_[size_t(channel)].square : nullptr;
}

QLabel* TChannelToggles::Label(int channel) const {
  return channel >= 0 && channel < Count() ? toggles_[size_t(channel)].label : nullptr;
}

// A click on the number counts as a click on its square.
bool TChannelToggles::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    const QVariant channel = watched->property(ChannelProperty);
    if (channel.isValid()) {
      emit toggleClicked(channel.toInt(), static_cast<QMouseEvent*>(event)->button());
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace varnel
