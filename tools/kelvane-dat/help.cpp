#include "help.hpp"

#include <cctype>

#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

// The positional arguments of a command, in order.
std::vector<const CLI::Option*> positionals(const CLI::App& app) {
  return app.get_options([](const CLI::Option* option) { return option->get_positional(); });
}

}  // namespace

std::string usage_synopsis(std::string_view path, const CLI::App& app) {
  std::string line = std::string(kProgramName) + " " + std::string(path) + " [OPTIONS]";
  for (const CLI::Option* positional : positionals(app)) {
    const std::string name = positional->get_name();
    line += positional->get_required() ? " " + name : " [" + name + "]";
  }
  return line;
}

std::string option_cell(const CLI::Option& option) {
  const std::vector<std::string>& short_names = option.get_snames();
  std::string cell = short_names.empty() ? "    " : "-" + short_names.front() + ", ";
  cell += "--" + option.get_lnames().front();
  if (option.get_expected_min() > 0) cell += " " + option.get_type_name();
  return cell;
}

std::vector<const CLI::Option*> command_options(const Command& command) {
  return command_options(*command.app);
}

std::vector<const CLI::Option*> command_options(const CLI::App& app) {
  std::vector<const CLI::Option*> options = app.get_options([&](const CLI::Option* option) {
    return option->nonpositional() && option != app.get_help_ptr();
  });
  options.push_back(app.get_help_ptr());
  return options;
}

std::string overview_help(const CommandSet& commands) {
  std::string text =
      "Usage: " + std::string(kProgramName) + " COMMAND [ARGS]\n\n" +
      "Looks inside Kelvane data archives, unpacks, compares and searches them.\n\nCommands:\n";
  Columns table({false, false});
  for (const Command& command : commands.commands()) {
    table.add_row({"  " + command.name(), command.summary});
  }
  text += table.render();
  text +=
      "\n"
      "Options:\n"
      "  -h, --help     show this help\n"
      "      --version  show the version\n"
      "\n"
      "Run '" +
      std::string(kProgramName) +
      " help COMMAND' for the arguments of a command. File ids are\n"
      "accepted in hexadecimal (0x2300000A) or decimal (587202570).\n"
      "Exit status: 0 success, 1 archive error, 2 usage error; diff and grep, like the\n"
      "standard tools: 1 a difference or no match, 2 any trouble.\n";
  return text;
}

std::string command_help(const Command& command) {
  std::string summary = command.summary;
  if (!summary.empty())
    summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
  std::string text = "Usage: " + usage_synopsis(command.full_name, *command.app) + "\n\n" +
                     summary + ".\n\nOptions:\n";
  Columns table({false, false});
  for (const CLI::Option* option : command_options(command)) {
    table.add_row({"  " + option_cell(*option), option->get_description()});
  }
  text += table.render();
  if (command.subcommands) {
    text += "\nCommands:\n";
    Columns commands({false, false});
    for (const Command& nested : command.subcommands->commands()) {
      commands.add_row({"  " + nested.full_name, nested.summary});
    }
    text += commands.render();
  }
  if (!command.details.empty()) text += "\n" + command.details;
  return text;
}

}  // namespace kelvane_dat::cli
