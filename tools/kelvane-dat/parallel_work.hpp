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

// The --jobs option, an OptionSyntax for each command that takes it.
inline constexpr OptionSyntax kJobsOption{
    .name = "jobs",
    .short_name = 'j',
    .value_name = "N",
    .help = "work on N files at a time, on N threads sharing the open archive (default 1)"};

// The value of --jobs (1 when absent), or the text of a usage error.
std::expected<std::size_t, std::string> jobs_option(const ParsedArguments& args);

// Calls `work(i)` for every i below `count`, each exactly once, on up to `jobs` threads, while a
// progress line ("LABEL i/count") is drawn on standard error when it is a terminal. The archive's
// reads are positioned, so the threads share one handle without a lock; `work` must keep to its
// own results.
void for_each_in_parallel(std::size_t count, std::size_t jobs, const std::string& label,
                          const std::function<void(std::size_t)>& work);

}  // namespace kelvane_dat::cli
