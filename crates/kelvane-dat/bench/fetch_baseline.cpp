// The C++ side of the Python module's benchmark (python/bench/fetch_bench.py), which runs this
// program between its own repetitions so that both are measured in the same run.
//
//   fetch_baseline archive           writes the fetch benchmark's 512 MiB archive (1 KiB blocks,
//                                    contiguous) if the data directory lacks it, and prints
//                                    "PATH FILES CONTENT_BYTES"
//   fetch_baseline time PATH         reads every file of PATH with get_file, in ascending id
//                                    order, and prints the CPU seconds that took
//
// The archive's data directory is KELVANE_BENCH_DATA, as for the benchmark suite.

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench_data.hpp"
#include "bench_registry.hpp"
#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::bench {

void fail(const std::string& message) {
  std::fprintf(stderr, "fetch_baseline: %s\n", message.c_str());
  std::exit(1);
}

namespace {

// User and system time of this process, as Python's time.process_time() measures its side.
double cpu_seconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

int time_get_file(const char* path) {
  const Result<DatDatabase> database = DatDatabase::open(path);
  if (!database) fail(std::string("cannot open ") + path + ": " + database.error().to_string());
  const auto ids = database->ids();
  warm_page_cache(path);
  const double start = cpu_seconds();
  for (const std::uint32_t id : ids) {
    const auto data = database->get_file(id);
    if (!data) fail(data.error().to_string());
  }
  std::printf("%.6f\n", cpu_seconds() - start);
  return 0;
}

}  // namespace

}  // namespace kelvane_dat::bench

int main(int argc, char** argv) {
  using namespace kelvane_dat::bench;
  if (argc == 2 && std::string_view(argv[1]) == "archive") {
    const FetchArchive& archive = fetch_archive(1024, Fragmentation::Contiguous, false);
    std::printf("%s %zu %llu\n", archive.path.c_str(), archive.files,
                static_cast<unsigned long long>(archive.content_bytes));
    return 0;
  }
  if (argc == 3 && std::string_view(argv[1]) == "time") return time_get_file(argv[2]);
  std::fprintf(stderr, "usage: %s archive | %s time PATH\n", argv[0], argv[0]);
  return 2;
}
