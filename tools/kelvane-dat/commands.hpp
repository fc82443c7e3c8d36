#pragma once

// The subcommands of kelvane-dat, each defined in a file of its own (see command_line.hpp).

#include <span>
#include <string>

#include "command_line.hpp"

namespace kelvane_dat::cli {

void add_info_command(CommandSet& commands);
void add_ls_command(CommandSet& commands);
void add_cat_command(CommandSet& commands);
void add_strings_command(CommandSet& commands);
void add_verify_command(CommandSet& commands);
void add_extract_command(CommandSet& commands);
void add_diff_command(CommandSet& commands);
void add_grep_command(CommandSet& commands);
void add_create_command(CommandSet& commands);
void add_put_command(CommandSet& commands);
void add_rm_command(CommandSet& commands);
void add_compact_command(CommandSet& commands);

// Every subcommand, freshly defined, in the order the overview lists them (command_list.cpp).
CommandSet all_commands();

// Runs the tool on its arguments (without the program name) and returns the exit status.
int run_tool(std::span<const std::string> args);

}  // namespace kelvane_dat::cli
