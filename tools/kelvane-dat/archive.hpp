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

// The text of an error the tool reports, always one line: a file that cannot be opened is told by
// the system's reason alone, since the line already names the path, and a record error by its
// context and failure.
std::string error_text(const DatError& error);

// "0x2300000A": how the tool shows ids.
std::string id_text(std::uint32_t id);

}  // namespace kelvane_dat::cli
