#include "fetch_support.hpp"

#include <map>
#include <utility>

#include "bench_registry.hpp"
#include "figures.hpp"

namespace kelvane_dat::bench {

const DatDatabase& opened(const std::filesystem::path& path) {
  static std::map<std::filesystem::path, DatDatabase> databases;
  if (const auto found = databases.find(path); found != databases.end()) return found->second;
  auto database = DatDatabase::open(path);
  if (!database) fail("cannot open " + path.string() + ": " + database.error().to_string());
  return databases.emplace(path, std::move(*database)).first->second;
}

void time_get_file(benchmark::State& state, const DatDatabase& database,
                   std::span<const std::uint32_t> ids, std::uint64_t content_bytes) {
  const WallClock loop;
  for (auto _ : state) {
    for (const std::uint32_t id : ids) {
      const auto data = database.get_file(id);
      if (!data) return state.SkipWithError(data.error().to_string().c_str());
      benchmark::DoNotOptimize(data->data());
    }
  }
  set_rates(state, content_bytes, loop);
}

}  // namespace kelvane_dat::bench
