// The tool's subcommands, one line each, in the order the overview lists them.

#include "commands.hpp"

namespace kelvane_dat::cli {

CommandSet all_commands() {
  CommandSet commands;
  add_info_command(commands);
  add_ls_command(commands);
  add_cat_command(commands);
  add_strings_command(commands);
  add_verify_command(commands);
  add_extract_command(commands);
  add_diff_command(commands);
  add_grep_command(commands);
  add_create_command(commands);
  add_put_command(commands);
  add_rm_command(commands);
  add_compact_command(commands);
  return commands;
}

}  // namespace kelvane_dat::cli
