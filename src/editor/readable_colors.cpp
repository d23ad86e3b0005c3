#include "editor/readable_colors.h"

#include <algorithm>
#include <cmath>

namespace varnel {

namespace {

double Linear(int component) {
  const double c = component / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

QColor Mix(const QColor& from, const QColor& to, double t) {
  const auto part = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
  return QColor(part(from.red(), to.red()), part(from.green(), to.green()), part(from.blue(), to.blue()));
}

double WorstContrast(const QColor& text, std::initializer_list<QColor> surfaces) {
  double worst = 21;
  for (const QColor& s : surfaces) worst = std::min(worst, ContrastRatio(text, s));
  return worst;
}

}  // namespace

double RelativeLuminance(const QColor& color) {
  const QColor c = color.toRgb();
  return 0.2126 * Linear(c.red()) + 0.7152 * Linear(c.green()) + 0.0722 * Linear(c.blue());
}

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Readable(const QColor& text, std::initializer_list<QColor> surfaces, double ratio) {
  if (surfaces.size() == 0 || WorstContrast(text, surfaces) >= ratio) return text;
  const QColor surface = *surfaces.begin();
  const QColor white(255, 255, 255), black(0, 0, 0);
  const bool lighter = RelativeLuminance(text) >= RelativeLuminance(surface);
  constexpr int Steps = 50;
  for (int step = 1; step <= Steps; ++step) {
    const QColor moved = Mix(text, lighter ? white : black, double(step) / Steps);
    if (WorstContrast(moved, surfaces) >= ratio) return moved;
  }
  // The text has to change sides: no trace of its colour is left, so it takes a clear shade of
  // the surface's own hue rather than one just past the limit.
  const double clear = std::max(ratio, 7.0);
  for (double wanted : {clear, ratio})
    for (int step = 1; step <= Steps; ++step) {
      const QColor shade = Mix(surface, lighter ? black : white, double(step) / Steps);
      if (WorstContrast(shade, surfaces) >= wanted) return shade;
    }
  return WorstContrast(white, surfaces) >= WorstContrast(black, surfaces) ? white : black;
}

}  // namespace varnel
