#include "app/device_feedback.h"

#include <QStringList>
#include <QTimer>

#include "midi/device_session.h"

namespace varnel {

namespace {

const QEvent::Type DeviceWakeEvent = QEvent::Type(QEvent::registerEventType());

QString Channels(int slot) { return QStringLiteral("channels %1-%2").arg(16 * slot + 1).arg(16 * slot + 16); }

}  // namespace

TDeviceFeedback::TDeviceFeedback(DeviceSession& session, QLabel* panel, std::function<void(const QString&)> warn,
                                 QObject* parent)
    : QObject(parent),
      session_(session),
      panel_(panel),
      warn_(std::move(warn)),
      wake_(this, DeviceWakeEvent) {
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

// On the panel each device with its state in a word; the reasons are in its tool tip.
void TDeviceFeedback::Refresh() {
  QStringList parts, details;
  bool trouble = false;
  for (int slot = 0; slot < DeviceSession::Slots; ++slot) {
    const QString full = QString::fromStdString(session_.StatusText(slot));
    if (full.isEmpty()) continue;
    details << full;
    parts << QString::fromStdString(session_.StatusText(slot, false));
    const DeviceState state = session_.Status(slot).state;
    trouble = trouble || state == DeviceState::Missing || state == DeviceState::Failed;
  }
  panel_->setText(parts.join(QStringLiteral("  |  ")));
  panel_->setToolTip(details.join(QLatin1Char('\n')));
  QFont font = panel_->font();
  font.setBold(trouble);
  panel_->setFont(font);
}

QString TDeviceFeedback::FailureText(int slot, const DeviceStatus& status) {
  const QString device = slot == DeviceSession::InputSlot ? QStringLiteral("The MIDI In device")
                         : slot == 0                      ? QStringLiteral("The MIDI Out device")
                                      : QStringLiteral("The MIDI Out device for %1").arg(Channels(slot));
  const QString name = QString::fromStdString(status.name), reason = QString::fromStdString(status.reason);
  if (status.state == DeviceState::Missing)
    return QStringLiteral("%1 \"%2\" is not there (%3). Varnel keeps it chosen and opens it again as soon as it is "
                          "back.")
        .arg(device, name, reason);
  return QStringLiteral("%1 \"%2\" could not be opened (%3).").arg(device, name, reason);
}

void TDeviceFeedback::Changed(int slot, const DeviceStatus& status, bool firstFailure) {
  Refresh();
  if (!firstFailure || !warn_) return;
  // Devices that fail together (a server that stopped) are told in one box, after what the
  // session is doing has finished: a box may run the event loop.
  failures_ << FailureText(slot, status);
  if (failures_.size() == 1) QTimer::singleShot(0, this, [this] { Warn(); });
}

void TDeviceFeedback::Warn() {
  const QString text = failures_.join(QStringLiteral("\n\n")) +
                       QStringLiteral("\n\nOther devices can be chosen in the Options menu (MIDI Out Device, MIDI In "
                                      "Device, and for MIDI channels 17-48 Options... > MIDI Out). \"Disable warnings\" "
                                      "turns these messages off.");
  failures_.clear();
  warn_(text);
}

}  // namespace varnel
