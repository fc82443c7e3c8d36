#pragma once

// The largest single request made of operator new while a piece of code runs, for tests that
// bound what hostile counts may allocate. A test binary that uses this links
// largest_allocation.cpp, which replaces the global operator new and delete for that binary.
//
// The replacement lives in a translation unit of its own: GCC 12 at -O3, seeing an operator new
// that calls malloc inlined into code whose memory operator delete frees, reports a
// mismatched-new-delete, so no test should see its definition.

#include <cstddef>

namespace kelvane_dat::test_support {

void reset_largest_allocation();
std::size_t largest_allocation();

template <class Code>
std::size_t largest_allocation_during(Code&& code) {
  reset_largest_allocation();
  code();
  return largest_allocation();
}

}  // namespace kelvane_dat::test_support
