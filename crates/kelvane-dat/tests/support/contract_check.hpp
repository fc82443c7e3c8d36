#pragma once

// The writer's contract (docs/format.md), checked independently of the writer's own code: the
// directory is a B-tree, the free list one chain of free_count blocks, file_size the file's length.

#include <optional>
#include <string>

#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::test_support {

// The first rule `archive` breaks, nullopt when it keeps them all.
std::optional<std::string> contract_violation(const DatDatabase& archive,
                                              std::uint64_t file_length);

}  // namespace kelvane_dat::test_support
