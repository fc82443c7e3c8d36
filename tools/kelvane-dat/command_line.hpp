#pragma once

// The command line of one subcommand: what it accepts, and parsing it.
//
// Options may come before, between or after the positional arguments, as GNU tools allow; "--"
// makes everything after it positional. A long option takes its value as "--name=value" or as the
// next argument, a short one as "-xVALUE" or as the next argument; flags cluster ("-lf").
// "--help" and "-h" are understood by every subcommand.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane_dat::cli {

struct OptionSyntax {
  // Without the dashes: "type" for --type.
  std::string_view name;
  // 0 when the option has no short form.
  char short_name = 0;
  // Empty for a flag; otherwise how the help shows the value ("NAME").
  std::string_view value_name;
  std::string_view help;
};

struct CommandSyntax {
  std::string_view name;
  // One line, for the overview and the top of the command's help.
  std::string_view summary;
  // Names of the positional arguments in order, as the help shows them ("ARCHIVE").
  std::span<const std::string_view> positionals;
  // How many of them must be given; the rest are optional.
  std::size_t required_positionals = 0;
  std::span<const OptionSyntax> options;
  // Text after the options in the help, may be empty.
  std::string_view details;
};

class ParsedArguments {
 public:
  bool help_requested() const { return help_requested_; }
  bool has(std::string_view option) const { return values_.contains(std::string(option)); }
  // The last value given to the option.
  std::optional<std::string> value(std::string_view option) const;
  const std::vector<std::string>& positionals() const { return positionals_; }
  // The positional at `index`, or nullopt when it was not given.
  std::optional<std::string> positional(std::size_t index) const;

 private:
  friend std::expected<ParsedArguments, std::string> parse_arguments(
      const CommandSyntax& syntax, std::span<const std::string> args);

  bool help_requested_ = false;
  // Flags map to an empty value.
  std::map<std::string, std::string> values_;
  std::vector<std::string> positionals_;
};

// Parses `args` (the arguments after the subcommand's name). The error is the text of a usage
// error ("unknown option '--foo'"). As soon as help is asked for, parsing stops and nothing else
// is checked.
std::expected<ParsedArguments, std::string> parse_arguments(const CommandSyntax& syntax,
                                                            std::span<const std::string> args);

// A file id as users type it: "0x" or "0X" and one to eight hexadecimal digits, or a decimal
// number below 2^32. The error text says what was wrong.
std::expected<std::uint32_t, std::string> parse_file_id(std::string_view text);

// A positive count no larger than `max`, in decimal.
std::expected<std::size_t, std::string> parse_count(std::string_view text, std::size_t max);

}  // namespace kelvane_dat::cli
