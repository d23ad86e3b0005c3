// TCustomTitleBar: the custom main menu. It takes the place of the window's title bar when the
// window is frameless: a menu toolbar (the window's menu bar over a gradient, the title on the free
// area and the minimise, maximise/restore and close buttons at the right) above a title panel.
// Dragging a free part moves the window (only while it is in the normal state), a double-click
// toggles maximised and normal, pressing at the window's edges resizes it. Where the platform cannot move or resize a
// window itself (offscreen), moving falls back to following the mouse and resizing does nothing.
// UI thread only.
#pragma once

#include <QColor>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <optional>

class QHBoxLayout;
class QLabel;
class QToolButton;

namespace varnel {

class TCustomTitleBar : public QWidget {
  Q_OBJECT

 public:
  explicit TCustomTitleBar(QWidget* window);

  // The menu bar goes in at the left; ReleaseMenuBar hands it back, parentless and as it was.
  void HoldMenuBar(QWidget* menuBar);
  QWidget* ReleaseMenuBar();
  QWidget* MenuBar() const { return menuBar_; }

  void SetTitle(const QString& title);
  QString Title() const;
  void SetMenuGradient(const QColor& top, const QColor& bottom);
  void SetTitleGradient(const QColor& top, const QColor& bottom);
  // The menu toolbar's text and button colours, and its font when given.
  void SetMenuLook(const QColor& text, const QColor& buttons, const std::optional<QFont>& font);
  void SetTitleTextColor(const QColor& color);
  // Right-clicking a caption button shows this menu (the recent files).
  void SetRecentMenu(QMenu* menu) { recentMenu_ = menu; }

  QColor MenuTop() const { return menuTop_; }
  QColor MenuBottom() const { return menuBottom_; }
  QColor TitleTop() const { return titleTop_; }
  QColor TitleBottom() const { return titleBottom_; }

  QToolButton* MinimizeButton;
  QToolButton* MaximizeButton;
  QToolButton* CloseButton;
  QWidget* PictureArea;  // the free part of the menu toolbar
  QLabel* Caption;       // the title on the picture area
  QWidget* TitlePanel;
  QLabel* TitleLabel;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ToggleMaximized();
  void ShowMaximizeState();
  bool DragPart(QObject* watched) const;
  // A press within the window's border: resized by the platform; false when not at an edge.
  bool ResizeAtEdge(QObject* watched, QEvent* event);
  void StyleMenuBar();

  QWidget* window_;
  QHBoxLayout* menuRow_;
  QPointer<QWidget> menuBar_;
  QString menuBarStyle_;  // the menu bar's own style sheet, given back on release
  QPointer<QMenu> recentMenu_;
  QColor menuTop_, menuBottom_, titleTop_, titleBottom_;
  QColor menuText_, menuButtons_;
  std::optional<QFont> menuFont_;  // the scheme's, for the menu bar while it is held
  // A drag: armed by a press on a free part, started once the mouse has moved far enough.
  bool armed_ = false;
  bool following_ = false;  // the platform could not move the window: it follows the mouse
  QPoint pressGlobal_;
  QPoint windowAtPress_;
};

}  // namespace varnel
