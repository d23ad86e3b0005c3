#include "windows/piano_keys.h"

#include <QHideEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace varnel {

const QColor TPianoKeys::InRangeWhite{0xFF, 0xFF, 0xFF};
const QColor TPianoKeys::OutRangeWhite{0xF2, 0xED, 0xE8};

namespace {

const QColor BlackKey{0, 0, 0};
const QColor BevelLight{0xFF, 0xFF, 0xFF};
const QColor BevelShadow{0x80, 0x80, 0x80};
const QColor BevelDark{0x40, 0x40, 0x40};
constexpr int LabelWidth = 34;

bool ValidNote(int note) { return note >= 0 && note < TPianoKeys::KeyCount; }

// A bevel of the given width along the inside of r: raised is light at the top left.
void DrawBevel(QPainter& painter, QRect r, int width, bool raised) {
  const QColor topLeft = raised ? BevelLight : BevelShadow;
  const QColor bottomRight = raised ? BevelShadow : BevelLight;
  for (int i = 0; i < width && r.width() > 2 && r.height() > 2; ++i) {
    painter.setPen(topLeft);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    r.adjust(1, 1, -1, -1);
  }
}

}  // namespace

TPianoKeys::TPianoKeys(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Panel1"));
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  background_ = palette().color(QPalette::Button);
  for (int n = 0; n < KeyCount; ++n) keys_[size_t(n)].color = IsBlack(n) ? BlackKey : OutRangeWhite;
  height_ = DesignHeight;
  pitch_ = DesignPitch;
  Layout();
  UpdateLabelsPos(DesignPitch);
}

bool TPianoKeys::IsBlack(int note) {
  switch (((note % 12) + 12) % 12) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
      return true;
    default:
      return false;
  }
}

void TPianoKeys::SetPanelsHeight(int h) {
  if (h <= 0 || h == height_) return;
  height_ = h;
  Layout();
}

void TPianoKeys::SetPanelsWidth(int w) {
  if (w <= 0 || w == pitch_) return;
  pitch_ = w;
  Layout();
}

void TPianoKeys::Layout() {
  const int w = pitch_;
  const int d = w < DesignPitch ? 0 : w * 2 / DesignPitch;
  int c = 0;
  for (int n = 0; n < KeyCount; ++n) {
    Key& key = keys_[size_t(n)];
    if (IsBlack(n)) {
      key.rect = QRect(c + w * 3 / 4 - w - d, 0, w * DesignBlackWidth / DesignPitch, height_ * 70 / DesignHeight);
    } else {
      key.rect = QRect(c, 0, w + 1, height_);
      c += w;
    }
  }
  const int wide = keys_[KeyCount - 1].rect.right() + 1;
  setFixedSize(wide, height_ + LabelStripHeight);
  update();
}

void TPianoKeys::UpdateLabelsPos(int p) {
  for (int i = 0; i < OctaveLabelCount; ++i) labels_[size_t(i)].left = p * 7 * (i + 1);
  update();
}

QRect TPianoKeys::KeyRect(int note) const { return ValidNote(note) ? keys_[size_t(note)].rect : QRect(); }

int TPianoKeys::KeyAt(QPoint point) const {
  for (int pass = 0; pass < 2; ++pass)
    for (int n = 0; n < KeyCount; ++n)
      if (IsBlack(n) == (pass == 0) && keys_[size_t(n)].rect.contains(point)) return n;
  return -1;
}

void TPianoKeys::PressKey(int note) {
  if (!ValidNote(note) || keys_[size_t(note)].pressed) return;
  keys_[size_t(note)].pressed = true;
  UpdateKey(note);
}

void TPianoKeys::ReleaseKey(int note) {
  if (!ValidNote(note) || !keys_[size_t(note)].pressed) return;
  keys_[size_t(note)].pressed = false;
  UpdateKey(note);
}

void TPianoKeys::ReleaseAllKeys() {
  for (int n = 0; n < KeyCount; ++n) ReleaseKey(n);
}

bool TPianoKeys::IsPressed(int note) const { return ValidNote(note) && keys_[size_t(note)].pressed; }

void TPianoKeys::SetCaption(int note, const QString& caption) {
  if (!ValidNote(note) || keys_[size_t(note)].caption == caption) return;
  keys_[size_t(note)].caption = caption;
  UpdateKey(note);
}

QString TPianoKeys::Caption(int note) const { return ValidNote(note) ? keys_[size_t(note)].caption : QString(); }

void TPianoKeys::ClearCaptions() {
  for (int n = 0; n < KeyCount; ++n) SetCaption(n, QString());
}

