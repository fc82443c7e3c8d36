// kelvane_dat_shell_files KIND OUTPUT [DATE]: writes a completion script (bash, zsh, fish) or the
// manual page (man, dated DATE) of kelvane-dat. The build runs it, so what ships is made from the
// option definitions the tool itself parses with.

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "command_outline.hpp"
#include "man_page.hpp"
#include "shell_completion.hpp"

namespace {

constexpr const char* kUsage = "usage: kelvane_dat_shell_files bash|zsh|fish|man OUTPUT [DATE]\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  using namespace kelvane_dat::cli;
  const std::string_view kind = argv[1];
  const CommandSet commands = all_commands();
  std::string text;
  if (kind == "bash") {
    text = bash_completion(outline_commands(commands));
  } else if (kind == "zsh") {
    text = zsh_completion(outline_commands(commands));
  } else if (kind == "fish") {
    text = fish_completion(outline_commands(commands));
  } else if (kind == "man" && argc == 4) {
    text = man_page(commands, argv[3]);
  } else {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "kelvane_dat_shell_files: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
