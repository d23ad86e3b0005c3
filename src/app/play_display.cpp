#include "app/play_display.h"

#include <QCoreApplication>

namespace varnel {

QString PlayCounterText(int order, int row, bool hex) {
  const int base = hex ? 16 : 10;
  return QStringLiteral("%1 %2")
      .arg(order, 2, base, QLatin1Char('0'))
      .arg(row, 2, base, QLatin1Char('0'))
      .toUpper();
}

void CoalescedPoster::Notify() {
  if (pending_.exchange(true, std::memory_order_acq_rel)) return;
  posted_.fetch_add(1, std::memory_order_relaxed);
  QCoreApplication::postEvent(receiver_, new QEvent(type_));
}

}  // namespace varnel
