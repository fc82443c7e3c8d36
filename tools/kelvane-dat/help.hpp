#pragma once

// The help texts: the overview of the tool and the help of each subcommand, made from the same
// definitions that parse the command line.

#include <string>
#include <vector>

#include "commands.hpp"

namespace kelvane_dat::cli {

std::string overview_help(const CommandSet& commands);
std::string command_help(const Command& command);

// A command's named options, the help flag last, as its help lists them.
std::vector<const CLI::Option*> command_options(const Command& command);
// An option as the help shows it: "-t, --type NAME", "    --json".
std::string option_cell(const CLI::Option& option);

}  // namespace kelvane_dat::cli
