#include "man_page.hpp"

#include <cctype>

#include "help.hpp"
#include "kelvane_dat/version.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

namespace {

// Text as roff shows it literally: a backslash is "\e", a dash is "\-" (a minus, so options can be
// searched and copied), and a line may not start with a control character.
std::string roff_escaped(std::string_view text) {
  std::string escaped;
  bool line_start = true;
  for (const char c : text) {
    if (line_start && (c == '.' || c == '\'')) escaped += "\\&";
    if (c == '\\') {
      escaped += "\\e";
    } else if (c == '-') {
      escaped += "\\-";
    } else {
      escaped += c;
    }
    line_start = c == '\n';
  }
  return escaped;
}

std::string sentence(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text + ".";
}

// A command and, after it, the commands nested under it, each with its synopsis, options and
// details.
void add_command_section(std::string& page, const Command& command) {
  const CLI::App& app = *command.app;
  page += ".SS " + roff_escaped(command.full_name) + "\n";
  page += ".B " + roff_escaped(usage_synopsis(command.full_name, app)) + "\n";
  page += ".PP\n" + roff_escaped(sentence(app.get_description())) + "\n";
  for (const CLI::Option* option : command_options(app)) {
    // The help's cell without the indent that lines up long-only options.
    const std::string cell = option_cell(*option);
    page += ".TP\n.B " + roff_escaped(cell.substr(cell.find('-'))) + "\n" +
            roff_escaped(option->get_description()) + "\n";
  }
  if (!command.details.empty()) {
    // The details are laid out by hand, with examples; keep their lines as they are.
    page += ".PP\n.nf\n" + roff_escaped(command.details) + ".fi\n";
  }
  if (command.subcommands) {
    for (const Command& nested : command.subcommands->commands()) {
      add_command_section(page, nested);
    }
  }
}

}  // namespace

std::string man_page(const CommandSet& commands, std::string_view date) {
  const std::string program(kProgramName);
  std::string page = ".TH KELVANE\\-DAT 1 " + std::string(date) + " \"" + program + " " +
                     std::string(kVersion) + "\" \"User Commands\"\n";
  page += ".SH NAME\n" + roff_escaped(program) +
          " \\- look inside Kelvane data archives, unpack, compare and search them\n";
  page += ".SH SYNOPSIS\n.B " + roff_escaped(program) + "\n.I COMMAND\n.RI [ ARGS ]\n";
  page += ".br\n.B " + roff_escaped(program) + " help\n.I COMMAND\n";
  page +=
      ".SH DESCRIPTION\n"
      "Each command reads an archive, or two, and writes what it finds on standard output.\n"
      "Options may come before, between or after the arguments; \\-\\- ends them.\n"
      "File ids are accepted in hexadecimal (0x2300000A) or decimal (587202570).\n";
  page += ".SH COMMANDS\n";
  for (const Command& command : commands.commands()) {
    add_command_section(page, command);
  }
  page +=
      ".SH ENVIRONMENT\n"
      ".TP\n.B NO_COLOR\n"
      "When set and not empty, no colour unless \\-\\-color=always asks for it.\n"
      ".SH EXIT STATUS\n"
      "0 success, 1 archive error, 2 usage error.\n"
      ".B diff\nand\n.BR grep ,\n"
      "like the standard tools: 1 a difference or no match, 2 any trouble.\n";
  return page;
}

}  // namespace kelvane_dat::cli
