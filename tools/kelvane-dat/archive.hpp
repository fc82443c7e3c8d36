#pragma once

// What every subcommand does with the archive it is given: open it, walk its ids in order, name
// the type of each file.

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "kelvane_dat/file_type/string_table.hpp"

namespace kelvane_dat::cli {

// Opens the archive at `path`; on failure reports "open PATH: <error>" and returns nothing.
std::optional<DatDatabase> open_archive(const std::string& path, OpenOptions options = {});

// How the commands that only compare or check bytes open an archive: mapped, so that they look at
// the files where they lie (DatDatabase::view_file) instead of copying each one. The tool reads
// archives nothing rewrites meanwhile; one truncated under it ends the tool with SIGBUS.
inline constexpr OpenOptions kViewingOptions{.mapped = true};

// The text of an error the tool reports, always one line: a file that cannot be opened is told by
// the system's reason alone, since the line already names the path, and a record error by its
// context and failure.
std::string error_text(const DatError& error);

// "0x2300000A": how the tool shows ids.
std::string id_text(std::uint32_t id);

// --type, for each command that can keep to the files of one type.
inline constexpr OptionSyntax kTypeOption{
    .name = "type", .short_name = 't', .value_name = "NAME", .help = "only files of this type"};

// The type --type names, in any case (nothing when absent), or the text of a usage error naming
// the known types.
std::expected<std::optional<DatFileType>, std::string> type_option(const ParsedArguments& args);

// --allow-overlap, for the commands that read every file and so refuse, by default, an archive
// whose chains claim the same bytes (a crafted archive can make that work grow without bound).
inline constexpr OptionSyntax kAllowOverlapOption{
    .name = "allow-overlap",
    .short_name = 0,
    .value_name = "",
    .help = "read the archive even when chains claim the same bytes"};

// Runs the layout check of the archive at `path` for a command that reads every file. Unless
// --allow-overlap was given, an archive with overlapping chains is refused: each overlap is
// reported, then the refusal. False when refused or when the check itself failed (reported too).
bool layout_allows_reading(const DatDatabase& archive, const std::string& path,
                           const ParsedArguments& args);

// The string table stored as `id`, decoded; on failure reports "read ID" or "decode string table
// ID" and returns nothing.
std::optional<StringTable> load_string_table(const DatDatabase& archive, std::uint32_t id);

// The keys of a table, ascending: the order every command shows entries in.
std::vector<std::uint32_t> sorted_keys(const StringTable& table);

}  // namespace kelvane_dat::cli
