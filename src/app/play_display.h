// The play-position display: the counter text, and the one coalesced channel by which the row
// clock (and the MIDI input) wake the UI thread.
#pragma once

#include <QEvent>
#include <QString>
#include <atomic>

class QObject;

namespace varnel {

// "03 31": order position and row, zero-padded decimal, or two upper-case hex digits each.
QString PlayCounterText(int order, int row, bool hex);

// Posts an event of one type to a receiver, at most one pending at a time: a burst of rows becomes
// one event, whose handler reads the latest position.
class CoalescedPoster {
 public:
  CoalescedPoster(QObject* receiver, QEvent::Type type) : receiver_(receiver), type_(type) {}

  // Any thread (the row clock, the MIDI input). Never blocks; allocates only when it posts.
  void Notify();
  // UI thread, at the start of the handler: later notifications post again.
  void Taken() { pending_.store(false, std::memory_order_release); }
  QEvent::Type Type() const { return type_; }
  int PostedCount() const { return posted_.load(std::memory_order_relaxed); }

 private:
  QObject* receiver_;
  QEvent::Type type_;
  std::atomic<bool> pending_{false};  // set by Notify (any thread), cleared by Taken (UI thread)
  std::atomic<int> posted_{0};        // written by Notify
};

inline constexpr QEvent::Type PlayPositionEvent = QEvent::Type(QEvent::User + 1);
inline constexpr QEvent::Type MidiInputEvent = QEvent::Type(QEvent::User + 2);

}  // namespace varnel
