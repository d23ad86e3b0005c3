// Race-free access to song data shared by the UI thread and the row clock.
//
// Single values cross threads whole: one side writes, the other reads, with relaxed atomic access.
// Ordering between several values is not needed: the row clock tolerates seeing an edit one row late.
#pragma once

#include <atomic>

namespace varnel {

template <class T>
inline T LoadRelaxed(const T& value) {
  return std::atomic_ref<T>(const_cast<T&>(value)).load(std::memory_order_relaxed);
}

template <class T>
inline void StoreRelaxed(T& value, T v) {
  std::atomic_ref<T>(value).store(v, std::memory_order_relaxed);
}

// A plain field that one thread writes and another reads. Copyable, unlike std::atomic.
template <class T>
class Relaxed {
 public:
  Relaxed() = default;
  Relaxed(T v) : value_(v) {}  // NOLINT(google-explicit-constructor): behaves like the plain field
  Relaxed(const Relaxed& other) : value_(other.load()) {}
  Relaxed& operator=(const Relaxed& other) {
    store(other.load());
    return *this;
  }
  Relaxed& operator=(T v) {
    store(v);
    return *this;
  }
  operator T() const { return load(); }  // NOLINT(google-explicit-constructor)

  T load() const { return value_.load(std::memory_order_relaxed); }
  void store(T v) { value_.store(v, std::memory_order_relaxed); }

 private:
  std::atomic<T> value_{};
};

}  // namespace varnel
