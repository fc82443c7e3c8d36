// The completions and the manual page follow whatever the command set holds, nested subcommands
// included; the shells themselves try the real tool's scripts (completion_check.sh).

#include <gtest/gtest.h>

#include <string>

#include "command_outline.hpp"
#include "man_page.hpp"
#include "shell_completion.hpp"

namespace kelvane_dat::cli {
namespace {

struct PackOptions {
  std::string archive;
};

struct PoOptions {
  std::string format;
  std::string output;
  bool quiet = false;
};

template <class Options>
int run_nothing(const Options&) {
  return 0;
}

// A command "pack" with a subcommand "pack po" holding a choice, a path option and a flag.
CommandSet nested_commands() {
  CommandSet commands;
  const auto [app, pack] =
      commands.add<PackOptions>("pack", "pack things", "", &run_nothing<PackOptions>);
  add_path_argument(app, "ARCHIVE", pack.archive, "the archive");
  const auto [po, options] = commands.subcommands_of("pack").add<PoOptions>(
      "po", "write PO files", "", &run_nothing<PoOptions>);
  po.add_option("--format", options.format, "the flavour")->type_name("plain|msgctxt");
  po.add_option("-o,--output", options.output, "where")->type_name("PATH");
  po.add_flag("-q,--quiet", options.quiet, "say nothing");
  return commands;
}

TEST(ShellFiles, OutlineFollowsNestedSubcommands) {
  const CommandSet commands = nested_commands();
  const CommandOutline root = outline_commands(commands);
  std::vector<std::string> paths;
  for (const CommandOutline* command : flatten(root)) paths.push_back(command->path);
  EXPECT_EQ(paths,
            (std::vector<std::string>{"kelvane-dat", "kelvane-dat pack", "kelvane-dat pack po",
                                      "kelvane-dat help", "kelvane-dat help pack"}));
  const CommandOutline& pack = root.subcommands.at(0);
  EXPECT_TRUE(pack.takes_paths);
  const CommandOutline& po = pack.subcommands.at(0);
  EXPECT_EQ(po.summary, "write PO files");
  ASSERT_EQ(po.options.size(), 4u);  // --format, --output, --quiet, --help
  EXPECT_EQ(po.options[0].choices, (std::vector<std::string>{"plain", "msgctxt"}));
  EXPECT_FALSE(po.options[0].takes_path);
  EXPECT_TRUE(po.options[1].takes_path);
  EXPECT_EQ(po.options[1].short_name, "o");
  EXPECT_EQ(po.options[2].value_name, "");
}

TEST(ShellFiles, EveryFileReachesTheNestedSubcommand) {
  const CommandSet commands = nested_commands();
  const CommandOutline root = outline_commands(commands);
  struct Case {
    std::string name;
    std::string text;
    std::vector<std::string> needles;
  };
  const Case cases[] = {
      {"bash",
       bash_completion(root),
       {"'kelvane-dat pack|po'",
        "'kelvane-dat pack po|--format') COMPREPLY=($(compgen -W "
        "'plain msgctxt'"}},
      {"zsh", zsh_completion(root), {"'kelvane-dat pack|po'", "'po:write PO files'"}},
      {"fish",
       fish_completion(root),
       {"'kelvane-dat pack|po'", "-l 'format' -r -a 'plain msgctxt'", "-s 'o' -l 'output' -r -F"}},
      {"man",
       man_page(commands, "2026-01-01"),
       {".SS pack po\n.B kelvane\\-dat pack po [OPTIONS]\n", ".B \\-o, \\-\\-output PATH\n"}},
  };
  for (const Case& c : cases) {
    for (const std::string& needle : c.needles) {
      EXPECT_NE(c.text.find(needle), std::string::npos) << c.name << ": " << needle;
    }
  }
}

}  // namespace
}  // namespace kelvane_dat::cli
