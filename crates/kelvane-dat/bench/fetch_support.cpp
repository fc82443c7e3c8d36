#include "fetch_support.hpp"

#include <algorithm>
#include <map>
#include <utility>

#include "bench_registry.hpp"

namespace kelvane_dat::bench {

const DatDatabase& opened(const std::filesystem::path& path) {
  static std::map<std::filesystem::path, DatDatabase> databases;
  if (const auto found = databases.find(path); found != databases.end()) return found->second;
  auto database = DatDatabase::open(path);
  if (!database) fail("cannot open " + path.string() + ": " + database.error().to_string());
  return databases.emplace(path, std::move(*database)).first->second;
}

std::vector<std::uint32_t> fetch_order(const DatDatabase& database) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> by_offset;
  by_offset.reserve(database.files.size());
  for (const auto& [id, entry] : database.files) by_offset.emplace_back(entry.offset, id);
  std::sort(by_offset.begin(), by_offset.end());
  std::vector<std::uint32_t> ids;
  ids.reserve(by_offset.size());
  for (const auto& [offset, id] : by_offset) ids.push_back(id);
  return ids;
}

}  // namespace kelvane_dat::bench
