#include "case_runner/options.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "internal/integer_parse.hpp"
#include "internal/option_table.hpp"

namespace case_runner {
namespace {

using internal::Occurrence;
using internal::OptionSpec;
using internal::TakesArgument;

// The options as written on the command line, before their meaning is checked.
struct Matches {
  std::vector<std::vector<std::string>> values;  // per option-table row; "" for a flag
  std::vector<std::string> free;

  const std::vector<std::string>& all(std::string_view name) const {
    const auto table = internal::option_table();
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (internal::option_display_name(table[i]) == name) return values[i];
    }
    static const std::vector<std::string> kNone;
    return kNone;
  }
  bool present(std::string_view name) const { return !all(name).empty(); }
  std::optional<std::string> value(std::string_view name) const {
    const auto& found = all(name);
    if (found.empty()) return std::nullopt;
    return found.front();
  }
};

// A name as typed, without its dashes. A long name of one byte ("--q") means the short
// option of that letter, as in the classic getopts.
struct TypedName {
  bool is_short;
  std::string text;
};

std::optional<std::size_t> find_option(const TypedName& name) {
  const auto table = internal::option_table();
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (name.is_short ? (table[i].short_name != '\0' && name.text.size() == 1 &&
                         table[i].short_name == name.text[0])
                      : table[i].long_name == name.text) {
      return i;
    }
  }
  return std::nullopt;
}

std::size_t utf8_length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

std::string unrecognized(std::string_view name) {
  return "Unrecognized option: '" + std::string(name) + "'";
}

std::expected<Matches, std::string> scan(std::span<const std::string_view> args) {
  const auto table = internal::option_table();
  Matches matches;
  matches.values.resize(table.size());
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view current = args[i];
    if (current.size() < 2 || current[0] != '-') {
      matches.free.emplace_back(current);
      continue;
    }
    if (current == "--") {
      for (++i; i < args.size(); ++i) matches.free.emplace_back(args[i]);
      break;
    }
    std::vector<TypedName> names;
    std::optional<std::string> inline_argument;
    if (current[1] == '-') {
      std::string_view tail = current.substr(2);
      const std::size_t equals = tail.find('=');
      if (equals != std::string_view::npos) {
        inline_argument = std::string(tail.substr(equals + 1));
        tail = tail.substr(0, equals);
      }
      names.push_back({tail.size() == 1, std::string(tail)});
    } else {
      // A cluster of short options; one that takes an argument takes the rest of the word.
      for (std::size_t j = 1; j < current.size();) {
        const std::size_t next =
            std::min(current.size(), j + utf8_length(static_cast<unsigned char>(current[j])));
        TypedName name{true, std::string(current.substr(j, next - j))};
        const auto id = find_option(name);
        if (!id) return std::unexpected(unrecognized(name.text));
        names.push_back(std::move(name));
        if (table[*id].argument == TakesArgument::Yes && next < current.size()) {
          inline_argument = std::string(current.substr(next));
          break;
        }
        j = next;
      }
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
      const TypedName& name = names[k];
      const auto id = find_option(name);
      if (!id) return std::unexpected(unrecognized(name.text));
      if (table[*id].argument == TakesArgument::No) {
        if (k + 1 == names.size() && inline_argument) {
          return std::unexpected("Option '" + name.text + "' does not take an argument");
        }
        matches.values[*id].emplace_back();
      } else if (inline_argument) {
        matches.values[*id].push_back(std::move(*inline_argument));
        inline_argument.reset();
      } else if (i + 1 < args.size()) {
        matches.values[*id].emplace_back(args[++i]);
      } else {
        return std::unexpected("Argument to option '" + name.text + "' missing");
      }
    }
  }
  for (std::size_t id = 0; id < table.size(); ++id) {
    if (table[id].occurrence == Occurrence::AtMostOnce && matches.values[id].size() > 1) {
      return std::unexpected("Option '" + std::string(internal::option_display_name(table[id])) +
                             "' given more than once");
    }
  }
  return matches;
}

bool is_set_and_not_zero(const EnvLookup& env, std::string_view name) {
  if (!env) return false;
  const auto value = env(name);
  return value.has_value() && *value != "0";
}

