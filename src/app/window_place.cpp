#include "app/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace varnel {

QRect OnScreenBounds(const QRect& bounds, const QRect& area, const QSize& minimum) {
  if (area.isEmpty()) return bounds;
  const int width = std::max(std::min(bounds.width(), area.width()), minimum.width());
  const int height = std::max(std::min(bounds.height(), area.height()), minimum.height());
  const int left = std::max(std::min(bounds.left(), area.right() + 1 - width), area.left());
  const int top = std::max(std::min(bounds.top(), area.bottom() + 1 - height), area.top());
  return {left, top, width, height};
}

QRect AvailableAreaFor(const QRect& bounds) {
  QRect best;
  int shown = 0;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect common = screen->geometry().intersected(bounds);
    const int size = common.isEmpty() ? 0 : common.width() * common.height();
    if (size > shown) {
      shown = size;
      best = screen->availableGeometry();
    }
  }
  return best;
}

bool KeepOnScreen(QWidget* window) {
  if (!window || !window->isWindow() || !window->isVisible() ||
      (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
    return false;
  const QRect frame = window->frameGeometry();
  QRect area = AvailableAreaFor(frame);
  if (area.isEmpty() && window->screen()) area = window->screen()->availableGeometry();
  if (area.isEmpty() || area.contains(frame)) return false;
  // The frame (title bar, borders) around the client area keeps its size.
  const QRect client = window->geometry();
  const QMargins decoration(client.left() - frame.left(), client.top() - frame.top(),
                            frame.right() - client.right(), frame.bottom() - client.bottom());
  const QSize least = window->minimumSize().grownBy(decoration);
  const QRect fitted = OnScreenBounds(frame, area, least);
  if (fitted == frame) return false;
  window->resize(fitted.size().shrunkBy(decoration));
  window->move(fitted.topLeft());
  return true;
}

}  // namespace varnel
