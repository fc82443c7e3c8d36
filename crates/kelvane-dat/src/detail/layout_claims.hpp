#pragma once

// The layout check's map of claimed bytes, for the writer: the free blocks it may use are the
// ones nothing claims.

#include <cstdint>
#include <utility>
#include <vector>

#include "kelvane_dat/layout_check.hpp"

namespace kelvane_dat::detail {

// [start, end) of the file, claimed by the header, a directory node or a file.
struct ClaimedRange {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
};

// check_layout, and every claimed range, ascending and disjoint.
[[nodiscard]] Result<std::pair<ArchiveLayout, std::vector<ClaimedRange>>> check_layout_with_claims(
    const DatDatabase& archive);

}  // namespace kelvane_dat::detail
