// The benchmark suite: Google Benchmark's command line, plus the table of figures at the end.
//
// Unless told otherwise it runs every benchmark 5 times, interleaving the repetitions of all
// benchmarks at random so that drift on a shared machine hits figures and baselines alike.

#include <malloc.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench_registry.hpp"
#include "figures.hpp"

namespace kelvane_dat::bench {

void fail(const std::string& message) {
  std::fprintf(stderr, "benchmark setup failed: %s\n", message.c_str());
  std::exit(1);
}

}  // namespace kelvane_dat::bench

int main(int argc, char** argv) {
  // Freed memory stays with the process. Otherwise the allocator hands big blocks back to the
  // system and every repetition that needs them again pays page faults, which the small inputs
  // reusing their memory never see: a 1M-file open would be timed first-touch, a 10k-file one
  // not.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest it takes
  mallopt(M_TRIM_THRESHOLD, 1 << 30);

  std::vector<std::string> defaults = {"--benchmark_repetitions=5",
                                       "--benchmark_enable_random_interleaving=true",
                                       "--benchmark_display_aggregates_only=true"};
  std::vector<char*> arguments(argv, argv + argc);
  for (std::string& option : defaults) {
    const std::string_view flag = std::string_view(option).substr(0, option.find('='));
    bool given = false;
    for (int i = 1; i < argc; ++i) given = given || std::string_view(argv[i]).starts_with(flag);
    if (!given) arguments.insert(arguments.begin() + 1, option.data());
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;

  using namespace kelvane_dat::bench;
  register_fetch_benchmarks();
  register_cold_fetch_benchmarks();
  register_threaded_fetch_benchmarks();
  register_decompress_benchmarks();
  register_text_benchmarks();
  register_open_benchmarks();
  register_check_program_benchmarks();
  register_tool_benchmarks();
  register_view_crc_benchmarks();
  register_write_benchmarks();

  FigureReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
