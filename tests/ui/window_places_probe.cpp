// Prints where the main window puts what the real-window tests click, in window coordinates, as
// the program lays it out on this screen with these settings: "bpm X Y", "add X Y" and "len X Y"
// (the BPM, "Add." and "Len." fields) and "cell X Y" (the pattern grid's first cell). Then whether
// the window and every panel fit: "window W H", one "panel NAME X Y W H" line per panel shown, and
// a "fault ..." line for a window leaving the screen, a panel cut by the window's edge, two panels
// over each other, or a bar whose buttons went into its extension menu. The window is left without
// closing, so the settings stay as they were.
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <cstdio>

#include "app/channel_toggles.h"
#include "app/custom_title_bar.h"
#include "app/main_window.h"
#include "app/midi_props_frame.h"
#include "app/properties_bar.h"
#include "app/template_frame.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/recording_output.h"
#include "midi/row_clock.h"
#include "windows/piano_form.h"

namespace {

QString Name(const QWidget* panel) {
  return panel->objectName().isEmpty() ? QString::fromLatin1(panel->metaObject()->className()) : panel->objectName();
}

void ReportPanels(varnel::TMainForm& window) {
  QList<QWidget*> panels{window.Frame(), window.MidiProps(), window.AddFrame(), window.Piano(),
                         window.statusBar(), window.Toggles(), window.TitleBar()};
  for (QToolBar* bar : window.findChildren<QToolBar*>()) panels << bar;
  panels.removeAll(nullptr);
  QList<QWidget*> shown;
  for (QWidget* panel : panels)
    if (panel->isVisible()) shown << panel;

  std::printf("window %d %d\n", window.width(), window.height());
  const QRect screen = window.screen()->availableGeometry();
  if (!screen.contains(window.frameGeometry()))
    std::printf("fault the window (%d,%d %dx%d) leaves the screen (%dx%d)\n", window.frameGeometry().x(),
                window.frameGeometry().y(), window.frameGeometry().width(), window.frameGeometry().height(),
                screen.width(), screen.height());
  const auto placed = [&window](const QWidget* w) { return QRect(w->mapTo(&window, QPoint(0, 0)), w->size()); };
  for (const QWidget* panel : shown) {
    const QRect at = placed(panel);
    const QByteArray name = Name(panel).toUtf8();
    std::printf("panel %s %d %d %d %d\n", name.constData(), at.x(), at.y(), at.width(), at.height());
    if (at.isEmpty() || !window.rect().contains(at)) std::printf("fault %s is cut by the window's edge\n", name.constData());
    if (const auto* bar = qobject_cast<const QToolBar*>(panel)) {
      const auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
      if (more && more->isVisible()) std::printf("fault %s shows only part of its buttons\n", name.constData());
    }
  }
  for (int a = 0; a < shown.size(); ++a)
    for (int b = a + 1; b < shown.size(); ++b) {
      if (shown[a]->isAncestorOf(shown[b]) || shown[b]->isAncestorOf(shown[a])) continue;
      if (placed(shown[a]).intersects(placed(shown[b])))
        std::printf("fault %s and %s overlap\n", Name(shown[a]).toUtf8().constData(), Name(shown[b]).toUtf8().constData());
    }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnel"));
  QApplication::setOrganizationName(QStringLiteral("Orvalis"));
  varnel::RecordingBackend backend;
  varnel::ManualRowClock clock;
  varnel::TMainForm window(backend, clock);
  window.show();
  // As long as the real window gets before the tests look: bars move to new lines, the window
  // comes back onto the screen.
  QElapsedTimer settling;
  settling.start();
  while (settling.elapsed() < 1500) QApplication::processEvents(QEventLoop::AllEvents, 50);

  const QSpinBox* bpm = window.Properties()->Bpm->SpinBox();
  const QPoint field = bpm->mapTo(&window, bpm->rect().center());
  varnel::TMyGrid2* grid = window.Frame()->Grid1();
  const QPoint cell = grid->viewport()->mapTo(&window, grid->CellRect(1, 1).center());
  std::printf("bpm %d %d\ncell %d %d\n", field.x(), field.y(), cell.x(), cell.y());
  const auto* bar = window.Properties();
  for (const auto& [name, number] : {std::pair{"add", bar->Add}, std::pair{"len", bar->Len}}) {
    const QSpinBox* spin = number->SpinBox();
    const QPoint at = spin->mapTo(&window, spin->rect().center());
    std::printf("%s %d %d\n", name, at.x(), at.y());
  }
  ReportPanels(window);
  return 0;
}
