// Prints where the main window puts what the real-window tests click, in window coordinates, as
// the program lays it out on this screen with these settings: "bpm X Y" (the BPM field) and
// "cell X Y" (the pattern grid's first cell). The window is left without closing, so the settings
// stay as they were.
#include <QApplication>
#include <QSpinBox>
#include <cstdio>

#include "app/main_window.h"
#include "app/properties_bar.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/recording_output.h"
#include "midi/row_clock.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnel"));
  QApplication::setOrganizationName(QStringLiteral("Orvalis"));
  varnel::RecordingBackend backend;
  varnel::ManualRowClock clock;
  varnel::TMainForm window(backend, clock);
  window.show();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  const QSpinBox* bpm = window.Properties()->Bpm->SpinBox();
  const QPoint field = bpm->mapTo(&window, bpm->rect().center());
  varnel::TMyGrid2* grid = window.Frame()->Grid1();
  const QPoint cell = grid->viewport()->mapTo(&window, grid->CellRect(1, 1).center());
  std::printf("bpm %d %d\ncell %d %d\n", field.x(), field.y(), cell.x(), cell.y());
  return 0;
}
