#include "largest_allocation.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace kelvane_dat::test_support {
namespace {

std::atomic<std::size_t> largest{0};

}  // namespace

void reset_largest_allocation() { largest.store(0); }

std::size_t largest_allocation() { return largest.load(); }

}  // namespace kelvane_dat::test_support

// The array, nothrow and sized forms all route through these.
void* operator new(std::size_t size) {
  std::size_t seen = kelvane_dat::test_support::largest.load(std::memory_order_relaxed);
  while (size > seen && !kelvane_dat::test_support::largest.compare_exchange_weak(seen, size)) {
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
