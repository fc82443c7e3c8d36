#pragma once

// Running a real executable of this project, as a user would, and collecting what it printed.
// One implementation per system: process_posix.cpp, process_windows.cpp.

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
  // What the child wrote to its terminal, when it had one (see TerminalStreams).
  std::string terminal;
};

// Standard streams of the child that go to a terminal (one pseudo-terminal, in raw mode, shared
// by both) instead of being captured in `out` and `err`, for programs that behave differently
// on a terminal.
struct TerminalStreams {
  bool out = false;
  bool err = false;
};

struct EnvironmentChange {
  std::string name;
  // Unset when empty.
  std::optional<std::string> value;
};

// Whether run_process can give the child a terminal; a test that needs one skips without it.
// POSIX: a pseudo-terminal. Windows: not available (a console cannot be captured byte for byte).
bool terminals_supported();

// Runs `program` with `args` (program path not included) and the current environment changed by
// `environment`; standard input is empty.
ProcessResult run_process(const std::filesystem::path& program,
                          const std::vector<std::string>& args,
                          const std::vector<EnvironmentChange>& environment = {},
                          TerminalStreams terminal = {});

}  // namespace kelvane_dat::e2e
