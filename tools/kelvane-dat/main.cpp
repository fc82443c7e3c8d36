// kelvane-dat: looks inside Kelvane data archives (info, ls, cat, strings, verify),
// unpacks, compares and searches them (extract, diff, grep).

#include <string>
#include <vector>

#include "commands.hpp"
#include "kelvane_platform/command_line.hpp"
#include "kelvane_platform/console.hpp"

int main(int argc, char** argv) {
  // cat writes archive bytes unchanged and the text commands write UTF-8 with "\n" line ends.
  kelvane_platform::use_binary_mode(stdout);
  kelvane_platform::use_binary_mode(stderr);
  std::vector<std::string> args = kelvane_platform::utf8_arguments(argc, argv);
  args.erase(args.begin());
  return kelvane_dat::cli::run_tool(args);
}
