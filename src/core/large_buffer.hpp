#pragma once
// LargeVector<T>: a std::vector whose large blocks are mapped directly and backed by
// transparent huge pages.
//
// Blocks of 2 MiB or more are mapped with mmap, 2 MiB-aligned and advised for huge pages, which
// cuts the page faults of filling them and the TLB misses of reading them at random; freeing one
// returns its memory to the system at once, so a large scratch table never lingers in, or
// bloats, the malloc heap. Smaller blocks, and every block in address-sanitizer builds (so that
// bounds stay checked), come from std::allocator. Where the kernel offers no huge pages the
// advice is ignored. Allocation failure throws std::bad_alloc.

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace orvane::wave_planner::detail {

template <class T>
class LargeBufferAllocator {
 public:
  using value_type = T;

  LargeBufferAllocator() = default;
  template <class U>
  LargeBufferAllocator(const LargeBufferAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T) - kHugePage) {
      throw std::bad_array_new_length();
    }
    if (!mapped(count)) return std::allocator<T>{}.allocate(count);
    const std::size_t length = rounded(count);
    // Map one huge page more than needed, then unmap what lies outside the aligned block.
    void* area = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(area);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) ::munmap(area, aligned - start);
    const std::uintptr_t tail = start + length + kHugePage - (aligned + length);
    if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + length), tail);
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return reinterpret_cast<T*>(aligned);
  }

  void deallocate(T* block, std::size_t count) noexcept {
    if (mapped(count)) {
      ::munmap(block, rounded(count));
    } else {
      std::allocator<T>{}.deallocate(block, count);
    }
  }

  template <class U>
  bool operator==(const LargeBufferAllocator<U>&) const noexcept {
    return true;
  }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  static bool mapped(std::size_t count) {
#if defined(__SANITIZE_ADDRESS__)
    (void)count;
    return false;
#else
    return count * sizeof(T) >= kHugePage;
#endif
  }
  static std::size_t rounded(std::size_t count) {
    return (count * sizeof(T) + kHugePage - 1) & ~(kHugePage - 1);
  }
};

template <class T>
using LargeVector = std::vector<T, LargeBufferAllocator<T>>;

}  // namespace orvane::wave_planner::detail
