// What the user sees of the MIDI devices: a status-bar panel with each chosen device and its state
// (open, missing, failed with the reason), a message box the first time a device fails in a
// session (unless "Disable warnings" is checked), and the timer and the wake-ups that let the
// device session notice devices going and coming back. UI thread; the session's wake-up may come
// from any thread.
#pragma once

#include <QLabel>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "app/play_display.h"

namespace varnel {

class DeviceSession;
struct DeviceStatus;

class TDeviceFeedback : public QObject {
  Q_OBJECT

 public:
  // `warn` shows a message box, unless warnings are disabled.
  TDeviceFeedback(DeviceSession& session, QLabel* panel, std::function<void(const QString&)> warn,
                  QObject* parent = nullptr);
  ~TDeviceFeedback() override;

  // The panel's text from the session's states.
  void Refresh();
  // What the first failure of a device says (the box adds where to choose another).
  static QString FailureText(int slot, const DeviceStatus& status);
  // The device session's poll: at once, not waiting for the timer.
  void PollNow();

 protected:
  bool event(QEvent* event) override;

 private:
  void Changed(int slot, const DeviceStatus& status, bool firstFailure);
  void Warn();

  DeviceSession& session_;
  QLabel* panel_;
  std::function<void(const QString&)> warn_;
  QTimer timer_;
  CoalescedPoster wake_;
  QStringList failures_;  // first failures not yet shown
};

}  // namespace varnel
