#pragma once

// The help texts: the overview of the tool and the help of each subcommand.

#include <span>
#include <string>

#include "commands.hpp"

namespace kelvane_dat::cli {

std::string overview_help(std::span<const Command> commands);
std::string command_help(const CommandSyntax& syntax);

}  // namespace kelvane_dat::cli
