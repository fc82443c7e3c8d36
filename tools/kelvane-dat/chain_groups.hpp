#pragma once

// Files that read the same chain, so that a command reading every file reads each chain once. In an
// archive from a sound writer no two files share one; a crafted archive can point 100,000 entries
// at one 32 MiB chain, and reading it per entry is 3.3 TB.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <type_traits>
#include <vector>

#include "kelvane_dat/dat_file_entry.hpp"

namespace kelvane_dat::cli {

// What decides the bytes a fetch yields: where the chain starts, how much of it is gathered and
// whether that is expanded. The id, timestamp and version are not read.
struct ChainKey {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  bool compressed = false;

  static ChainKey of(const DatFileEntry& entry) {
    return {entry.offset, entry.size, entry.is_compressed()};
  }
  friend auto operator<=>(const ChainKey&, const ChainKey&) = default;
};

// `ids` split by `key_of(id)`: each group keeps the order of `ids`, and the groups come in the
// order of their first ids, so ids given in storage order are still read in storage order.
template <class KeyOf>
std::vector<std::vector<std::uint32_t>> group_ids(std::span<const std::uint32_t> ids,
                                                  KeyOf key_of) {
  std::map<std::invoke_result_t<KeyOf, std::uint32_t>, std::size_t> group_of;
  std::vector<std::vector<std::uint32_t>> groups;
  for (const std::uint32_t id : ids) {
    const auto [found, added] = group_of.try_emplace(key_of(id), groups.size());
    if (added) groups.emplace_back();
    groups[found->second].push_back(id);
  }
  return groups;
}

}  // namespace kelvane_dat::cli
