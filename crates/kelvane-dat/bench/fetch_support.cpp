#include "fetch_support.hpp"

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

}  // namespace kelvane_dat::bench