void TPianoKeys::SetWhiteRange(int first, int last) {
  for (int n = 0; n < KeyCount; ++n)
    if (!IsBlack(n)) keys_[size_t(n)].color = n >= first && n <= last ? InRangeWhite : OutRangeWhite;
  update();
}

QColor TPianoKeys::KeyColor(int note) const { return ValidNote(note) ? keys_[size_t(note)].color : QColor(); }

void TPianoKeys::SetOctaveLabel(int index, const QString& text, bool visible) {
  if (index < 0 || index >= OctaveLabelCount) return;
  labels_[size_t(index)].text = text;
  labels_[size_t(index)].visible = visible;
  update(OctaveLabelRect(index));
}

QString TPianoKeys::OctaveLabelText(int index) const {
  return index >= 0 && index < OctaveLabelCount ? labels_[size_t(index)].text : QString();
}

bool TPianoKeys::OctaveLabelVisible(int index) const {
  return index >= 0 && index < OctaveLabelCount && labels_[size_t(index)].visible;
}

QRect TPianoKeys::OctaveLabelRect(int index) const {
  if (index < 0 || index >= OctaveLabelCount) return {};
  return {labels_[size_t(index)].left, height_ + 2, LabelWidth, LabelStripHeight - 4};
}

QSize TPianoKeys::sizeHint() const { return size(); }

// A black key covers parts of its white neighbours: redraw the area and let the painter sort it.
void TPianoKeys::UpdateKey(int note) {
  QRect area = keys_[size_t(note)].rect;
  for (int n : {note - 1, note + 1})
    if (ValidNote(n)) area |= keys_[size_t(n)].rect;
  update(area);
}

void TPianoKeys::PaintKey(QPainter& painter, const Key& key, bool black) const {
  const QRect r = key.rect;
  QColor face = key.color;
  // Down keys are shaded as well as sunk, so that they show at a glance while playing.
  if (key.pressed) face = black ? QColor(0x50, 0x60, 0x78) : face.darker(125);
  painter.fillRect(r, face);
  if (key.pressed) {
    DrawBevel(painter, r, 2, false);
    DrawBevel(painter, r.adjusted(2, 2, -2, -2), 2, true);
  } else {
    painter.setPen(BevelDark);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    DrawBevel(painter, r.adjusted(1, 1, -1, -1), 1, false);
  }
  if (key.caption.isEmpty()) return;
  painter.setPen(black ? Qt::white : Qt::black);
  const int lineHeight = painter.fontMetrics().height();
  const QRect text(r.left(), r.bottom() - lineHeight - 3, r.width(), lineHeight);
  painter.drawText(text, Qt::AlignHCenter | Qt::AlignVCenter, key.caption);
}

void TPianoKeys::SetBackground(const QColor& color) {
  if (color == background_) return;
  background_ = color;
  update();
}

void TPianoKeys::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), background_);
  QFont captionFont = font();
  captionFont.setBold(true);
  captionFont.setPixelSize(std::clamp(pitch_ / 2, 7, 14));
  painter.setFont(captionFont);
  for (int pass = 0; pass < 2; ++pass)
    for (int n = 0; n < KeyCount; ++n) {
      const bool black = IsBlack(n);
      if (black != (pass == 1)) continue;
      if (keys_[size_t(n)].rect.intersects(event->rect())) PaintKey(painter, keys_[size_t(n)], black);
    }

  QFont labelFont = font();
  labelFont.setBold(true);
  labelFont.setPixelSize(11);
  painter.setFont(labelFont);
  for (int i = 0; i < OctaveLabelCount; ++i) {
    const OctaveLabel& label = labels_[size_t(i)];
    if (!label.visible) continue;
    const QRect r = OctaveLabelRect(i);
    painter.fillRect(r, Qt::white);
    painter.setPen(Qt::black);
    painter.drawText(r, Qt::AlignCenter, label.text);
  }
}

void TPianoKeys::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || mouseKey_ >= 0) {
    QWidget::mousePressEvent(event);
    return;
  }
  const int note = KeyAt(event->position().toPoint());
  if (note < 0) return;
  mouseKey_ = note;
  emit keyMouseDown(note);
}

void TPianoKeys::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || mouseKey_ < 0) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  const int note = mouseKey_;
  mouseKey_ = -1;
  emit keyMouseUp(note);
}

void TPianoKeys::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (mouseKey_ < 0) return;
  const int note = mouseKey_;
  mouseKey_ = -1;
  emit keyMouseUp(note);
}

}  // namespace varnel
