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

struct CatOptions {
  std::string archive;
  std::uint32_t id = 0;
  bool force = false;
};

constexpr const char* kCatDetails =
    "Binary data is not written to a terminal, where it would garble the screen, unless\n"
    "--force is given; redirect the output instead: kelvane-dat cat ARCHIVE ID > file.bin\n";

// Text as a terminal shows it: no control bytes but tab, line feed, carriage return and form feed.
bool looks_binary(std::span<const std::uint8_t> bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) {
    const bool control = byte < 0x20 || byte == 0x7F;
    return control && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f';
  });
}

int run(const CatOptions& options) {
  const std::uint32_t id = options.id;
  const std::optional<DatDatabase> archive = open_archive(options.archive);
  if (!archive) return kExitArchiveError;
  const Result<std::vector<std::uint8_t>> bytes = archive->get_file_checked(id);
  if (!bytes) {
    report_fetch_error(id, bytes.error());
    return kExitArchiveError;
  }
  if (!options.force && is_terminal(stdout) && looks_binary(*bytes)) {
    report_error("cat " + id_text(id),
                 "refusing to write binary data to a terminal; redirect the output or use --force");
    return kExitUsage;
  }
  write_out(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  return finish_output(kExitSuccess);
}

}  // namespace

void add_cat_command(CommandSet& commands) {
  const auto [app, options] = commands.add<CatOptions>(
      "cat", "write one file's bytes to standard output, expanded if stored compressed",
      kCatDetails, &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive");
  add_file_id_argument(app, options.id, "the file's id, hexadecimal (0x...) or decimal");
  app.add_flag("-f,--force", options.force,
               "write binary data even when standard output is a terminal");
}

}  // namespace kelvane_dat::cli
