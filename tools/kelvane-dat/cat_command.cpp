// kelvane-dat cat ARCHIVE ID: one file's bytes, expanded if stored compressed, to standard output.

#include "commands.hpp"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::string_view kPositionals[] = {"ARCHIVE", "ID"};
constexpr OptionSyntax kOptions[] = {
    {.name = "force",
     .short_name = 'f',
     .value_name = "",
     .help = "write binary data even when standard output is a terminal"},
};
constexpr CommandSyntax kSyntax{
    .name = "cat",
    .summary = "write one file's bytes to standard output, expanded if stored compressed",
    .positionals = kPositionals,
    .required_positionals = 2,
    .options = kOptions,
    .details =
        "Binary data is not written to a terminal, where it would garble the screen, unless\n"
        "--force is given; redirect the output instead: kelvane-dat cat ARCHIVE ID > file.bin\n",
};

// Text as a terminal shows it: no control bytes but tab, line feed, carriage return and form feed.
bool looks_binary(std::span<const std::uint8_t> bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) {
    const bool control = byte < 0x20 || byte == 0x7F;
    return control && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f';
  });
}

int run(const ParsedArguments& args) {
  const std::expected<std::uint32_t, std::string> id = parse_file_id(args.positionals()[1]);
  if (!id) return usage_error(kSyntax.name, id.error());
  const std::optional<DatDatabase> archive = open_archive(args.positionals()[0]);
  if (!archive) return kExitArchiveError;
  const Result<std::vector<std::uint8_t>> bytes = archive->get_file_checked(*id);
  if (!bytes) {
    report_error("read " + id_text(*id), error_text(bytes.error()));
    return kExitArchiveError;
  }
  if (!args.has("force") && is_terminal(stdout) && looks_binary(*bytes)) {
    report_error("cat " + id_text(*id),
                 "refusing to write binary data to a terminal; redirect the output or use --force");
    return kExitUsage;
  }
  write_out(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  return finish_output(kExitSuccess);
}

}  // namespace

Command cat_command() { return {&kSyntax, &run}; }

}  // namespace kelvane_dat::cli
