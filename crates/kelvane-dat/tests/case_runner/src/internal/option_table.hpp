#pragma once

// The options the runner knows, in declaration order: the order in which repeated options
// are reported and in which the help lists them.

#include <span>
#include <string_view>

namespace case_runner::internal {

enum class TakesArgument { No, Yes };
enum class Occurrence { AtMostOnce, Repeatable };

struct OptionSpec {
  char short_name;             // '\0' when the option has no short form
  std::string_view long_name;  // empty when the option has no long form
  TakesArgument argument;
  Occurrence occurrence;
  std::string_view hint;  // argument placeholder in the help, e.g. "PATH"
  std::string_view help;  // lines of the description, separated by '\n'
};

std::span<const OptionSpec> option_table();

// The name used in messages: the long name, or the short letter when there is none.
std::string_view option_display_name(const OptionSpec& option);

}  // namespace case_runner::internal
