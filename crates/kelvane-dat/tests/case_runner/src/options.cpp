#include "case_runner/options.hpp"

#include <cstddef>
#include <cstdint>
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

// -Z unstable-options, which KELVANE_UNSTABLE_OPTIONS=1 must unlock.
std::expected<bool, std::string> read_unstable(const Matches& matches, const EnvLookup& env) {
  const auto z = matches.value("Z");
  if (!z) return false;
  const auto unlock = env ? env(kUnstableVariable) : std::nullopt;
  if (!unlock || *unlock != "1") {
    return std::unexpected("the option `Z` is only accepted when " +
                           std::string(kUnstableVariable) + "=1 is set");
  }
  if (*z != "unstable-options") return std::unexpected("Unrecognized option to `Z`");
  return true;
}

std::expected<bool, std::string> experimental_flag(const Matches& matches, bool unstable,
                                                   std::string_view name) {
  const bool given = matches.present(name);
  if (given && !unstable) {
    return std::unexpected("The \"" + std::string(name) +
                           "\" flag is only accepted with -Z unstable-options");
  }
  return given;
}

// --shuffle-seed, else KELVANE_TEST_SHUFFLE_SEED once the experimental options are unlocked.
std::expected<std::optional<std::uint64_t>, std::string> read_shuffle_seed(const Matches& matches,
                                                                           const EnvLookup& env,
                                                                           bool unstable) {
  if (const auto seed = matches.value("shuffle-seed")) {
    if (!unstable) {
      return std::unexpected(
          "The \"shuffle-seed\" option is only accepted with -Z unstable-options");
    }
    const auto parsed = internal::parse_unsigned(*seed);
    if (!parsed) {
      return std::unexpected(
          "argument for --shuffle-seed must be a number (error: " + parsed.error() + ")");
    }
    return *parsed;
  }
  if (!unstable || !env) return std::nullopt;
  const auto value = env(kShuffleSeedVariable);
  if (!value) return std::nullopt;
  const auto parsed = internal::parse_unsigned(*value);
  if (!parsed) {
    return std::unexpected(std::string(kShuffleSeedVariable) + " is `" + *value +
                           "`, should be a number.");
  }
  return *parsed;
}

// The experimental options. --fail-fast is checked after the shuffle seed, the order in which
// their problems have always been reported.
std::expected<void, std::string> read_experimental(const Matches& matches, const EnvLookup& env,
                                                   Options& options) {
  const auto unstable = read_unstable(matches, env);
  if (!unstable) return std::unexpected(unstable.error());
  options.unstable = *unstable;
  struct Flag {
    std::string_view name;
    bool Options::*field;
  };
  static constexpr Flag kFlagsBeforeSeed[] = {
      {"force-run-in-process", &Options::force_run_in_process},
      {"exclude-should-panic", &Options::exclude_expected_failures},
      {"report-time", &Options::report_time},
      {"ensure-time", &Options::ensure_time},
      {"shuffle", &Options::shuffle},
  };
  for (const Flag& flag : kFlagsBeforeSeed) {
    const auto given = experimental_flag(matches, options.unstable, flag.name);
    if (!given) return std::unexpected(given.error());
    options.*flag.field = *given;
  }
  if (!options.shuffle && options.unstable) {
    options.shuffle = is_set_and_not_zero(env, kShuffleVariable);
  }
  const auto seed = read_shuffle_seed(matches, env, options.unstable);
  if (!seed) return std::unexpected(seed.error());
  options.shuffle_seed = *seed;
  const auto fail_fast = experimental_flag(matches, options.unstable, "fail-fast");
  if (!fail_fast) return std::unexpected(fail_fast.error());
  options.fail_fast = *fail_fast;
  return {};
}

// Which cases run, and whether they run at all.
std::expected<void, std::string> read_selection(const Matches& matches, Options& options) {
  const bool include_ignored = matches.present("include-ignored");
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
  return {};
}

std::expected<std::optional<std::size_t>, std::string> parse_test_threads(
    const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  const auto parsed = internal::parse_unsigned(*text);
  if (!parsed) {
    return std::unexpected(
        "argument for --test-threads must be a number > 0 (error: " + parsed.error() + ")");
  }
  if (*parsed == 0) return std::unexpected("argument for --test-threads must not be 0");
  return static_cast<std::size_t>(*parsed);
}

std::expected<ColorChoice, std::string> parse_color(const std::optional<std::string>& color) {
  if (!color || *color == "auto") return ColorChoice::Auto;
  if (*color == "always") return ColorChoice::Always;
  if (*color == "never") return ColorChoice::Never;
  return std::unexpected("argument for --color must be auto, always, or never (was " + *color +
                         ")");
}

// Without --format, -q picks the terse format.
std::expected<OutputFormat, std::string> parse_format(const std::optional<std::string>& format,
                                                      bool quiet, bool unstable) {
  if (!format) return quiet ? OutputFormat::Terse : OutputFormat::Pretty;
  if (*format == "pretty") return OutputFormat::Pretty;
  if (*format == "terse") return OutputFormat::Terse;
  if (*format == "json" || *format == "junit") {
    if (!unstable) {
      return std::unexpected("The \"" + *format +
                             "\" format is only accepted with -Z unstable-options");
    }
    return *format == "json" ? OutputFormat::Json : OutputFormat::Junit;
  }
  return std::unexpected("argument for --format must be pretty, terse, json or junit (was " +
                         *format + ")");
}

// How the cases run and how the run is reported.
std::expected<void, std::string> read_execution(const Matches& matches, const EnvLookup& env,
                                                Options& options) {
  options.no_capture = matches.present("no-capture") || matches.present("nocapture") ||
                       is_set_and_not_zero(env, kNoCaptureVariable);
  const auto threads = parse_test_threads(matches.value("test-threads"));
  if (!threads) return std::unexpected(threads.error());
  options.test_threads = *threads;
  options.show_output = matches.present("show-output");
  const auto color = parse_color(matches.value("color"));
  if (!color) return std::unexpected(color.error());
  options.color = *color;
  const auto format =
      parse_format(matches.value("format"), matches.present("quiet"), options.unstable);
  if (!format) return std::unexpected(format.error());
  options.format = *format;
  return {};
}

// Gives meaning to the scanned options, checking them in a fixed order so that the first
// problem reported does not depend on the order of the command line.
std::expected<Options, std::string> interpret(const Matches& matches, const EnvLookup& env,
                                              Options options) {
  if (auto read = read_experimental(matches, env, options); !read) {
    return std::unexpected(std::move(read.error()));
  }
  if (auto read = read_selection(matches, options); !read) {
    return std::unexpected(std::move(read.error()));
  }
  if (auto read = read_execution(matches, env, options); !read) {
    return std::unexpected(std::move(read.error()));
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
