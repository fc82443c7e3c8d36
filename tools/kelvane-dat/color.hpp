#pragma once

// Whether the tool colours what it writes: --color=auto|always|never, and the NO_COLOR convention
// (set and not empty: no colour unless asked for with always).

#include <cstdio>
#include <string_view>

#include "command_line.hpp"

namespace kelvane_dat::cli {

enum class ColorChoice { Auto, Always, Never };

// --color WHEN on `app`; `choice` keeps its value when the option is absent.
CLI::Option* add_color_option(CLI::App& app, ColorChoice& choice);

// The one place the decision is made: auto colours a terminal that takes ANSI escapes, unless
// NO_COLOR is set and not empty.
bool should_use_color(ColorChoice choice, std::FILE* stream);

// Select Graphic Rendition escapes around a highlighted span: bold red, as grep tools draw matches.
inline constexpr std::string_view kHighlightStart = "\033[1;31m";
inline constexpr std::string_view kHighlightEnd = "\033[0m";

}  // namespace kelvane_dat::cli
