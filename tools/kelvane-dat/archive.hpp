#pragma once

// What every subcommand does with the archive it is given: open it, walk its ids in order, name
// the type of each file.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/file_type/file_type.hpp"

namespace kelvane_dat::cli {

// Opens the archive at `path`; on failure reports "open PATH: <error>" and returns nothing.
std::optional<DatDatabase> open_archive(const std::string& path);

// The text of an error the tool reports: a file that cannot be opened is told by the system's
// reason alone, since the line already names the path.
std::string error_text(const DatError& error);

// Every file id of the archive, ascending.
std::vector<std::uint32_t> sorted_ids(const DatDatabase& archive);

// The type of file `id` as this archive means it.
DatFileType type_of(const DatDatabase& archive, std::uint32_t id);

// Every type an id can classify as: the types the prefixes name in prefix order, then the cell and
// special types, Unknown last.
std::span<const DatFileType> classifiable_types();

// The classifiable type named `name`, compared without regard to case.
std::optional<DatFileType> parse_file_type(std::string_view name);

// "0x2300000A": how the tool shows ids.
std::string id_text(std::uint32_t id);

}  // namespace kelvane_dat::cli
