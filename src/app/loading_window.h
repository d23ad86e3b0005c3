// TLoadingForm: the small always-on-top window that names the file being loaded. UI thread only.
#pragma once

#include <QWidget>

class QLabel;

namespace varnel {

class TLoadingForm : public QWidget {
  Q_OBJECT

 public:
  explicit TLoadingForm(QWidget* parent = nullptr);
  // Shows the window with the caption ("Loading " + path) and paints it before the load blocks.
  void ShowCaption(const QString& caption);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CentreOnScreen();
  QLabel* label_;
};

}  // namespace varnel
