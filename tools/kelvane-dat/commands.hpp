#pragma once

// The subcommands of kelvane-dat, each defined in a file of its own.

#include <span>

#include "command_line.hpp"

namespace kelvane_dat::cli {

struct Command {
  const CommandSyntax* syntax;
  // Returns the exit status.
  int (*run)(const ParsedArguments& args);
};

Command info_command();
Command ls_command();
Command cat_command();
Command strings_command();
Command verify_command();
Command extract_command();
Command diff_command();
Command grep_command();

// Every subcommand, in the order the overview lists them.
std::span<const Command> all_commands();

// Runs the tool on its arguments (without the program name) and returns the exit status.
int run_tool(std::span<const std::string> args);

}  // namespace kelvane_dat::cli
