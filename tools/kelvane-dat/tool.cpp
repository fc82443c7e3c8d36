// Choosing the subcommand and handing it its arguments.

#include "commands.hpp"

#include <string>
#include <vector>

#include "help.hpp"
#include "kelvane_dat/version.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

std::span<const Command> all_commands() {
  static const Command commands[] = {info_command(),    ls_command(),     cat_command(),
                                     strings_command(), verify_command(), extract_command(),
                                     diff_command(),    grep_command()};
  return commands;
}

int run_tool(std::span<const std::string> args) {
  if (args.empty()) {
    write_err(overview_help(all_commands()));
    return kExitUsage;
  }
  const std::string& first = args.front();
  if (first == "--help" || first == "-h" || first == "help") {
    write_out(overview_help(all_commands()));
    return finish_output(kExitSuccess);
  }
  if (first == "--version") {
    write_out(std::string(kProgramName) + " " + std::string(kVersion) + "\n");
    return finish_output(kExitSuccess);
  }
  for (const Command& command : all_commands()) {
    if (command.syntax->name != first) continue;
    auto parsed = parse_arguments(*command.syntax, args.subspan(1));
    if (!parsed) return usage_error(command.syntax->name, parsed.error());
    if (parsed->help_requested()) {
      write_out(command_help(*command.syntax));
      return finish_output(kExitSuccess);
    }
    return command.run(*parsed);
  }
  const std::string what =
      first.starts_with('-') ? "unknown option '" + first + "'" : "unknown command '" + first + "'";
  return usage_error("", what);
}

}  // namespace kelvane_dat::cli
