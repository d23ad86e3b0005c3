// Replaces the global operator new/delete of the robustness binary to follow live heap bytes, so a
// test can assert how much memory one load needed. Off under ASan/TSan, which own the allocator.
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VARNEL_NO_ALLOCATION_COUNT 1
#endif
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define VARNEL_NO_ALLOCATION_COUNT 1
#endif
#endif

namespace varnel::test {

#ifdef VARNEL_NO_ALLOCATION_COUNT

bool AllocationCountingOn() { return false; }
void ResetAllocationPeak() {}
size_t AllocationPeakAboveBaseline() { return 0; }

#else

namespace {
std::atomic<size_t> live{0};
std::atomic<size_t> peak{0};
std::atomic<size_t> baseline{0};
// Never actually granted: a request this large is a fault in itself, and the machine is shared.
constexpr size_t kRefused = size_t(1) << 31;

void RaisePeak(size_t value) {
  size_t seen = peak.load(std::memory_order_relaxed);
  while (value > seen && !peak.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
}

void* Allocate(size_t size, size_t align) noexcept {
  if (size >= kRefused) {
    RaisePeak(live.load(std::memory_order_relaxed) + size);
    return nullptr;
  }
  void* p = align > alignof(std::max_align_t) ? std::aligned_alloc(align, (std::max<size_t>(size, 1) + align - 1) / align * align)
                                              : std::malloc(std::max<size_t>(size, 1));
  if (p) RaisePeak(live.fetch_add(malloc_usable_size(p), std::memory_order_relaxed) + malloc_usable_size(p));
  return p;
}

void* AllocateOrThrow(size_t size, size_t align) {
  void* p = Allocate(size, align);
  if (!p) throw std::bad_alloc();
  return p;
}

void Release(void* p) noexcept {
  if (!p) return;
  live.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
  std::free(p);
}
}  // namespace

bool AllocationCountingOn() { return true; }
void ResetAllocationPeak() {
  baseline = live.load();
  peak = live.load();
}
size_t AllocationPeakAboveBaseline() { return peak.load() - baseline.load(); }

#endif

}  // namespace varnel::test

#ifndef VARNEL_NO_ALLOCATION_COUNT
using varnel::test::Allocate;
using varnel::test::AllocateOrThrow;
using varnel::test::Release;
constexpr size_t kPlain = alignof(std::max_align_t);

void* operator new(std::size_t n) { return AllocateOrThrow(n, kPlain); }
void* operator new[](std::size_t n) { return AllocateOrThrow(n, kPlain); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n, kPlain); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n, kPlain); }
void* operator new(std::size_t n, std::align_val_t a) { return AllocateOrThrow(n, size_t(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return AllocateOrThrow(n, size_t(a)); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return Allocate(n, size_t(a)); }
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return Allocate(n, size_t(a)); }

void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { Release(p); }
#endif
