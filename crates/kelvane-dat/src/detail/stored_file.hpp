#pragma once

// What the writers store for a file: its bytes, compressed when asked, and its entry.

#include <cstdint>
#include <span>
#include <vector>

#include "kelvane_dat/archive_writer.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

// The entry of file `id` stored with `options`; offset and size are the writer's to fill in.
DatFileEntry entry_for(std::uint32_t id, const FileOptions& options);
// `entry` with the size of `stored`; Other when that does not fit the 32-bit field.
[[nodiscard]] Result<DatFileEntry> with_stored_size(DatFileEntry entry,
                                                    std::span<const std::uint8_t> stored);

}  // namespace kelvane_dat::detail
