// Choosing the subcommand and handing it its arguments.

#include "commands.hpp"

#include <string>
#include <vector>

#include "help.hpp"
#include "kelvane_dat/version.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

int run_tool(std::span<const std::string> args) {
  const CommandSet commands = all_commands();
  if (args.empty()) {
    write_err(overview_help(commands));
    return kExitUsage;
  }
  const std::string& first = args.front();
  if (first == "--help" || first == "-h" || first == "help") {
    if (args.size() == 1) {
      write_out(overview_help(commands));
      return finish_output(kExitSuccess);
    }
    // "help CMD" and "--help CMD", as git has them; "help strings export" for a nested one.
    const std::span<const std::string> words = args.subspan(1);
    const auto [command, used] = commands.find_nested(words);
    if (command == nullptr || used != words.size()) {
      std::string named;
      for (const std::string& word : words) named += (named.empty() ? "" : " ") + word;
      return usage_error("", "unknown command '" + named + "'");
    }
    write_out(command_help(*command));
    return finish_output(kExitSuccess);
  }
  if (first == "--version") {
    write_out(std::string(kProgramName) + " " + std::string(kVersion) + "\n");
    return finish_output(kExitSuccess);
  }
  const auto [command, used] = commands.find_nested(args);
  if (command == nullptr) {
    const std::string what = first.starts_with('-') ? "unknown option '" + first + "'"
                                                    : "unknown command '" + first + "'";
    return usage_error("", what);
  }
  const std::expected<ParseOutcome, std::string> parsed =
      parse_command(*command, args.subspan(used));
  if (!parsed) return usage_error(command->full_name, parsed.error());
  if (*parsed == ParseOutcome::Help) {
    write_out(command_help(*command));
    return finish_output(kExitSuccess);
  }
  return command->run();
}

}  // namespace kelvane_dat::cli
