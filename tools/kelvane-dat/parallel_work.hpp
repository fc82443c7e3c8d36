#pragma once

// Work over many files of one archive on several threads sharing its handle, with the progress
// line: what verify and extract both do.

#include <cstddef>
#include <expected>
#include <functional>
#include <optional>
#include <string>

#include "command_line.hpp"

namespace kelvane_dat::cli {

// What --jobs is when not given: the cores the process may use (its CPU affinity), at most the
// largest --jobs takes.
std::size_t default_jobs();

// -j, --jobs N, for each command that works on many files at once: a whole number from 1 to 256.
// `jobs` keeps its value when the option is absent.
CLI::Option* add_jobs_option(CLI::App& app, std::size_t& jobs);

// Calls `work(i)` for every i below `count`, each exactly once, on up to `jobs` threads, while a
// progress line ("LABEL i/count") is drawn on standard error when it is a terminal. The archive's
// reads are positioned, so the threads share one handle without a lock; `work` must keep to its
// own results.
void for_each_in_parallel(std::size_t count, std::size_t jobs, const std::string& label,
                          const std::function<void(std::size_t)>& work);

}  // namespace kelvane_dat::cli