// Gives meaning to the scanned options, checking them in a fixed order so that the first
// problem reported does not depend on the order of the command line.
std::expected<Options, std::string> interpret(const Matches& matches, const EnvLookup& env,
                                              Options options) {
  if (const auto z = matches.value("Z")) {
    const auto unlock = env ? env(kUnstableVariable) : std::nullopt;
    if (!unlock || *unlock != "1") {
      return std::unexpected("the option `Z` is only accepted when " +
                             std::string(kUnstableVariable) + "=1 is set");
    }
    if (*z != "unstable-options") return std::unexpected("Unrecognized option to `Z`");
    options.unstable = true;
  }
  std::string refused;
  const auto experimental_flag = [&](std::string_view name) {
    const bool given = matches.present(name);
    if (given && !options.unstable && refused.empty()) {
      refused = "The \"" + std::string(name) + "\" flag is only accepted with -Z unstable-options";
    }
    return given;
  };
  options.force_run_in_process = experimental_flag("force-run-in-process");
  options.exclude_expected_failures = experimental_flag("exclude-should-panic");
  options.report_time = experimental_flag("report-time");
  options.ensure_time = experimental_flag("ensure-time");
  options.shuffle = experimental_flag("shuffle");
  if (!refused.empty()) return std::unexpected(refused);
  if (!options.shuffle && options.unstable) {
    options.shuffle = is_set_and_not_zero(env, kShuffleVariable);
  }
  if (const auto seed = matches.value("shuffle-seed")) {
    if (!options.unstable) {
      return std::unexpected(
          "The \"shuffle-seed\" option is only accepted with -Z unstable-options");
    }
    const auto parsed = internal::parse_unsigned(*seed);
    if (!parsed) {
      return std::unexpected(
          "argument for --shuffle-seed must be a number (error: " + parsed.error() + ")");
    }
    options.shuffle_seed = *parsed;
  } else if (options.unstable && env) {
    if (const auto value = env(kShuffleSeedVariable)) {
      const auto parsed = internal::parse_unsigned(*value);
      if (!parsed) {
        return std::unexpected(std::string(kShuffleSeedVariable) + " is `" + *value +
                               "`, should be a number.");
      }
      options.shuffle_seed = *parsed;
    }
  }
  options.fail_fast = experimental_flag("fail-fast");
  if (!refused.empty()) return std::unexpected(refused);

  const bool include_ignored = matches.present("include-ignored");
  const bool quiet = matches.present("quiet");
  options.exact = matches.present("exact");
  options.list = matches.present("list");
  options.skip = matches.all("skip");
  options.bench = matches.present("bench");
  options.run_cases = !options.bench || matches.present("test");
  options.logfile = matches.value("logfile");
  if (include_ignored && matches.present("ignored")) {
    return std::unexpected("the options --include-ignored and --ignored are mutually exclusive");
  }
  options.run_ignored = include_ignored              ? RunIgnored::Yes
                        : matches.present("ignored") ? RunIgnored::Only
                                                     : RunIgnored::No;
  options.filters = matches.free;
  options.no_capture = matches.present("no-capture") || matches.present("nocapture") ||
                       is_set_and_not_zero(env, kNoCaptureVariable);
  if (const auto threads = matches.value("test-threads")) {
    const auto parsed = internal::parse_unsigned(*threads);
    if (!parsed) {
      return std::unexpected(
          "argument for --test-threads must be a number > 0 (error: " + parsed.error() + ")");
    }
    if (*parsed == 0) return std::unexpected("argument for --test-threads must not be 0");
    options.test_threads = static_cast<std::size_t>(*parsed);
  }
  options.show_output = matches.present("show-output");

  const auto color = matches.value("color");
  if (!color || *color == "auto") {
    options.color = ColorChoice::Auto;
  } else if (*color == "always") {
    options.color = ColorChoice::Always;
  } else if (*color == "never") {
    options.color = ColorChoice::Never;
  } else {
    return std::unexpected("argument for --color must be auto, always, or never (was " + *color +
                           ")");
  }

  const auto format = matches.value("format");
  if (!format) {
    options.format = quiet ? OutputFormat::Terse : OutputFormat::Pretty;
  } else if (*format == "pretty") {
    options.format = OutputFormat::Pretty;
  } else if (*format == "terse") {
    options.format = OutputFormat::Terse;
  } else if (*format == "json" || *format == "junit") {
    if (!options.unstable) {
      return std::unexpected("The \"" + *format +
                             "\" format is only accepted with -Z unstable-options");
    }
    options.format = *format == "json" ? OutputFormat::Json : OutputFormat::Junit;
  } else {
    return std::unexpected("argument for --format must be pretty, terse, json or junit (was " +
                           *format + ")");
  }
  return options;
}

}  // namespace

std::expected<Options, std::string> parse_options(std::span<const std::string_view> args,
                                                  const EnvLookup& env) {
  Options options;
  options.program = args.empty() ? std::string("...") : std::string(args.front());
  auto matches = scan(args);
  if (!matches) return std::unexpected(std::move(matches.error()));
  if (matches->present("help")) {
    options.help = true;
    return options;
  }
  return interpret(*matches, env, std::move(options));
}

}  // namespace case_runner
