#include "windows/keyboard_layout_view.h"

#include <QPainter>

namespace varnel {

namespace {

constexpr int Unit = 44;  // one key's width and height in pixels
constexpr int Gap = 3;

struct KeyCap {
  int vk;          // 0: a key that is drawn only to place the others
  const char* cap;
  double width;    // in key widths
};

// The four rows of a US keyboard that the layouts use, left to right.
const KeyCap Row0[] = {{Vk::Oem3, "`", 1}, {'1', "1", 1}, {'2', "2", 1}, {'3', "3", 1}, {'4', "4", 1},
                       {'5', "5", 1},      {'6', "6", 1}, {'7', "7", 1}, {'8', "8", 1}, {'9', "9", 1},
                       {'0', "0", 1},      {Vk::OemMinus, "-", 1}, {Vk::OemPlus, "=", 1}, {Vk::Back, "Backspace", 2}};
const KeyCap Row1[] = {{Vk::Tab, "Tab", 1.5}, {'Q', "Q", 1}, {'W', "W", 1}, {'E', "E", 1}, {'R', "R", 1},
                       {'T', "T", 1},         {'Y', "Y", 1}, {'U', "U", 1}, {'I', "I", 1}, {'O', "O", 1},
                       {'P', "P", 1},         {Vk::Oem4, "[", 1}, {Vk::Oem6, "]", 1}, {Vk::Oem5, "\\", 1.5}};
const KeyCap Row2[] = {{Vk::Capital, "Caps", 1.75}, {'A', "A", 1}, {'S', "S", 1}, {'D', "D", 1}, {'F', "F", 1},
                       {'G', "G", 1},               {'H', "H", 1}, {'J', "J", 1}, {'K', "K", 1}, {'L', "L", 1},
                       {Vk::Oem1, ";", 1},          {Vk::Oem7, "'", 1}, {Vk::Return, "Enter", 2.25}};
const KeyCap Row3[] = {{Vk::Shift, "Shift", 2.25}, {'Z', "Z", 1}, {'X', "X", 1}, {'C', "C", 1}, {'V', "V", 1},
                       {'B', "B", 1},              {'N', "N", 1}, {'M', "M", 1}, {Vk::OemComma, ",", 1},
                       {Vk::OemPeriod, ".", 1},    {Vk::Oem2, "/", 1}, {Vk::Shift, "Shift", 2.75}};

struct RowRef {
  const KeyCap* keys;
  int count;
};
const RowRef Rows[] = {{Row0, int(std::size(Row0))}, {Row1, int(std::size(Row1))},
                       {Row2, int(std::size(Row2))}, {Row3, int(std::size(Row3))}};

const char* const NoteNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

bool IsBlack(int semitone) {
  switch (semitone % 12) {
    case 1: case 3: case 6: case 8: case 10: return true;
    default: return false;
  }
}

// One tint per octave band, light for white semitones and dark for black ones.
QColor KeyColour(int offset) {
  static const int hues[] = {210, 130, 40, 300, 0};
  const int hue = hues[std::min(offset / 12, 4)];
  return IsBlack(offset) ? QColor::fromHsv(hue, 150, 90) : QColor::fromHsv(hue, 50, 250);
}

}  // namespace

TKeyboardLayoutView::TKeyboardLayoutView(KeyboardMode mode, QWidget* parent) : QWidget(parent), mode_(mode) {
  setMinimumSize(LayoutSize());
}

QSize TKeyboardLayoutView::LayoutSize() { return QSize(15 * (Unit + Gap) + Gap, 4 * (Unit + Gap) + Gap); }

QString TKeyboardLayoutView::NoteLabel(int vk, KeyboardMode mode) {
  const int offset = NoteKeyOffset(vk, mode);
  if (offset < 0) return {};
  return QString::fromLatin1(NoteNames[offset % 12]) + QString(offset / 12, QLatin1Char('\''));
}

QImage TKeyboardLayoutView::Image(KeyboardMode mode) {
  QImage image(LayoutSize(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  Paint(painter, mode);
  return image;
}

void TKeyboardLayoutView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  Paint(painter, mode_);
}

void TKeyboardLayoutView::Paint(QPainter& painter, KeyboardMode mode) {
  painter.setRenderHint(QPainter::Antialiasing);
  QFont capFont = painter.font();
  capFont.setPixelSize(12);
  QFont noteFont = capFont;
  noteFont.setPixelSize(13);
  noteFont.setBold(true);
  int y = Gap;
  for (const RowRef& row : Rows) {
    double x = Gap;
    for (int i = 0; i < row.count; ++i) {
      const KeyCap& key = row.keys[i];
      const QRectF box(x, y, key.width * Unit + (key.width - 1) * Gap, Unit);
      x += box.width() + Gap;
      const int offset = NoteKeyOffset(key.vk, mode);
      const bool noteOff = key.vk == Vk::Capital;
      QColor fill = offset >= 0 ? KeyColour(offset) : noteOff ? QColor(255, 200, 200) : QColor(225, 225, 225);
      const QColor ink = offset >= 0 && IsBlack(offset) ? Qt::white : Qt::black;
      painter.setPen(QColor(110, 110, 110));
      painter.setBrush(fill);
      painter.drawRoundedRect(box, 4, 4);
      painter.setPen(offset >= 0 || noteOff ? ink : QColor(120, 120, 120));
      painter.setFont(capFont);
      painter.drawText(box.adjusted(4, 2, -3, -2), Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(key.cap));
      painter.setFont(noteFont);
      if (offset >= 0) {
        painter.drawText(box.adjusted(2, 2, -2, -3), Qt::AlignHCenter | Qt::AlignBottom, NoteLabel(key.vk, mode));
      } else if (noteOff) {
        painter.drawText(box.adjusted(2, 2, -2, -3), Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("off"));
      }
    }
    y += Unit + Gap;
  }
}

}  // namespace varnel
