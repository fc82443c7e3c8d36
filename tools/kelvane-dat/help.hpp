#pragma once

// The help texts: the overview of the tool and the help of each subcommand, made from the same
// definitions that parse the command line.

#include <string>
#include <string_view>
#include <vector>

#include "commands.hpp"

namespace kelvane_dat::cli {

std::string overview_help(const CommandSet& commands);
std::string command_help(const Command& command);

// "kelvane-dat grep [OPTIONS] PATTERN ARCHIVE", optional positionals in brackets; `path` is the
// words that lead to the command ("strings export" for a nested one).
std::string usage_synopsis(std::string_view path, const CLI::App& app);

// A command's named options, the help flag last, as its help lists them.
std::vector<const CLI::Option*> command_options(const Command& command);
std::vector<const CLI::Option*> command_options(const CLI::App& app);
// An option as the help shows it: "-t, --type NAME", "    --json".
std::string option_cell(const CLI::Option& option);

}  // namespace kelvane_dat::cli
