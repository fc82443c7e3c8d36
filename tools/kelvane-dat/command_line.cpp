#include "command_line.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <system_error>

namespace kelvane_dat::cli {

namespace {

std::string single_quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// The value of each hexadecimal digit, -1 for every other byte. Looked up rather than tested by
// range: digits and letters alternate at random in ids, which defeats branch prediction.
constexpr std::array<std::int8_t, 256> kHexDigitValues = [] {
  std::array<std::int8_t, 256> values{};
  values.fill(-1);
  for (std::size_t i = 0; i < 10; ++i) values['0' + i] = static_cast<std::int8_t>(i);
  for (std::size_t i = 0; i < 6; ++i) {
    values['a' + i] = static_cast<std::int8_t>(10 + i);
    values['A' + i] = static_cast<std::int8_t>(10 + i);
  }
  return values;
}();

// The digit's value, or -1 for a character that is no hexadecimal digit.
int hex_digit_value(char c) { return kHexDigitValues[static_cast<unsigned char>(c)]; }

bool is_hex_digit(char c) { return hex_digit_value(c) >= 0; }

bool is_decimal_digit(char c) { return c >= '0' && c <= '9'; }

// The ID positional, into a plain or an optional id.
template <class Id>
CLI::Option* add_id_argument(CLI::App& app, Id& id, std::string help) {
  return app
      .add_option_function<std::string>(
          "ID",
          [&id](const std::string& text) {
            const std::expected<std::uint32_t, std::string> parsed = parse_file_id(text);
            if (!parsed) throw CLI::ValidationError(parsed.error());
            id = *parsed;
          },
          std::move(help))
      ->type_name("ID");
}

}  // namespace

const Command* CommandSet::find(std::string_view name) const {
  for (const Command& command : commands_) {
    if (command.name() == name) return &command;
  }
  return nullptr;
}

CommandSet& CommandSet::subcommands_of(std::string_view parent) {
  for (Command& command : commands_) {
    if (command.name() != parent) continue;
    if (!command.subcommands) {
      command.subcommands = std::make_shared<CommandSet>();
      command.subcommands->prefix_ = command.full_name + " ";
    }
    return *command.subcommands;
  }
  // A definition naming a parent it never added: a mistake in the command list, not in the input.
  throw std::logic_error("no command '" + std::string(parent) + "' to nest commands under");
}

std::pair<const Command*, std::size_t> CommandSet::find_nested(
    std::span<const std::string> words) const {
  if (words.empty()) return {nullptr, 0};
  const Command* command = find(words.front());
  if (command == nullptr) return {nullptr, 0};
  std::size_t used = 1;
  while (command->subcommands && used < words.size()) {
    const Command* nested = command->subcommands->find(words[used]);
    if (nested == nullptr) break;
    command = nested;
    ++used;
  }
  return {command, used};
}

Command& CommandSet::add_command(std::string name, std::string summary, std::string details,
                                 std::function<int()> run) {
  auto app = std::make_unique<CLI::App>(summary, std::move(name));
  app->set_help_flag("-h,--help", "show this help");
  // Options are spelled alike on every system: on Windows too, /dir/archive.dat is a path.
  app->allow_windows_style_options(false);
  // Unknown options and surplus arguments are reported in the tool's own words.
  app->allow_extras();
  // As GNU tools have it: an option given twice takes its last value.
  app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  std::string full_name = prefix_ + app->get_name();
  commands_.push_back(Command{nullptr, std::move(app), std::move(summary), std::move(details),
                              std::move(run), std::move(full_name), nullptr});
  return commands_.back();
}

std::expected<ParseOutcome, std::string> parse_command(const Command& command,
                                                       std::span<const std::string> args) {
  CLI::App& app = *command.app;
  // CLI11 takes its arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return ParseOutcome::Help;
  } catch (const CLI::RequiredError& error) {
    std::string_view text = error.what();
    constexpr std::string_view kRequired = " is required";
    if (text.ends_with(kRequired)) text.remove_suffix(kRequired.size());
    return std::unexpected("missing " + std::string(text));
  } catch (const CLI::ArgumentMismatch& error) {
    // "--type: 1 required NAME missing": an option given without its value.
    const std::string_view text = error.what();
    const std::string name(text.substr(0, text.find(':')));
    const CLI::Option* option = app.get_option_no_throw(name);
    if (option == nullptr || !text.ends_with(" missing")) return std::unexpected(std::string(text));
    return std::unexpected("option " + single_quoted(name) + " needs a value (" +
                           option->get_type_name() + ")");
  } catch (const CLI::ParseError& error) {
    return std::unexpected(std::string(error.what()));
  }
  std::vector<std::string> extras = app.remaining();
  // CLI11 keeps the "--" that ended the options among the arguments it did not use.
  std::erase(extras, "--");
  if (extras.empty()) return ParseOutcome::Run;
  const std::string& first = extras.front();
  if (first.size() > 1 && first.starts_with('-')) {
    return std::unexpected("unknown option " + single_quoted(first.substr(0, first.find('='))));
  }
  return std::unexpected("unexpected argument " + single_quoted(first));
}

