#include "app/custom_title_bar.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "app/color_schemes.h"

namespace varnel {

namespace {

constexpr int ResizeEdge = 4;  // pixels at the top that resize instead of move

QToolButton* CaptionButton(QWidget* parent, const QString& name, QStyle::StandardPixmap icon, const QString& tip) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(parent->style()->standardIcon(icon));
  button->setToolTip(tip);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setContextMenuPolicy(Qt::DefaultContextMenu);
  return button;
}

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, color);
  widget->setPalette(palette);
}

}  // namespace

TCustomTitleBar::TCustomTitleBar(QWidget* window) : QWidget(window), window_(window) {
  setObjectName(QStringLiteral("CustomTitleBar"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  menuRow_ = new QHBoxLayout;
  menuRow_->setContentsMargins(0, 0, 0, 0);
  menuRow_->setSpacing(0);
  PictureArea = new QWidget(this);
  PictureArea->setObjectName(QStringLiteral("MenuPicture"));
  auto* picture = new QHBoxLayout(PictureArea);
  picture->setContentsMargins(8, 0, 8, 0);
  Caption = new QLabel(PictureArea);
  Caption->setObjectName(QStringLiteral("MenuCaption"));
  Caption->setAlignment(Qt::AlignCenter);
  Caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);  // a long title is cut, not widening the bar
  picture->addWidget(Caption);
  menuRow_->addWidget(PictureArea, 1);
  MinimizeButton = CaptionButton(this, QStringLiteral("MinimizeButton"), QStyle::SP_TitleBarMinButton, tr("Minimize"));
  MaximizeButton = CaptionButton(this, QStringLiteral("MaximizeButton"), QStyle::SP_TitleBarMaxButton, tr("Maximize"));
  CloseButton = CaptionButton(this, QStringLiteral("CloseButton"), QStyle::SP_TitleBarCloseButton, tr("Close"));
  for (QToolButton* button : {MinimizeButton, MaximizeButton, CloseButton}) {
    menuRow_->addWidget(button);
    button->installEventFilter(this);
  }
  column->addLayout(menuRow_);

  TitlePanel = new QWidget(this);
  TitlePanel->setObjectName(QStringLiteral("TitlePanel"));
  auto* titleRow = new QHBoxLayout(TitlePanel);
  titleRow->setContentsMargins(8, 1, 8, 1);
  TitleLabel = new QLabel(TitlePanel);
  TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
  TitleLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  titleRow->addWidget(TitleLabel);
  column->addWidget(TitlePanel);

  // The pictures the window is designed with, until a scheme says otherwise.
  SetMenuGradient(QColor(0xE4, 0xE2, 0xDD), QColor(0xD6, 0xD2, 0xCB));
  SetTitleGradient(QColor(0xAA, 0xA3, 0x93), QColor(0xE4, 0xE2, 0xDD));
  SetTitleTextColor(QColor(0xA4, 0xBF, 0xDD));
  menuText_ = palette().color(QPalette::WindowText);
  menuButtons_ = palette().color(QPalette::Button);

  connect(MinimizeButton, &QToolButton::clicked, this, [this] { window_->showMinimized(); });
  connect(MaximizeButton, &QToolButton::clicked, this, &TCustomTitleBar::ToggleMaximized);
  connect(CloseButton, &QToolButton::clicked, window_, &QWidget::close);
  window_->installEventFilter(this);
  qApp->installEventFilter(this);  // presses at the window's edges land on whatever widget is there
  for (QWidget* part : {static_cast<QWidget*>(this), PictureArea, static_cast<QWidget*>(Caption), TitlePanel,
                        static_cast<QWidget*>(TitleLabel)})
    part->installEventFilter(this);
  ShowMaximizeState();
}

void TCustomTitleBar::HoldMenuBar(QWidget* menuBar) {
  if (!menuBar || menuBar == menuBar_) return;
  menuBar_ = menuBar;
  menuBarStyle_ = menuBar->styleSheet();
  menuRow_->insertWidget(0, menuBar);
  if (menuFont_) menuBar->setFont(*menuFont_);
  StyleMenuBar();
  menuBar->show();
}

QWidget* TCustomTitleBar::ReleaseMenuBar() {
  QWidget* menuBar = menuBar_;
  if (!menuBar) return nullptr;
  menuRow_->removeWidget(menuBar);
  menuBar->setStyleSheet(menuBarStyle_);
  menuBar->setFont(QFont());  // the standard menu bar keeps the system's font
  menuBar->setParent(nullptr);
  menuBar_ = nullptr;
  return menuBar;
}

// The menu buttons are drawn over the gradient with a transparent text background.
void TCustomTitleBar::StyleMenuBar() {
  if (!menuBar_) return;
  menuBar_->setStyleSheet(QStringLiteral("QMenuBar { background: transparent; color: %1; }"
                                         "QMenuBar::item { background: transparent; color: %1; }"
                                         "QMenuBar::item:selected { background: %2; }")
                              .arg(menuText_.name(), menuButtons_.name()));
}

void TCustomTitleBar::SetTitle(const QString& title) {
  Caption->setText(title);
  TitleLabel->setText(title);
}

QString TCustomTitleBar::Title() const { return Caption->text(); }

void TCustomTitleBar::SetMenuGradient(const QColor& top, const QColor& bottom) {
  menuTop_ = top;
  menuBottom_ = bottom;
  update();
}

void TCustomTitleBar::SetTitleGradient(const QColor& top, const QColor& bottom) {
  titleTop_ = top;
  titleBottom_ = bottom;
  update();
}

void TCustomTitleBar::SetMenuLook(const QColor& text, const QColor& buttons, const std::optional<QFont>& font) {
  menuText_ = text;
  menuButtons_ = buttons;
  SetTextColor(Caption, text);
  if (font) {
    menuFont_ = *font;
    Caption->setFont(*font);
    if (menuBar_) menuBar_->setFont(*font);
  }
  StyleMenuBar();
}

void TCustomTitleBar::SetTitleTextColor(const QColor& color) { SetTextColor(TitleLabel, color); }

void TCustomTitleBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int split = TitlePanel->isVisible() ? TitlePanel->y() : height();
  GradientRect(menuTop_, menuBottom_, painter, QRect(0, 0, width(), split));
  if (split < height()) GradientRect(titleTop_, titleBottom_, painter, QRect(0, split, width(), height() - split));
}

