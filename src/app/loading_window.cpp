#include "app/loading_window.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace varnel {

TLoadingForm::TLoadingForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), label_(new QLabel(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  label_->setAlignment(Qt::AlignCenter);
  resize(360, 60);
}

void TLoadingForm::ShowCaption(const QString& caption) {
  setWindowTitle(caption);
  label_->setText(caption);
  show();
  raise();
  // The load runs on this thread right after: let the window appear first.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TLoadingForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  CentreOnScreen();
}

void TLoadingForm::CentreOnScreen() {
  const QScreen* screen = this->screen() ? this->screen() : QApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

}  // namespace varnel
