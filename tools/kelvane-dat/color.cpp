#include "color.hpp"

#include <cstdlib>
#include <string>

#include "kelvane_platform/console.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

CLI::Option* add_color_option(CLI::App& app, ColorChoice& choice) {
  return app
      .add_option_function<std::string>(
          "--color",
          [&choice](const std::string& value) {
            if (value == "auto") {
              choice = ColorChoice::Auto;
            } else if (value == "always") {
              choice = ColorChoice::Always;
            } else if (value == "never") {
              choice = ColorChoice::Never;
            } else {
              throw CLI::ValidationError("--color: expected auto, always or never, not '" + value +
                                         "'");
            }
          },
          "colour the output: on a terminal (auto, the default), always or never")
      // The completions offer the words of a value name written with bars.
      ->type_name("auto|always|never");
}

bool should_use_color(ColorChoice choice, std::FILE* stream) {
  switch (choice) {
    case ColorChoice::Always:
      return true;
    case ColorChoice::Never:
      return false;
    case ColorChoice::Auto: {
      const char* no_color = std::getenv("NO_COLOR");
      if (no_color != nullptr && *no_color != '\0') return false;
      // is_terminal first: captured output is never a terminal.
      return is_terminal(stream) && kelvane_platform::terminal_supports_color(stream);
    }
  }
  return false;
}

}  // namespace kelvane_dat::cli
