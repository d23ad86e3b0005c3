// A bounded queue between one producing thread and one consuming thread that never blocks and
// never allocates after construction: the hand-over to a real-time audio or MIDI callback.
#pragma once

#include <atomic>
#include <bit>
#include <cstddef>
#include <memory>
#include <type_traits>

namespace varnel {

template <class T>
class SpscRing {
  static_assert(std::is_trivially_copyable_v<T>, "items are copied bytewise across threads");

 public:
  // The capacity is rounded up to a power of two.
  explicit SpscRing(size_t capacity)
      : mask_(std::bit_ceil(capacity < 2 ? size_t(2) : capacity) - 1), slots_(new T[mask_ + 1]) {}
  SpscRing(const SpscRing&) = delete;
  SpscRing& operator=(const SpscRing&) = delete;

  // Producer only. False when the ring is full (the item is not stored).
  bool Push(const T& item) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) > mask_) return false;
    slots_[tail & mask_] = item;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Consumer only. False when the ring is empty.
  bool Pop(T& item) {
    const T* front = Front();
    if (!front) return false;
    item = *front;
    head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    return true;
  }

  // Consumer only: the oldest item, or null; valid until the next Pop or Skip.
  const T* Front() const {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return nullptr;
    return &slots_[head & mask_];
  }
  void Skip() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

  // Either side; exact only when the other side is idle.
  bool Empty() const { return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire); }
  size_t Capacity() const { return mask_ + 1; }

 private:
  const size_t mask_;
  std::unique_ptr<T[]> slots_;
  alignas(64) std::atomic<size_t> head_{0};  // advanced by the consumer
  alignas(64) std::atomic<size_t> tail_{0};  // advanced by the producer
};

}  // namespace varnel
