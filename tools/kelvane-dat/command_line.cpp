#include "command_line.hpp"

#include <charconv>
#include <system_error>

namespace kelvane_dat::cli {

namespace {

constexpr std::string_view kHelpName = "help";
constexpr char kHelpShortName = 'h';

const OptionSyntax* find_long(const CommandSyntax& syntax, std::string_view name) {
  for (const OptionSyntax& option : syntax.options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

const OptionSyntax* find_short(const CommandSyntax& syntax, char name) {
  for (const OptionSyntax& option : syntax.options) {
    if (option.short_name != 0 && option.short_name == name) return &option;
  }
  return nullptr;
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_decimal_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<std::string> ParsedArguments::value(std::string_view option) const {
  const auto found = values_.find(std::string(option));
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> ParsedArguments::positional(std::size_t index) const {
  if (index >= positionals_.size()) return std::nullopt;
  return positionals_[index];
}

std::expected<ParsedArguments, std::string> parse_arguments(const CommandSyntax& syntax,
                                                            std::span<const std::string> args) {
  ParsedArguments parsed;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg == "-" || !arg.starts_with('-')) {
      parsed.positionals_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg.starts_with("--")) {
      const std::string_view body = std::string_view(arg).substr(2);
      const std::size_t equals = body.find('=');
      const std::string_view name = body.substr(0, equals);
      if (name == kHelpName) {
        parsed.help_requested_ = true;
        return parsed;
      }
      const OptionSyntax* option = find_long(syntax, name);
      if (option == nullptr)
        return std::unexpected("unknown option " + quoted("--" + std::string(name)));
      if (option->value_name.empty()) {
        if (equals != std::string_view::npos) {
          return std::unexpected("option " + quoted("--" + std::string(name)) + " takes no value");
        }
        parsed.values_[std::string(name)] = "";
      } else if (equals != std::string_view::npos) {
        parsed.values_[std::string(name)] = std::string(body.substr(equals + 1));
      } else if (i + 1 < args.size()) {
        parsed.values_[std::string(name)] = args[++i];
      } else {
        return std::unexpected("option " + quoted("--" + std::string(name)) + " needs a value (" +
                               std::string(option->value_name) + ")");
      }
      continue;
    }
    // A cluster of short options: flags, possibly ending in one that takes a value.
    for (std::size_t at = 1; at < arg.size(); ++at) {
      const char name = arg[at];
      if (name == kHelpShortName) {
        parsed.help_requested_ = true;
        return parsed;
      }
      const OptionSyntax* option = find_short(syntax, name);
      if (option == nullptr)
        return std::unexpected("unknown option " + quoted(std::string("-") + name));
      if (option->value_name.empty()) {
        parsed.values_[std::string(option->name)] = "";
        continue;
      }
      if (at + 1 < arg.size()) {
        parsed.values_[std::string(option->name)] = arg.substr(at + 1);
      } else if (i + 1 < args.size()) {
        parsed.values_[std::string(option->name)] = args[++i];
      } else {
        return std::unexpected("option " + quoted(std::string("-") + name) + " needs a value (" +
                               std::string(option->value_name) + ")");
      }
      break;
    }
  }
  if (parsed.positionals_.size() < syntax.required_positionals) {
    return std::unexpected("missing " +
                           std::string(syntax.positionals[parsed.positionals_.size()]));
  }
  if (parsed.positionals_.size() > syntax.positionals.size()) {
    return std::unexpected("unexpected argument " +
                           quoted(parsed.positionals_[syntax.positionals.size()]));
  }
  return parsed;
}

std::expected<std::uint32_t, std::string> parse_file_id(std::string_view text) {
  const std::string problem = "invalid file id " + quoted(text) +
                              " (expected hexadecimal like 0x2300000A, or a decimal number)";
  const bool hex = text.starts_with("0x") || text.starts_with("0X");
  const std::string_view digits = hex ? text.substr(2) : text;
  if (digits.empty()) return std::unexpected(problem);
  for (const char c : digits) {
    if (!(hex ? is_hex_digit(c) : is_decimal_digit(c))) return std::unexpected(problem);
  }
  std::uint32_t value = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
  if (error == std::errc::result_out_of_range) {
    return std::unexpected("file id " + quoted(text) + " does not fit in 32 bits");
  }
  if (error != std::errc() || end != digits.data() + digits.size()) {
    return std::unexpected(problem);
  }
  return value;
}

std::expected<std::size_t, std::string> parse_count(std::string_view text, std::size_t max) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
      value > max) {
    return std::unexpected("expected a whole number from 1 to " + std::to_string(max) + ", not " +
                           quoted(text));
  }
  return value;
}

}  // namespace kelvane_dat::cli
