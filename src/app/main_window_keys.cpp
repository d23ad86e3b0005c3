#include "app/main_window_keys.h"

#include <QAction>
#include <QKeyEvent>

#include "app/main_window.h"
#include "app/properties_bar.h"

namespace varnel {

WindowKeyAction ClassifyWindowKey(int key, Qt::KeyboardModifiers modifiers) {
  const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
  const Qt::KeyboardModifiers held = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                                                  Qt::MetaModifier);
  const bool digit = key >= Qt::Key_0 && key <= Qt::Key_9;
  const int d = key - Qt::Key_0;
  if (keypad && digit) {
    if (held == Qt::NoModifier) return {WindowKeyAction::Step, d};
    if (held == Qt::AltModifier) return {WindowKeyAction::Step, 2 * d};
    if (held == (Qt::AltModifier | Qt::ControlModifier)) return {WindowKeyAction::Step, 4 * d};
    if (held == Qt::ControlModifier) return {WindowKeyAction::Pattern, d};
    return {};
  }
  if (keypad) return {};
  if (digit && held == Qt::ControlModifier) return {WindowKeyAction::Step, d};
  if (key >= Qt::Key_F1 && key <= Qt::Key_F8 && held == Qt::NoModifier) return {WindowKeyAction::Octave, key - Qt::Key_F1 + 1};
  return {};
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == this && event->type() == QEvent::LayoutRequest) ScheduleKeepOnScreen();
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (WindowKey(key->key(), key->modifiers())) {
      event->accept();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::WindowKey(int key, Qt::KeyboardModifiers modifiers) {
  const WindowKeyAction action = ClassifyWindowKey(key, modifiers);
  switch (action.kind) {
    case WindowKeyAction::Step:
      Properties()->Add->SetValue(action.value);
      return true;
    case WindowKeyAction::Octave:
      SetOctave(action.value);
      return true;
    case WindowKeyAction::Pattern:
      if (action.value <= Properties()->Ptn->Maximum()) Properties()->Ptn->SetValue(action.value);
      return true;
    case WindowKeyAction::None:
      break;
  }
  return false;
}

}  // namespace varnel
