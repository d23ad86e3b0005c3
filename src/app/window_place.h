// Where a window may stand: a stored place, or a window that its own layout has grown, brought
// back onto the screen's available area. UI thread only.
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace varnel {

// `bounds` moved, and shrunk where it is larger, so that it lies within `area`; never below
// `minimum` (a window that cannot be smaller stays as small as it can, at the area's top left).
QRect OnScreenBounds(const QRect& bounds, const QRect& area, const QSize& minimum);

// The available area of the screen that shows most of `bounds`; empty when no screen shows any.
QRect AvailableAreaFor(const QRect& bounds);

// Brings a top-level window in the normal state onto the available area of its screen, frame
// included. Returns whether it moved or changed size.
bool KeepOnScreen(QWidget* window);

}  // namespace varnel
