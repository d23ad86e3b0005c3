// Pattern grid painting: a 256-track x 256-row pattern in a 1920 x 1080 grid.
//   full repaint: the whole grid (cells and scroll bars) rendered into a 1920 x 1080 image;
//     target < 8 ms
//   play-position update: ActiveRow set and the resulting repaint of the two header cells
//     processed through the window's backing store; target < 0.5 ms
// Also prints the time to set every text of the grid. Medians of many runs (the optional argument
// sets how many full repaints, default 200), with the process CPU time beside them: run it on an
// otherwise idle machine, as on a busy one the wall clock also counts waiting for a core. Runs on
// the offscreen platform unless QT_QPA_PLATFORM says otherwise; always exits 0.
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEvent>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "editor/my_grid.h"

using varnel::TMyGrid2;

namespace {

constexpr int Tracks = 256;
constexpr int Rows = 256;

// Process CPU time in ms: on a busy machine the wall clock also counts time spent waiting for a core.
double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Counts the viewport's paint events and the pixels they cover, so the update figure is known to
// include real painting.
class PaintCounter : public QObject {
 public:
  int events = 0;
  long long pixels = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++events;
      for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) pixels += 1LL * r.width() * r.height();
    }
    return false;
  }
};

QString NoteText(int value) {
  static const char* names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  QString name = QString::fromLatin1(names[value % 12]);
  if (name.size() == 1) name += QLatin1Char('-');
  return name + QString::number(value / 12);
}

// The texts of a full pattern, row by row: every fourth track a velocity track, notes on most rows.
std::vector<QString> PatternTexts(int variant) {
  std::vector<QString> texts;
  for (int c = 0; c <= Tracks; ++c)
    texts.push_back(c == 0 ? QString() : c % 4 == 1 ? QString::number((c - 1) / 4 + 1) : c % 4 == 2 ? QStringLiteral("V") : QString());
  for (int r = 1; r <= Rows; ++r) {
    texts.push_back(QStringLiteral("%1").arg(r - 1, 3, 10, QLatin1Char('0')));
    for (int c = 1; c <= Tracks; ++c) {
      const int v = (r * 7 + c * 13 + variant) % 131;
      if (c % 4 == 2)
        texts.push_back(v < 100 ? QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')) : QString());
      else
        texts.push_back(v < 110 ? NoteText(v) : (v < 120 ? QStringLiteral(" - ") : QStringLiteral("   ")));
    }
  }
  return texts;
}

void SetTexts(TMyGrid2& grid, const std::vector<QString>& texts) {
  size_t i = 0;
  for (int r = 0; r <= Rows; ++r)
    for (int c = 0; c <= Tracks; ++c) grid.SetCellText(c, r, texts[i++]);
}

void Report(const char* what, double ms, double cpuMs, double target) {
  std::printf("%-34s %8.3f ms (cpu %.3f ms)   target < %.1f ms   %s\n", what, ms, cpuMs, target,
              ms < target ? "PASS" : "FAIL");
  if (ms > 1.25 * cpuMs)
    std::printf("  (the wall clock is well above the CPU time: the machine is busy; rerun it idle)\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

  TMyGrid2 grid;
  QFont font = grid.font();
  font.setPixelSize(15);  // the pattern grid's font
  grid.setFont(font);
  const QFontMetrics fm(font);
  const int w = fm.horizontalAdvance(QStringLiteral("C#0")) + 10;
  const int h = fm.height() + 2;
  grid.resize(1920, 1080);
  grid.SetRowHighlight(4);
  grid.SetLoopMarking(true);
  grid.SetColCount(Tracks + 1);
  grid.SetRowCount(Rows + 1);
  grid.SetColWidth(0, w);
  for (int c = 1; c <= Tracks; ++c) {
    grid.SetColWidth(c, c % 4 == 2 ? w - 4 : w);
    grid.SetColumnGroup(c, (c - 1) / 4);
  }
  grid.SetColumnGroup(0, 0);
  for (int r = 0; r <= Rows; ++r) grid.SetRowHeight(r, h);
  grid.SetLoopRect({0, 9, 0, 24});

  // Setting every text of the pattern, alternating between two patterns so that texts change.
  const std::vector<QString> patterns[2] = {PatternTexts(0), PatternTexts(5)};
  QElapsedTimer clock;
  std::vector<double> fills;
  for (int i = 0; i < 11; ++i) {
    clock.start();
    SetTexts(grid, patterns[i % 2]);
    fills.push_back(clock.nsecsElapsed() / 1e6);
  }

  grid.show();
  QApplication::processEvents();
  grid.SetRow(40);
  grid.SetCol(20);
  grid.setFocus();
  QApplication::processEvents();

  // Full repaints into an image of the grid's size. As on screen, the window background under the
  // opaque cells is not painted.
  QImage image(grid.size(), QImage::Format_ARGB32_Premultiplied);
  for (int i = 0; i < 10; ++i) grid.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);  // warm the glyph cache
  std::vector<double> full, fullCpu;
  for (int i = 0; i < repeats; ++i) {
    const double cpu = CpuMs();
    clock.start();
    grid.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    full.push_back(clock.nsecsElapsed() / 1e6);
    fullCpu.push_back(CpuMs() - cpu);
  }

  // Play-position updates through the real repaint path (the offscreen backing store).
  PaintCounter counter;
  grid.viewport()->installEventFilter(&counter);
  const int shown = grid.VisibleRowCount();
  std::vector<double> updates, updatesCpu;
  for (int i = 0; i < 10 * repeats; ++i) {
    const double cpu = CpuMs();
    clock.start();
    grid.SetActiveRow(1 + i % shown);
    QApplication::processEvents();
    updates.push_back(clock.nsecsElapsed() / 1e6);
    updatesCpu.push_back(CpuMs() - cpu);
  }
  grid.viewport()->removeEventFilter(&counter);

  std::printf("grid %d x %d cells of %d x %d px in %d x %d, %d x %d cells shown\n", grid.ColCount(),
              grid.RowCount(), w, h, grid.width(), grid.height(), grid.VisibleColCount() + 1, shown + 1);
  std::printf("%-34s %8.3f ms (median of %zu)\n", "set all 66049 texts", Median(fills), fills.size());
  Report("full repaint (median)", Median(full), Median(fullCpu), 8.0);
  Report("play-position update (median)", Median(updates), Median(updatesCpu), 0.5);
  std::printf("  %d paint events for %zu updates, %.0f pixels each\n", counter.events, updates.size(),
              counter.events ? double(counter.pixels) / counter.events : 0.0);
  return 0;
}
