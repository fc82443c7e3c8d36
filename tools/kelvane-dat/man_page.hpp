#pragma once

// The kelvane-dat(1) manual page in man(7) markup, written at build time from the same definitions
// as the help, so the two cannot drift apart.

#include <string>
#include <string_view>

#include "commands.hpp"

namespace kelvane_dat::cli {

// `date` goes in the title line ("2026-12-09"), so a rebuild from the same sources writes the same
// page.
std::string man_page(const CommandSet& commands, std::string_view date);

}  // namespace kelvane_dat::cli
