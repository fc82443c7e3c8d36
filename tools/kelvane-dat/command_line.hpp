#pragma once

// The command line of the tool: the set of subcommands, each a CLI11 command bound to a typed
// options struct of its own, and the values every command parses the same way.
//
// A subcommand lives in its own file (cat_command.cpp): its options struct, the function that runs
// it, and an add_*_command function that defines its arguments on the CommandSet. Adding one is
// that file, a declaration in commands.hpp and a line in command_list.cpp; the help, the usage
// errors, the shell completions and the man page all come from the same definition.
//
// Options may come before, between or after the positional arguments, as GNU tools allow; "--"
// makes everything after it positional; flags cluster ("-lf"). "--help" and "-h" are understood by
// every subcommand.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "CLI/CLI.hpp"

namespace kelvane_dat::cli {

// One subcommand: its CLI11 definition, its texts and what runs it once parsed.
struct Command {
  // Owns the options struct the definition writes into.
  std::shared_ptr<void> options;
  std::unique_ptr<CLI::App> app;
  // One line, for the overview and the top of the command's help ("list the files of ...").
  std::string summary;
  // Text after the options in the help, may be empty.
  std::string details;
  // Returns the exit status.
  std::function<int()> run;

  const std::string& name() const { return app->get_name(); }
};

// What a command's definition gets to fill in: its CLI11 command and its options struct.
template <class Options>
struct CommandDefinition {
  CLI::App& app;
  Options& options;
};

class CommandSet {
 public:
  // Adds the subcommand `name`, whose arguments are then defined on the returned app, writing into
  // the returned options; `run` is called with them once the command line parsed.
  template <class Options>
  CommandDefinition<Options> add(std::string name, std::string summary, std::string details,
                                 int (*run)(const Options&)) {
    auto options = std::make_shared<Options>();
    Command& command = add_command(std::move(name), std::move(summary), std::move(details),
                                   [options, run] { return run(*options); });
    command.options = options;
    return {*command.app, *options};
  }

  // In the order they were added, which the overview keeps.
  const std::vector<Command>& commands() const { return commands_; }
  // nullptr for a name no command has.
  const Command* find(std::string_view name) const;

 private:
  Command& add_command(std::string name, std::string summary, std::string details,
                       std::function<int()> run);

  std::vector<Command> commands_;
};

// What parsing a command's arguments found.
enum class ParseOutcome { Run, Help };

// Parses `args` (the arguments after the subcommand's name) into the command's options. The error
// is the text of a usage error ("unknown option '--foo'"). Help asked for anywhere wins.
std::expected<ParseOutcome, std::string> parse_command(const Command& command,
                                                       std::span<const std::string> args);

// A required positional: the path of an archive (or of anything else the command names).
CLI::Option* add_path_argument(CLI::App& app, std::string name, std::string& path,
                               std::string help);

// A file id positional, parsed by parse_file_id; required unless `id` is an optional.
CLI::Option* add_file_id_argument(CLI::App& app, std::uint32_t& id, std::string help);
CLI::Option* add_file_id_argument(CLI::App& app, std::optional<std::uint32_t>& id,
                                  std::string help);

// One or more file id positionals, each parsed by parse_file_id, in the order given.
CLI::Option* add_file_ids_argument(CLI::App& app, std::vector<std::uint32_t>& ids,
                                   std::string help);

// A file id as users type it: "0x" or "0X" and one to eight hexadecimal digits, or a decimal
// number below 2^32. The error text says what was wrong.
std::expected<std::uint32_t, std::string> parse_file_id(std::string_view text);

// A positive count no larger than `max`, in decimal.
std::expected<std::size_t, std::string> parse_count(std::string_view text, std::size_t max);

}  // namespace kelvane_dat::cli