bool TCustomTitleBar::ResizeAtEdge(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!isVisible() || !widget || widget->window() != window_ || !window_->windowHandle()) return false;
  if (!(window_->windowFlags() & Qt::FramelessWindowHint) || window_->windowState() != Qt::WindowNoState) return false;
  const QPoint at = window_->mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
  Qt::Edges edges;
  if (at.x() < ResizeEdge) edges |= Qt::LeftEdge;
  if (at.x() >= window_->width() - ResizeEdge) edges |= Qt::RightEdge;
  if (at.y() < ResizeEdge) edges |= Qt::TopEdge;
  if (at.y() >= window_->height() - ResizeEdge) edges |= Qt::BottomEdge;
  if (!edges) return false;
  // Where the platform cannot resize a window itself, the press goes on as an ordinary one.
  return window_->windowHandle()->startSystemResize(edges);
}

void TCustomTitleBar::ToggleMaximized() {
  if (window_->isMaximized()) window_->showNormal();
  else window_->showMaximized();
}

void TCustomTitleBar::ShowMaximizeState() {
  const bool maximized = window_->isMaximized();
  MaximizeButton->setIcon(style()->standardIcon(maximized ? QStyle::SP_TitleBarNormalButton : QStyle::SP_TitleBarMaxButton));
  MaximizeButton->setToolTip(maximized ? tr("Restore") : tr("Maximize"));
}

bool TCustomTitleBar::DragPart(QObject* watched) const {
  return watched == this || watched == PictureArea || watched == Caption || watched == TitlePanel ||
         watched == TitleLabel;
}

bool TCustomTitleBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::WindowStateChange) {
    ShowMaximizeState();
    return false;
  }
  if (event->type() == QEvent::MouseButtonPress && ResizeAtEdge(watched, event)) return true;
  if (watched == window_) return false;
  if (event->type() == QEvent::ContextMenu &&
      (watched == MinimizeButton || watched == MaximizeButton || watched == CloseButton)) {
    if (recentMenu_) recentMenu_->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
  }
  if (!DragPart(watched)) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint global = mouse->globalPosition().toPoint();
      armed_ = false;
      following_ = false;
      if (window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) return true;
      armed_ = true;
      pressGlobal_ = global;
      windowAtPress_ = window_->pos();
      return true;
    }
    case QEvent::MouseMove: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (!armed_ || mouse->buttons() == Qt::NoButton) return true;
      const QPoint global = mouse->globalPosition().toPoint();
      if (!following_) {
        if ((global - pressGlobal_).manhattanLength() < QApplication::startDragDistance()) return true;
        // The platform's own move when it has one; it then owns the mouse until the release.
        if (window_->windowHandle() && window_->windowHandle()->startSystemMove()) {
          armed_ = false;
          return true;
        }
        following_ = true;
      }
      window_->move(windowAtPress_ + global - pressGlobal_);
      return true;
    }
    case QEvent::MouseButtonRelease:
      armed_ = false;
      following_ = false;
      return true;
    case QEvent::MouseButtonDblClick:
      armed_ = false;
      following_ = false;
      ToggleMaximized();
      return true;
    default:
      return QWidget::eventFilter(watched, event);
  }
}

}  // namespace varnel
