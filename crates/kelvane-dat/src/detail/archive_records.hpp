#pragma once

// The writer's encoders of the fixed records. The reader's own decoders (DatHeader::read,
// DirectoryNode::decode) read what these write.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "detail/archive_file.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

// The archive's first bytes: nothing anyone reads, then the header.
inline constexpr std::size_t kHeaderEnd = DatHeader::kFileOffset + DatHeader::kEncodedSize;

inline void store_le32(std::uint8_t* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::array<std::uint8_t, DatHeader::kEncodedSize> encode_header(const DatHeader& header);
// Writes the header in its place; the bytes before it are left as they are.
[[nodiscard]] Result<void> write_header(ArchiveFile& file, const DatHeader& header);
std::array<std::uint8_t, DatFileEntry::kEncodedSize> encode_entry(const DatFileEntry& entry);

// The node's 1716 bytes: `branches` (at most 62) then zeros, `entry_count`, `entries` (at most 61)
// then zeros. `entry_count` is normally entries.size(); tests write other counts.
std::vector<std::uint8_t> encode_node(std::span<const std::uint32_t> branches,
                                      std::span<const DatFileEntry> entries,
                                      std::uint32_t entry_count);
}  // namespace kelvane_dat::detail
