#include "app/channel_toggles.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>

#include "editing/channel_rules.h"
#include "editor/readable_colors.h"

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
    : QWidget(parent),
      addButton_(new QToolButton(this)),
      colors_(DefaultSchemeColors()),
      exempt_(Readable(QColor(255, 0, 0), palette().color(QPalette::Button))) {
  setObjectName(QStringLiteral("ChannelToggles"));
  addButton_->setText(QStringLiteral("=>"));
  addButton_->setToolTip(QStringLiteral("Add to Sequence Editor"));
  addButton_->setObjectName(QStringLiteral("AddToSequence"));
  connect(addButton_, &QToolButton::clicked, this, &TChannelToggles::addToSequenceClicked);
  Relayout();
}

void TChannelToggles::AddTrackLabel() {
  const int index = Count();
  Toggle toggle{new QFrame(this), new QLabel(QString::number(index + 1), this), 1, false};
  toggle.square->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  toggle.square->setAutoFillBackground(true);
  toggle.square->setBackgroundRole(QPalette::Window);  // in a tool bar it would fill with the button colour
  toggle.label->setFont(LabelFont(size_));
  // Inside a tool bar a label would write in the button text colour, which the scheme and the red
  // of an exempt channel do not set.
  toggle.label->setForegroundRole(QPalette::WindowText);
  for (QWidget* part : {static_cast<QWidget*>(toggle.square), static_cast<QWidget*>(toggle.label)}) {
    part->setProperty(ChannelProperty, index);
    part->installEventFilter(this);
    part->show();
  }
  toggles_.push_back(toggle);
  Paint(toggle);
  placed_ = -1;
  Relayout();
  if (index == current_) SetCurrent(index);
}

void TChannelToggles::RemoveTrackLabel() {
  if (toggles_.empty()) return;
  delete toggles_.back().square;
  delete toggles_.back().label;
  toggles_.pop_back();
  placed_ = -1;
  Relayout();
}

void TChannelToggles::SetCount(int count) {
  while (Count() < count) AddTrackLabel();
  while (Count() > std::max(count, 0)) RemoveTrackLabel();
}

void TChannelToggles::UpdateTrackLabels(int size) {
  size_ = size;
  placed_ = -1;
  Relayout();
}

// Toggle i sits in line i / perRow_, at place i % perRow_ of that line; the lines are as high as
// a square with its number.
void TChannelToggles::Place(int index) {
  const Toggle& t = toggles_[size_t(index)];
  const int place = index % perRow_, top = index / perRow_ * lineHeight_;
  const PixelRect square = ToggleSquare(size_, place);
  t.square->setGeometry(square.left, square.top + top, square.width, square.height);
  QFont font = t.label->font();
  font.setPointSize(ToggleLabelFontSize(size_));
  t.label->setFont(font);
  t.label->adjustSize();
  const int textWidth = t.label->fontMetrics().horizontalAdvance(t.label->text());
  // The numbers 1 to 9 sit one pixel right of centre: counted by the channel, not the place.
  const int left = ToggleLabelLeft(size_, index, textWidth) - (index - place) * size_;
  t.label->move(left, ToggleLabelTop(size_) + top);
}

// A square with its number under it; the numbers as high as their labels are (a bold current one
// included).
int TChannelToggles::LineHeight() const {
  int label = QFontMetrics(LabelFont(size_)).height();
  for (const Toggle& t : toggles_) label = std::max(label, t.label->height());
  return std::max(size_, ToggleLabelTop(size_) + label);
}

QFont TChannelToggles::LabelFont(int size) {
  QFont font(QStringLiteral("Arial"));
  if (!QFontDatabase::hasFamily(font.family())) font = QFont();
  font.setPointSize(ToggleLabelFontSize(size));
  return font;
}

// How many toggles fit beside each other in `width`, the "=>" button kept at the right.
int TChannelToggles::PerRow(int width) const {
  const PixelRect button = AddToSequenceButton(size_, 0);
  return std::clamp((width - button.Right()) / std::max(size_, 1), 1, std::max(Count(), 1));
}

void TChannelToggles::UpdateTrackLabelsButton() {
  const int lines = (Count() + perRow_ - 1) / std::max(perRow_, 1);
  const PixelRect button = AddToSequenceButton(size_, std::min(perRow_, Count()));
  addButton_->setGeometry(button.left, button.top, button.width, button.height);
  // One line holds every toggle and the button; a narrow bar wraps them into more lines.
  const PixelRect full = AddToSequenceButton(size_, Count());
  const int height = std::max(button.top + button.height, std::max(lines, 1) * lineHeight_);
  full_ = QSize(full.Right(), height);
  setMinimumSize(std::min(full_.width(), AddToSequenceButton(size_, 4).Right()), height);
  setMaximumSize(full_.width(), height);
  updateGeometry();
}

void TChannelToggles::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

void TChannelToggles::Relayout() {
  // Before the bar has given it a width, everything goes on one line.
  const int perRow = width() > 0 ? PerRow(width()) : std::max(Count(), 1);
  if (perRow == perRow_ && placed_ == Count()) return;
  perRow_ = perRow;
  placed_ = Count();
  for (int i = 0; i < Count(); ++i) Place(i);  // the labels take their sizes here
  lineHeight_ = LineHeight();
  for (int i = perRow_; i < Count(); ++i) Place(i);  // the lines below by the labels' height
  UpdateTrackLabelsButton();
}

void TChannelToggles::SetSchemeColors(const Colors& colors, const QColor& exempt) {
  colors_ = colors;
  exempt_ = exempt;
  for (const Toggle& t : toggles_) Paint(t);
}

void TChannelToggles::Paint(const Toggle& t) const {
  Fill(t.square, QPalette::Window, colors_[size_t(t.colorIndex)]);
  Fill(t.label, QPalette::WindowText, t.exempt ? exempt_ : colors_[3]);
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
  Fill(t.label, QPalette::WindowText, exempt ? exempt_ : colors_[3]);
}

void TChannelToggles::SetCurrent(int channel) {
  const int previous = current_;
  current_ = channel;
  for (int c : {previous, channel}) {
    if (c < 0 || c >= Count()) continue;
    QLabel* label = toggles_[size_t(c)].label;
    QFont font = label->font();
    font.setBold(c == current_);
    font.setUnderline(c == current_);
    label->setFont(font);
    Place(c);
  }
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
