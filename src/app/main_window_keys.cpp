#include "app/main_window_keys.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QKeyEvent>

#include "app/main_window.h"
#include "app/main_window_menus.h"
#include "app/properties_bar.h"
#include "editor/editor_frame.h"

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
  if (key == Qt::Key_F10 && held == Qt::NoModifier) return {WindowKeyAction::Menu, 0};
  return {};
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == this && event->type() == QEvent::LayoutRequest) ScheduleKeepOnScreen();
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (WindowKey(key->key(), key->modifiers()) || ListKey(static_cast<QWidget*>(watched), key)) {
      event->accept();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// Return and Escape on a list of the bars or panels (key, MIDI channel, program, template preset)
// give the keys back to the editor, as they do in a number field.
bool TMainForm::ListKey(QWidget* widget, const QKeyEvent* key) {
  const bool done = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape;
  if (!done || key->modifiers() & ~Qt::KeypadModifier) return false;
  auto* list = qobject_cast<QComboBox*>(widget);
  if (!list || list->isEditable() || frame_->isAncestorOf(list)) return false;
  FocusEditor();
  return true;
}

void TMainForm::FocusEditor() { frame_->setFocus(Qt::ShortcutFocusReason); }

// F10 opens the first menu, on the menu bar or on the custom title bar that holds it.
void TMainForm::OpenFirstMenu() {
  QMenuBar* bar = commands_->MenuBar;
  if (!bar || !bar->isVisible() || commands_->TopMenus.isEmpty()) return;
  bar->setFocus(Qt::ShortcutFocusReason);
  bar->setActiveAction(commands_->TopMenus.first()->menuAction());
}

bool TMainForm::WindowKey(int key, Qt::KeyboardModifiers modifiers) {
  const WindowKeyAction action = ClassifyWindowKey(key, modifiers);
  switch (action.kind) {
    case WindowKeyAction::Menu:
      OpenFirstMenu();
      return true;
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
