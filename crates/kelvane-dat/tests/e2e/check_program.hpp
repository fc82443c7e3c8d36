#pragma once

// The check program under test, run with a clean environment.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "process.hpp"

namespace kelvane_dat::e2e {

// The variables the check program reads, all unset unless a test sets one.
inline std::vector<EnvironmentChange> clean_environment() {
  return {{"KELVANE_LOCAL_DAT", std::nullopt},
          {"KELVANE_TEST_THREADS", std::nullopt},
          {"KELVANE_TEST_NOCAPTURE", std::nullopt},
          {"KELVANE_BACKTRACE", std::nullopt},
          {"KELVANE_UNSTABLE_OPTIONS", std::nullopt}};
}

inline ProcessResult run_check_program(const std::vector<std::string>& args,
                                       std::vector<EnvironmentChange> environment = {}) {
  std::vector<EnvironmentChange> changes = clean_environment();
  changes.insert(changes.end(), environment.begin(), environment.end());
  return run_process(KELVANE_CHECK_PROGRAM, args, changes);
}

// Replaces what differs from run to run: the elapsed time ("finished in 0.01s") and the thread
// id in a failure report ("' (1234) panicked at").
inline std::string stable(std::string text) {
  auto mask_digits_after = [&text](std::string_view marker, std::string_view replacement,
                                   std::string_view until) {
    for (std::size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + replacement.size())) {
      const std::size_t start = at + marker.size();
      const std::size_t end = text.find(until, start);
      if (end == std::string::npos) return;
      const std::string_view number(text.data() + start, end - start);
      const bool numeric = !number.empty() && std::all_of(number.begin(), number.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) || c == '.';
      });
      if (numeric) text.replace(at, end + until.size() - at, replacement);
    }
  };
  mask_digits_after("finished in ", "finished in T", "s");
  mask_digits_after("' (", "' (TID) panicked at", ") panicked at");
  return text;
}

}  // namespace kelvane_dat::e2e
