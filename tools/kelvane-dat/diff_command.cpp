// kelvane-dat diff OLD NEW [--type NAME] [--json] [--quick]: what changed between two archives.

#include "commands.hpp"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive.hpp"
#include "archive_diff.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr int kExitDifferent = 1;

struct DiffOptions {
  std::string old_archive;
  std::string new_archive;
  std::optional<DatFileType> type;
  bool allow_overlap = false;
  bool json = false;
  bool quick = false;
};

constexpr const char* kDiffDetails =
    "Files are compared by content after expansion and listed by id when added, removed or\n"
    "changed, with their sizes; a string table in both that changed is followed by its\n"
    "entries whose texts were added, removed or changed. A count per type ends the list.\n"
    "--quick reads no file and compares the directory entries alone, so it takes seconds\n"
    "on archives of gigabytes, but it misses a file rewritten with the same size,\n"
    "compression, timestamp and version; its sizes are the stored ones and it lists no\n"
    "string entries. An archive whose chains claim the same bytes is refused, naming the\n"
    "overlaps, unless --allow-overlap is given (--quick reads no chain and does not check).\n"
    "With --json each change is one line:\n"
    "  {\"id\":\"0x06001000\",\"type\":\"Texture\",\"change\":\"changed\",\"old_size\":10,\n"
    "   \"new_size\":12}\n"
    "  {\"table\":\"0x2300000A\",\"key\":\"0x014152D5\",\"change\":\"changed\",\n"
    "   \"old\":[\"Left Alt\"],\"new\":[\"Alt\"]}\n"
    "with null for a side that has no such file or key. The exit status is 0 when the\n"
    "archives do not differ, 1 when they do, 2 on trouble.\n";

// An optional value as JSON: null when absent.
template <class T>
Json optional_json(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

std::string file_json(const FileChange& file) {
  return json_line({{"id", id_text(file.id)},
                    {"type", to_string(file.type)},
                    {"change", to_string(file.change)},
                    {"old_size", optional_json(file.old_size)},
                    {"new_size", optional_json(file.new_size)}});
}

std::string entry_json(std::uint32_t table, const EntryChange& entry) {
  return json_line({{"table", id_text(table)},
                    {"key", id_text(entry.key)},
                    {"change", to_string(entry.change)},
                    {"old", optional_json(entry.old_texts)},
                    {"new", optional_json(entry.new_texts)}});
}

// The change's name padded to the longest, so the ids line up.
std::string change_column(Change change) {
  std::string name(to_string(change));
  name.resize(std::string_view("changed").size(), ' ');
  return name;
}

std::string file_text(const FileChange& file) {
  std::string sizes = file.old_size && file.new_size
                          ? std::to_string(*file.old_size) + " -> " + std::to_string(*file.new_size)
                          : std::to_string(file.old_size ? *file.old_size : *file.new_size);
  return change_column(file.change) + "  " + id_text(file.id) + "  " +
         std::string(to_string(file.type)) + "  " + sizes + " bytes\n";
}

std::string entry_text(const EntryChange& entry) {
  std::string line = "  " + change_column(entry.change) + "  " + id_text(entry.key) + "  ";
  if (entry.old_texts) line += json_quoted(*entry.old_texts);
  if (entry.old_texts && entry.new_texts) line += " -> ";
  if (entry.new_texts) line += json_quoted(*entry.new_texts);
  return line + "\n";
}

// Added, removed and changed files per type, then their totals.
std::string summary(const std::vector<FileChange>& files) {
  std::map<DatFileType, std::array<std::size_t, 3>> counts;
  std::array<std::size_t, 3> totals{};
  for (const FileChange& file : files) {
    const auto column = static_cast<std::size_t>(file.change);
    ++counts[file.type][column];
    ++totals[column];
  }
  Columns table({false, true, true, true});
  table.add_row({"Type", "Added", "Removed", "Changed"});
  const auto row = [&](std::string name, const std::array<std::size_t, 3>& count) {
    table.add_row({std::move(name), std::to_string(count[0]), std::to_string(count[1]),
                   std::to_string(count[2])});
  };
  for (const auto& [type, count] : counts) row(std::string(to_string(type)), count);
  row("Total", totals);
  return table.render();
}

int run(const DiffOptions& options) {
  const std::string& old_path = options.old_archive;
  const std::string& new_path = options.new_archive;
  const std::optional<DatDatabase> old_archive = open_archive(old_path, kViewingOptions);
  if (!old_archive) return kExitTrouble;
  const std::optional<DatDatabase> new_archive = open_archive(new_path, kViewingOptions);
  if (!new_archive) return kExitTrouble;
  // The quick check reads no file, so shared blocks cannot multiply its work.
  if (!options.quick && (!layout_allows_reading(*old_archive, old_path, options.allow_overlap) ||
                         !layout_allows_reading(*new_archive, new_path, options.allow_overlap))) {
    return kExitTrouble;
  }

  const ArchiveDiff diff = diff_archives({*old_archive, old_path}, {*new_archive, new_path},
                                         options.type, options.quick);
  const bool json = options.json;
  std::string out;
  for (const FileChange& file : diff.files) {
    out += json ? file_json(file) : file_text(file);
    for (const EntryChange& entry : file.entries) {
      out += json ? entry_json(file.id, entry) : entry_text(entry);
    }
  }
  if (!json && !diff.files.empty()) out += "\n" + summary(diff.files);
  write_out(out);
  for (const DiffFailure& failure : diff.failures) report_error(failure.what, failure.text);
  if (finish_output(kExitSuccess) != kExitSuccess || !diff.failures.empty()) return kExitTrouble;
  return diff.files.empty() ? kExitSuccess : kExitDifferent;
}

}  // namespace

void add_diff_command(CommandSet& commands) {
  const auto [app, options] = commands.add<DiffOptions>(
      "diff", "compare two archives file by file, and changed string tables entry by entry",
      kDiffDetails, &run);
  add_path_argument(app, "OLD", options.old_archive, "the archive as it was");
  add_path_argument(app, "NEW", options.new_archive, "the archive as it is");
  add_type_option(app, options.type);
  add_allow_overlap_option(app, options.allow_overlap);
  app.add_flag("--json", options.json, "one JSON object per change instead of text (JSON Lines)");
  app.add_flag("-q,--quick", options.quick,
               "compare directory entries only (size, compression, timestamp, version)");
}

}  // namespace kelvane_dat::cli
