#pragma once

// What every subcommand does with the archive it is given: open it, walk its ids in order, name
// the type of each file.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "command_line.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat::cli {

// Opens the archive at `path`; on failure reports why and returns nothing: "PATH: is a directory",
// "PATH: archives must be seekable files" (standard input, a pipe), "PATH: not an archive
// (marker ...)", "PATH: truncated: the header says N bytes, the file has M", or else
// "open PATH: <error>".
std::optional<DatDatabase> open_archive(const std::string& path, OpenOptions options = {});

// The header of the file at `path` as it stands, when it is a regular file long enough to hold one:
// what can still be shown of a file that does not open as an archive. Whether the header is sound
// is not looked at.
std::optional<DatHeader> read_header_only(const std::filesystem::path& path);

// How the commands that only compare or check bytes, and those that read every string table once
// (strings export and import), open an archive: mapped, so that they look at the files where they
// lie (DatDatabase::view_file), or copy them without a system call per read. The tool reads
// archives nothing rewrites meanwhile; one truncated under it ends the tool with SIGBUS.
inline constexpr OpenOptions kViewingOptions{.mapped = true};

// Reports a failed fetch of file `id`: "0x12345678: no such file in the archive" for an id the
// directory lacks, "read ID: <error>" otherwise.
void report_fetch_error(std::uint32_t id, const DatError& error);

// The text of an error the tool reports, always one line: a file that cannot be opened is told by
// the system's reason alone, since the line already names the path, and a record error by its
// context and failure.
std::string error_text(const DatError& error);

// "0x2300000A": how the tool shows ids.
std::string id_text(std::uint32_t id);
// id_text appended to `out`, for writers that print millions of ids.
void append_id_text(std::string& out, std::uint32_t id);

// --type NAME, for each command that can keep to the files of one type: a type as ls shows it, in
// any case; a name no type has is a usage error naming the known types.
CLI::Option* add_type_option(CLI::App& app, std::optional<DatFileType>& type);

// --type NAME given any number of times, each adding a type, for a command that can look at files
// of several types.
CLI::Option* add_types_option(CLI::App& app, std::vector<DatFileType>& types, std::string help);

// --allow-overlap, for the commands that read every file and so refuse, by default, an archive
// whose chains claim the same bytes (a crafted archive can make that work grow without bound).
CLI::Option* add_allow_overlap_option(CLI::App& app, bool& allow_overlap);

// Runs the layout check of the archive at `path` for a command that reads every file. Unless
// `allow_overlap`, an archive with overlapping chains is refused: each overlap is reported, then
// the refusal. False when refused or when the check itself failed (reported too).
bool layout_allows_reading(const DatDatabase& archive, const std::string& path, bool allow_overlap);

// The bytes of a string table decoded as every command hands tables on: the record must end where
// the file does, since bytes left over mean the table was misread. The error is the failure's text
// ("decoding stopped at byte 40 of 42"). `Table` is StringTable, or StoredStringTable for the
// commands that write tables back.
template <class Table = StringTable>
std::expected<Table, std::string> decode_string_table(std::span<const std::uint8_t> bytes) {
  ByteCursor cursor(bytes);
  std::expected<Table, ReadError> table = Table::read_le(cursor);
  if (!table) return std::unexpected(table.error().to_one_line_string());
  if (cursor.position() != bytes.size()) {
    return std::unexpected("decoding stopped at byte " + std::to_string(cursor.position()) +
                           " of " + std::to_string(bytes.size()));
  }
  return std::move(*table);
}

// The string table stored as `id`, fetched checked and decoded; on failure reports "read ID" or
// "decode string table ID" and returns nothing.
std::optional<StringTable> load_string_table(const DatDatabase& archive, std::uint32_t id);

// The keys of a table, ascending: the order every command shows entries in.
std::vector<std::uint32_t> sorted_keys(const StringTable& table);

}  // namespace kelvane_dat::cli
