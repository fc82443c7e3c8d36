#include "help.hpp"

#include <cctype>

#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

std::string usage_line(const CommandSyntax& syntax) {
  std::string line = "Usage: " + std::string(kProgramName) + " " + std::string(syntax.name);
  if (!syntax.options.empty()) line += " [OPTIONS]";
  for (std::size_t i = 0; i < syntax.positionals.size(); ++i) {
    const std::string name(syntax.positionals[i]);
    line += i < syntax.required_positionals ? " " + name : " [" + name + "]";
  }
  return line + "\n";
}

std::string option_cell(std::string_view long_name, char short_name, std::string_view value) {
  std::string cell = short_name != 0 ? std::string("-") + short_name + ", " : "    ";
  cell += "--" + std::string(long_name);
  if (!value.empty()) cell += " " + std::string(value);
  return cell;
}

}  // namespace

std::string overview_help(std::span<const Command> commands) {
  std::string text =
      "Usage: " + std::string(kProgramName) + " COMMAND [ARGS]\n\n" +
      "Looks inside Kelvane data archives, unpacks, compares and searches them.\n\nCommands:\n";
  Columns table({false, false});
  for (const Command& command : commands) {
    table.add_row({"  " + std::string(command.syntax->name), std::string(command.syntax->summary)});
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
      " COMMAND --help' for the arguments of a command. File ids are\n"
      "accepted in hexadecimal (0x2300000A) or decimal (587202570).\n"
      "Exit status: 0 success, 1 archive error, 2 usage error; diff and grep, like the\n"
      "standard tools: 1 a difference or no match, 2 any trouble.\n";
  return text;
}

std::string command_help(const CommandSyntax& syntax) {
  std::string summary(syntax.summary);
  if (!summary.empty())
    summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
  std::string text = usage_line(syntax) + "\n" + summary + ".\n\nOptions:\n";
  Columns table({false, false});
  for (const OptionSyntax& option : syntax.options) {
    table.add_row({"  " + option_cell(option.name, option.short_name, option.value_name),
                   std::string(option.help)});
  }
  table.add_row({"  " + option_cell("help", 'h', ""), "show this help"});
  text += table.render();
  if (!syntax.details.empty()) text += "\n" + std::string(syntax.details);
  return text;
}

}  // namespace kelvane_dat::cli
