// kelvane-dat: looks inside Kelvane data archives (info, ls, cat, strings, verify),
// unpacks, compares and searches them (extract, diff, grep).

#include <string>
#include <vector>

#include "commands.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return kelvane_dat::cli::run_tool(args);
}
