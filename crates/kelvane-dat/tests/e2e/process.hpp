#pragma once

// Running the real check program, as a user would, and collecting what it printed.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvane_dat::e2e {

struct ProcessResult {
  int exit_status = -1;
  std::string out;
  std::string err;
};

struct EnvironmentChange {
  std::string name;
  // Unset when empty.
  std::optional<std::string> value;
};

// Runs `program` with `args` (program path not included) and the current environment changed by
// `environment`; standard input is empty.
ProcessResult run_process(const std::filesystem::path& program, const std::vector<std::string>& args,
                          const std::vector<EnvironmentChange>& environment = {});

}  // namespace kelvane_dat::e2e
