#include "command_outline.hpp"

#include "help.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

namespace {

// Paths are the arguments add_path_argument defines; their value name says so.
constexpr std::string_view kPathValue = "PATH";

std::vector<std::string> split_choices(std::string_view value_name) {
  std::vector<std::string> choices;
  if (value_name.find('|') == std::string_view::npos) return choices;
  while (true) {
    const std::size_t bar = value_name.find('|');
    choices.emplace_back(value_name.substr(0, bar));
    if (bar == std::string_view::npos) return choices;
    value_name.remove_prefix(bar + 1);
  }
}

OptionOutline outline_option(const CLI::Option& option) {
  OptionOutline outline;
  if (!option.get_snames().empty()) outline.short_name = option.get_snames().front();
  if (!option.get_lnames().empty()) outline.long_name = option.get_lnames().front();
  if (option.get_expected_min() > 0) {
    outline.value_name = option.get_type_name();
    outline.choices = split_choices(outline.value_name);
    outline.takes_path = outline.value_name == kPathValue;
  }
  outline.description = option.get_description();
  return outline;
}

CommandOutline outline_app(const CLI::App& app, std::string path) {
  CommandOutline outline;
  outline.path = std::move(path);
  outline.summary = app.get_description();
  for (const CLI::Option* option : command_options(app)) {
    outline.options.push_back(outline_option(*option));
  }
  for (const CLI::Option* positional :
       app.get_options([](const CLI::Option* option) { return option->get_positional(); })) {
    outline.takes_paths = outline.takes_paths || positional->get_type_name() == kPathValue;
  }
  return outline;
}

// A command and, below it, the commands nested under it.
CommandOutline outline_command(const Command& command, const std::string& program) {
  CommandOutline outline = outline_app(*command.app, program + " " + command.full_name);
  if (command.subcommands) {
    for (const Command& nested : command.subcommands->commands()) {
      outline.subcommands.push_back(outline_command(nested, program));
    }
  }
  return outline;
}

}  // namespace

std::string CommandOutline::name() const { return path.substr(path.rfind(' ') + 1); }

CommandOutline outline_commands(const CommandSet& commands) {
  const std::string program(kProgramName);
  CommandOutline root;
  root.path = program;
  root.options.resize(2);
  root.options[0].short_name = "h";
  root.options[0].long_name = "help";
  root.options[0].description = "show this help";
  root.options[1].long_name = "version";
  root.options[1].description = "show the version";
  CommandOutline help;
  help.path = program + " help";
  help.summary = "show the help of a command";
  for (const Command& command : commands.commands()) {
    root.subcommands.push_back(outline_command(command, program));
    CommandOutline help_topic;
    help_topic.path = help.path + " " + command.name();
    help_topic.summary = command.summary;
    help.subcommands.push_back(std::move(help_topic));
  }
  root.subcommands.push_back(std::move(help));
  return root;
}

std::vector<const CommandOutline*> flatten(const CommandOutline& root) {
  std::vector<const CommandOutline*> all = {&root};
  for (const CommandOutline& subcommand : root.subcommands) {
    const std::vector<const CommandOutline*> below = flatten(subcommand);
    all.insert(all.end(), below.begin(), below.end());
  }
  return all;
}

}  // namespace kelvane_dat::cli
