// Text that can be read: the contrast of two colours as the web's accessibility guidelines measure
// it, and a text colour moved just far enough to reach a contrast against what it is drawn on.
// Used by the grids (their texts on every cell colour) and by the colour schemes.
#pragma once

#include <QColor>
#include <initializer_list>

namespace varnel {

// Normal-size text needs 4.5:1 against its background.
inline constexpr double MinimumTextContrast = 4.5;

double RelativeLuminance(const QColor& color);  // 0 black .. 1 white
double ContrastRatio(const QColor& a, const QColor& b);  // 1 .. 21, either order

// `text` when it already has `ratio` against every surface; otherwise the nearest colour that
// has: `text` mixed towards white (when it is lighter than the first surface) or black, or, where
// that cannot reach the ratio, a shade of the first surface on the other side, dark (or light)
// enough for 7:1 where it can be. Never fails: at worst black or white, whichever reads better.
QColor Readable(const QColor& text, std::initializer_list<QColor> surfaces, double ratio = MinimumTextContrast);
inline QColor Readable(const QColor& text, const QColor& surface, double ratio = MinimumTextContrast) {
  return Readable(text, {surface}, ratio);
}

}  // namespace varnel
