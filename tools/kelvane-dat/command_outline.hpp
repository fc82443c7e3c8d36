#pragma once

// The command line as a tree of plain values, read off the CLI11 definitions: what the shell
// completions are written from, so they list whatever commands, nested subcommands and options the
// CommandSet holds without knowing any of them.

#include <string>
#include <vector>

#include "commands.hpp"

namespace kelvane_dat::cli {

struct OptionOutline {
  // Without dashes; either may be empty, not both.
  std::string short_name;
  std::string long_name;
  // Empty for a flag.
  std::string value_name;
  // The words the value may be, from a value name written as "auto|always|never".
  std::vector<std::string> choices;
  // The value is a path, to complete as file names.
  bool takes_path = false;
  std::string description;
};

struct CommandOutline {
  // The words that lead to the command, "kelvane-dat strings export"; the root's is the program's.
  std::string path;
  std::string summary;
  std::vector<OptionOutline> options;
  // A positional argument is a path.
  bool takes_paths = false;
  std::vector<CommandOutline> subcommands;

  // The last word of the path.
  std::string name() const;
};

// The tool as a whole: its own options, each command with its nested subcommands, and "help",
// whose words are the commands' names.
CommandOutline outline_commands(const CommandSet& commands);

// Every command of the tree in depth-first order, the root first.
std::vector<const CommandOutline*> flatten(const CommandOutline& root);

}  // namespace kelvane_dat::cli
