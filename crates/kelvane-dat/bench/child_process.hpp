#pragma once

// Running one of the project's programs as a user would, for the end-to-end benchmarks.

#include <optional>
#include <string>
#include <vector>

namespace kelvane_dat::bench {

struct ChildRun {
  std::string program;
  std::vector<std::string> args;
  // "NAME=value" added to the environment, from which KELVANE_ variables are first removed.
  std::vector<std::string> environment;
  // Exit statuses that count as success (diff exits 1 when the archives differ).
  std::vector<int> accepted_statuses = {0};
};

// Runs the program with its output discarded and returns the CPU seconds (user and system) it
// used, or nothing when it could not be started or exited otherwise than accepted.
std::optional<double> cpu_seconds_of(const ChildRun& run);

}  // namespace kelvane_dat::bench
