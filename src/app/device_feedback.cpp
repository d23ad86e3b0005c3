#include "app/device_feedback.h"

#include <QStringList>

#include "midi/device_session.h"

namespace varnel {

namespace {

const QEvent::Type DeviceWakeEvent = QEvent::Type(QEvent::registerEventType());

QString Channels(int slot) { return QStringLiteral("channels %1-%2").arg(16 * slot + 1).arg(16 * slot + 16); }

}  // namespace

TDeviceFeedback::TDeviceFeedback(DeviceSession& session, QLabel* panel, std::function<void(const QString&)> warn,
                                 QObject* parent)
    : QObject(parent), session_(session), panel_(panel), warn_(std::move(warn)), wake_(this, DeviceWakeEvent) {
  session_.SetListener([this](int slot, const DeviceStatus& status, bool first) { Changed(slot, status, first); });
  session_.SetWake([this] { wake_.Notify(); });
  // A device that has gone is noticed within a second even where nothing tells.
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, [this] { session_.Poll(); });
  timer_.start();
  Refresh();
}

TDeviceFeedback::~TDeviceFeedback() {
  session_.SetWake(nullptr);
  session_.SetListener(nullptr);
}

bool TDeviceFeedback::event(QEvent* event) {
  if (event->type() == DeviceWakeEvent) {
    wake_.Taken();
    session_.Poll();
    return true;
  }
  return QObject::event(event);
}

void TDeviceFeedback::PollNow() { session_.Poll(); }

void TDeviceFeedback::Refresh() {
  QStringList parts;
  bool trouble = false;
  for (int slot = 0; slot < DeviceSession::Slots; ++slot) {
    const QString text = QString::fromStdString(session_.StatusText(slot));
    if (!text.isEmpty()) parts << text;
    const DeviceState state = session_.Status(slot).state;
    trouble = trouble || state == DeviceState::Missing || state == DeviceState::Failed;
  }
  const QString text = parts.join(QStringLiteral("  |  "));
  panel_->setText(text);
  panel_->setToolTip(text);
  QFont font = panel_->font();
  font.setBold(trouble);
  panel_->setFont(font);
}

QString TDeviceFeedback::FailureText(int slot, const DeviceStatus& status) {
  const QString device = slot == DeviceSession::InputSlot ? QStringLiteral("The MIDI In device")
                         : slot == 0                      ? QStringLiteral("The MIDI Out device")
                                      : QStringLiteral("The MIDI Out device for %1").arg(Channels(slot));
  const QString name = QString::fromStdString(status.name), reason = QString::fromStdString(status.reason);
  QString text = status.state == DeviceState::Missing
                     ? QStringLiteral("%1 \"%2\" is not there (%3).\n\nVarnel keeps it chosen and opens it again as "
                                      "soon as it is back.")
                           .arg(device, name, reason)
                     : QStringLiteral("%1 \"%2\" could not be opened (%3).").arg(device, name, reason);
  const QString where = slot == DeviceSession::InputSlot ? QStringLiteral("Options > MIDI In Device")
                        : slot == 0                      ? QStringLiteral("Options > MIDI Out Device")
                                                         : QStringLiteral("Options > Options... > MIDI Out");
  return text + QStringLiteral("\n\nAnother device can be chosen under %1. \"Disable warnings\" in the Options menu "
                               "turns these messages off.")
                    .arg(where);
}

void TDeviceFeedback::Changed(int slot, const DeviceStatus& status, bool firstFailure) {
  Refresh();
  // After what the session is doing has finished: a box may run the event loop.
  if (firstFailure && warn_)
    QTimer::singleShot(0, this, [this, text = FailureText(slot, status)] { warn_(text); });
}

}  // namespace varnel
