#pragma once

// Writing a new archive from an open one with some of its string tables changed, for the commands
// that put texts back (strings import, strings pseudo). Every other file, and every table left
// unchanged, is copied as stored: the same bytes, flags, timestamp and version, and the header
// fields the writer does not own. A changed table is re-encoded and stored as its original was,
// compressed or not. The archive itself is only read.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"

namespace kelvane_dat::cli {

struct TableEdit {
  // Whether the table stored as `id` is to be decoded and handed to `apply`; the others are copied
  // without being decoded.
  std::function<bool(std::uint32_t id)> wanted;
  // Looks at a wanted table in its file's bytes `file` and says whether it may change: one that
  // will not is copied as stored without being decoded, so this must accept only a file that
  // decodes whole (decoding reports the others). `file` is the same for every file of a chain.
  std::function<bool(std::uint32_t id, std::span<const std::uint8_t> file)> may_change;
  // Changes the table stored as `id`, once may_change said it may, and says whether anything
  // changed: one that did not is copied as stored.
  std::function<bool(std::uint32_t id, StoredStringTable& table)> apply;
};

// The path of the new archive `output` is to be; nothing, reported, when it names the archive at
// `archive` itself, which these commands never write.
std::optional<std::filesystem::path> new_archive_path(const std::string& archive,
                                                      const std::string& output);

// Writes `archive` with `edit` applied to `output` (named `output_name` in messages) and returns
// how many tables were re-encoded. A chain several entries share is read once. On failure
// (a wanted table that cannot be read or decoded, a table too long to encode, the writer's
// errors) reports it, leaves nothing at `output` and returns nothing.
std::optional<std::size_t> write_with_tables_edited(const DatDatabase& archive,
                                                    const std::filesystem::path& output,
                                                    const std::string& output_name,
                                                    const TableEdit& edit);

}  // namespace kelvane_dat::cli
