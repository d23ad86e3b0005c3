// Storage for the song's cells: up to 64 MiB of int32. Growing the array leaves new cells
// uninitialised (every caller writes them right away), and large blocks ask the system for huge
// pages, so a load touches the memory once instead of zeroing it first and faulting 4 KiB at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace varnel {

template <class T>
struct CellAllocator {
  using value_type = T;
  static constexpr size_t HugePage = size_t(2) << 20;

  CellAllocator() = default;
  template <class U>
  CellAllocator(const CellAllocator<U>&) {}

  T* allocate(size_t n) {
    const size_t bytes = n * sizeof(T);
    if (bytes < HugePage / 4) return static_cast<T*>(::operator new(bytes));
    const size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
    void* p = std::aligned_alloc(HugePage, rounded);
    if (!p) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) {
    if (n * sizeof(T) < HugePage / 4) {
      ::operator delete(p);
    } else {
      std::free(p);
    }
  }
  // Default-initialise: no zeroing of cells that are about to be written.
  template <class U>
  void construct(U* p) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <class U>
  bool operator==(const CellAllocator<U>&) const {
    return true;
  }
};

using CellVector = std::vector<int32_t, CellAllocator<int32_t>>;

}  // namespace varnel
