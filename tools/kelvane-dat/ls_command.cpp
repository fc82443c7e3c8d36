// kelvane-dat ls ARCHIVE [--type NAME] [--long]: one line per file, sorted by id.

#include "commands.hpp"

#include <string>
#include <vector>

#include "archive.hpp"
#include "detail/debug_format.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::string_view kPositionals[] = {"ARCHIVE"};
constexpr OptionSyntax kOptions[] = {
    kTypeOption,
    {.name = "long",
     .short_name = 'l',
     .value_name = "",
     .help = "add offset, timestamp and version"},
};
constexpr CommandSyntax kSyntax{
    .name = "ls",
    .summary = "list the files of an archive, sorted by id",
    .positionals = kPositionals,
    .required_positionals = 1,
    .options = kOptions,
    .details =
        "Columns: id, type, stored size in bytes, 'compressed' or 'stored'; with --long also the\n"
        "offset of the first block, the timestamp and the version, as the directory holds them.\n"
        "NAME is a type as the second column shows it (StringTable, Texture, ...), in any case.\n",
};

int run(const ParsedArguments& args) {
  const std::expected<std::optional<DatFileType>, std::string> only = type_option(args);
  if (!only) return usage_error(kSyntax.name, only.error());
  const bool long_format = args.has("long");
  const std::optional<DatDatabase> archive = open_archive(args.positionals()[0]);
  if (!archive) return kExitArchiveError;

  Columns table({false, false, true, false, false, true, true});
  for (const std::uint32_t id : archive->ids(*only)) {
    const DatFileType type = archive->file_type(id);
    const DatFileEntry& entry = *archive->find(id);
    std::vector<std::string> row = {id_text(id), std::string(to_string(type)),
                                    std::to_string(entry.size),
                                    entry.is_compressed() ? "compressed" : "stored"};
    if (long_format) {
      row.push_back(hex0x8(entry.offset));
      row.push_back(std::to_string(entry.timestamp));
      row.push_back(std::to_string(entry.version));
    }
    table.add_row(std::move(row));
  }
  write_out(table.render());
  return finish_output(kExitSuccess);
}

}  // namespace

Command ls_command() { return {&kSyntax, &run}; }

}  // namespace kelvane_dat::cli