CLI::Option* add_path_argument(CLI::App& app, std::string name, std::string& path,
                               std::string help) {
  return app.add_option(std::move(name), path, std::move(help))->required()->type_name("PATH");
}

CLI::Option* add_file_id_argument(CLI::App& app, std::uint32_t& id, std::string help) {
  return add_id_argument(app, id, std::move(help))->required();
}

CLI::Option* add_file_id_argument(CLI::App& app, std::optional<std::uint32_t>& id,
                                  std::string help) {
  return add_id_argument(app, id, std::move(help));
}

CLI::Option* add_file_ids_argument(CLI::App& app, std::vector<std::uint32_t>& ids,
                                   std::string help) {
  return app
      .add_option_function<std::vector<std::string>>(
          "ID",
          [&ids](const std::vector<std::string>& texts) {
            ids.clear();
            for (const std::string& text : texts) {
              const std::expected<std::uint32_t, std::string> parsed = parse_file_id(text);
              if (!parsed) throw CLI::ValidationError(parsed.error());
              ids.push_back(*parsed);
            }
          },
          std::move(help))
      ->required()
      ->type_name("ID");
}

std::expected<std::uint32_t, std::string> parse_file_id(std::string_view text) {
  // Built only on failure: translation files parse millions of ids.
  const auto problem = [text] {
    return std::unexpected("invalid file id " + single_quoted(text) +
                           " (expected hexadecimal like 0x2300000A, or a decimal number)");
  };
  const bool hex = text.starts_with("0x") || text.starts_with("0X");
  const std::string_view digits = hex ? text.substr(2) : text;
  if (digits.empty()) return problem();
  if (hex && digits.size() <= 8) {
    // Every id the tool writes: checked and summed in one pass, and too short to overflow.
    std::uint32_t value = 0;
    bool valid = true;
    for (const char c : digits) {
      const int digit = hex_digit_value(c);
      valid &= digit >= 0;
      value = value << 4 | static_cast<std::uint32_t>(digit & 0xF);
    }
    if (!valid) return problem();
    return value;
  }
  for (const char c : digits) {
    if (!(hex ? is_hex_digit(c) : is_decimal_digit(c))) return problem();
  }
  std::uint32_t value = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
  if (error == std::errc::result_out_of_range) {
    return std::unexpected("file id " + single_quoted(text) + " does not fit in 32 bits");
  }
  if (error != std::errc() || end != digits.data() + digits.size()) {
    return problem();
  }
  return value;
}

std::expected<std::size_t, std::string> parse_count(std::string_view text, std::size_t max) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
      value > max) {
    return std::unexpected("expected a whole number from 1 to " + std::to_string(max) + ", not " +
                           single_quoted(text));
  }
  return value;
}

}  // namespace kelvane_dat::cli
