// kelvane-dat put ARCHIVE ID FILE [--compress] [--timestamp T] [--version V]: adds a file to an
// archive, or replaces the file of that id, in one crash-safe commit.

#include "commands.hpp"

#include <cstdint>
#include <string>
#include <vector>

#include "archive.hpp"
#include "archive_edit.hpp"
#include "input_file.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

struct PutOptions {
  std::string archive;
  std::uint32_t id = 0;
  std::string file;
  bool compress = false;
  std::uint32_t timestamp = 0;
  std::uint32_t version = 0;
};

constexpr const char* kPutDetails =
    "The change is made all at once: a crash or power cut leaves the archive with the old file\n"
    "or the new one. Only one writer works on an archive at a time; a second one is refused at\n"
    "once. An archive whose chains overlap is refused. A damaged free list is rebuilt, and the\n"
    "tool says so on standard error.\n";

// --timestamp and --version: any 32-bit value, typed as ids are (decimal, or 0x and hexadecimal).
void add_u32_option(CLI::App& app, const std::string& flag, std::uint32_t& value,
                    const std::string& type_name, std::string help) {
  app.add_option_function<std::string>(
         flag,
         [&value, flag](const std::string& text) {
           const std::expected<std::uint32_t, std::string> parsed = parse_file_id(text);
           if (!parsed) {
             throw CLI::ValidationError(flag + ": expected a whole number below 2^32, not '" +
                                        text + "'");
           }
           value = *parsed;
         },
         std::move(help))
      ->type_name(type_name);
}

int run(const PutOptions& options) {
  const auto bytes = read_input_file(kelvane_platform::path_from_utf8(options.file));
  if (!bytes) {
    report_error("read " + options.file, bytes.error());
    return kExitArchiveError;
  }
  std::optional<ArchiveTransaction> transaction = open_for_writing(options.archive);
  if (!transaction) return kExitArchiveError;
  const FileOptions file_options{options.compress, options.timestamp, options.version};
  if (const Result<void> put = transaction->put(options.id, *bytes, file_options); !put) {
    report_error("put " + id_text(options.id), error_text(put.error()));
    return kExitArchiveError;
  }
  if (!commit_changes(*transaction, options.archive)) return kExitArchiveError;
  write_out("put " + id_text(options.id) + " (" + counted(bytes->size(), "byte") + ") into " +
            options.archive + "\n");
  return finish_output(kExitSuccess);
}

}  // namespace

void add_put_command(CommandSet& commands) {
  const auto [app, options] = commands.add<PutOptions>(
      "put", "add a file to an archive, or replace the file of that id", kPutDetails, &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive to change");
  add_file_id_argument(app, options.id, "the file's id, hexadecimal (0x...) or decimal");
  add_path_argument(app, "FILE", options.file, "the file whose bytes to store");
  app.add_flag("-c,--compress", options.compress, "store the file compressed");
  add_u32_option(app, "--timestamp", options.timestamp, "T", "the entry's timestamp (default 0)");
  add_u32_option(app, "--version", options.version, "V", "the entry's version (default 0)");
}

}  // namespace kelvane_dat::cli
