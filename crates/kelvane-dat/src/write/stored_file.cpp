#include "detail/stored_file.hpp"

#include <limits>
#include <string>

#include "detail/debug_format.hpp"

namespace kelvane_dat::detail {

DatFileEntry entry_for(std::uint32_t id, const FileOptions& options) {
  return DatFileEntry{options.compress ? DatFileEntry::kCompressedFlag : 0u,
                      id,
                      0,
                      0,
                      options.timestamp,
                      options.version};
}

Result<DatFileEntry> with_stored_size(DatFileEntry entry, std::span<const std::uint8_t> stored) {
  if (stored.size() > std::numeric_limits<std::uint32_t>::max()) {
    return std::unexpected(DatError::other("file " + hex0x8(entry.id) + " would store " +
                                           std::to_string(stored.size()) +
                                           " bytes, beyond an entry's 32-bit size"));
  }
  entry.size = static_cast<std::uint32_t>(stored.size());
  return entry;
}

}  // namespace kelvane_dat::detail
