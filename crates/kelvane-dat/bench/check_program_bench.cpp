// The check program end to end, as a user runs it: on the sample archive and on one 100 times its
// size, against the program's start-up with no archive to check.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_data.hpp"
#include "bench_registry.hpp"
#include "figures.hpp"

extern char** environ;

namespace kelvane_dat::bench {

namespace {

// Runs the check program with `archive` as KELVANE_LOCAL_DAT (none when empty), its output
// discarded, and returns the CPU seconds it used, or a negative value when it failed.
double run_check_program(const std::filesystem::path& archive) {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "KELVANE_", 8) != 0) variables.emplace_back(*entry);
  }
  if (!archive.empty()) variables.push_back("KELVANE_LOCAL_DAT=" + archive.string());
  std::vector<char*> environment;
  for (auto& variable : variables) environment.push_back(variable.data());
  environment.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string program = KELVANE_CHECK_PROGRAM;
  char* arguments[] = {program.data(), nullptr};
  pid_t child = 0;
  const int spawned =
      posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environment.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;

  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// `scale` 0 runs without an archive.
void check_program(benchmark::State& state, unsigned scale) {
  const std::filesystem::path archive =
      scale == 0 ? std::filesystem::path() : sample_archive(scale);
  if (!archive.empty()) warm_page_cache(archive);
  for (auto _ : state) {
    const double seconds = run_check_program(archive);
    if (seconds < 0) return state.SkipWithError("the check program failed");
    state.SetIterationTime(seconds);
  }
  state.counters[kSecondsPerRun] = item_counter(state, 1, /*inverted=*/true);
}

}  // namespace

void register_check_program_benchmarks() {
  struct Run {
    unsigned scale;
    const char* name;
    int iterations;
  };
  constexpr Run kRuns[] = {{0, "check_program/no_archive", 20},
                           {1, "check_program/sample", 20},
                           {100, "check_program/sample_x100", 2}};
  for (const Run& run : kRuns) {
    benchmark::RegisterBenchmark(run.name, check_program, run.scale)
        ->UseManualTime()
        ->Iterations(run.iterations)
        ->Unit(benchmark::kMillisecond);
  }
  add_figure({"check program, sample archive", kRuns[1].name, kRuns[0].name,
              "check program, no archive", kSecondsPerRun, Unit::Milliseconds, std::nullopt});
  add_figure({"check program, 100x sample archive", kRuns[2].name, kRuns[1].name,
              "check program, sample", kSecondsPerRun, Unit::Milliseconds, std::nullopt});
}

}  // namespace kelvane_dat::bench
