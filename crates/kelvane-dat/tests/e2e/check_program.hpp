#pragma once

// The check program under test, run with a clean environment.

#include <regex>
#include <string>
#include <vector>

#include "process.hpp"

namespace kelvane_dat::e2e {

// The variables the check program reads, all unset unless a test sets one.
inline std::vector<EnvironmentChange> clean_environment() {
  return {{"KELVANE_LOCAL_DAT", std::nullopt},      {"KELVANE_TEST_THREADS", std::nullopt},
          {"KELVANE_TEST_NOCAPTURE", std::nullopt}, {"KELVANE_BACKTRACE", std::nullopt},
          {"KELVANE_UNSTABLE_OPTIONS", std::nullopt}};
}

inline ProcessResult run_check_program(const std::vector<std::string>& args,
                                       std::vector<EnvironmentChange> environment = {}) {
  std::vector<EnvironmentChange> changes = clean_environment();
  changes.insert(changes.end(), environment.begin(), environment.end());
  return run_process(KELVANE_CHECK_PROGRAM, args, changes);
}

// Replaces what differs from run to run: the elapsed time and thread ids.
inline std::string stable(const std::string& text) {
  static const std::regex kElapsed("finished in [0-9]+\\.[0-9]{2}s");
  static const std::regex kThreadId("' \\([0-9]+\\) panicked at");
  return std::regex_replace(std::regex_replace(text, kElapsed, "finished in T"), kThreadId,
                            "' (TID) panicked at");
}

}  // namespace kelvane_dat::e2e
