#include "detail/archive_records.hpp"

#include <algorithm>
#include <cassert>

namespace kelvane_dat::detail {

namespace {

constexpr std::size_t kEntryCountOffset = DatDatabase::kBranchCount * 4;
constexpr std::size_t kEntriesOffset = kEntryCountOffset + 4;

}  // namespace

std::array<std::uint8_t, DatHeader::kEncodedSize> encode_header(const DatHeader& header) {
  std::array<std::uint8_t, DatHeader::kEncodedSize> out{};
  const std::uint32_t before_text[] = {
      header.magic,         header.block_size,     header.file_size,   header.dataset,
      header.subset,        header.free_head,      header.free_tail,   header.free_count,
      header.root_offset,   header.new_lru,        header.old_lru,     header.use_lru,
      header.master_map_id, header.engine_version, header.game_version};
  std::uint8_t* at = out.data();
  for (const std::uint32_t value : before_text) {
    store_le32(at, value);
    at += 4;
  }
  at = std::copy(header.version_string.begin(), header.version_string.end(), at);
  store_le32(at, header.version_minor);
  return out;
}

Result<void> write_header(ArchiveFile& file, const DatHeader& header) {
  const auto bytes = encode_header(header);
  if (auto written = file.write_all_at(bytes, DatHeader::kFileOffset); !written) {
    return std::unexpected(written.error());
  }
  return {};
}

std::array<std::uint8_t, DatFileEntry::kEncodedSize> encode_entry(const DatFileEntry& entry) {
  std::array<std::uint8_t, DatFileEntry::kEncodedSize> out{};
  const std::uint32_t fields[] = {entry.bit_flags, entry.id,        entry.offset,
                                  entry.size,      entry.timestamp, entry.version};
  for (std::size_t i = 0; i < 6; ++i) store_le32(out.data() + 4 * i, fields[i]);
  return out;
}

std::vector<std::uint8_t> encode_node(std::span<const std::uint32_t> branches,
                                      std::span<const DatFileEntry> entries,
                                      std::uint32_t entry_count) {
  assert(branches.size() <= DatDatabase::kBranchCount &&
         entries.size() <= DatDatabase::kMaxEntries);
  std::vector<std::uint8_t> out(DatDatabase::kNodeSize, 0);
  for (std::size_t slot = 0; slot < branches.size(); ++slot) {
    store_le32(out.data() + 4 * slot, branches[slot]);
  }
  store_le32(out.data() + kEntryCountOffset, entry_count);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto entry = encode_entry(entries[i]);
    std::copy(entry.begin(), entry.end(),
              out.begin() + static_cast<std::ptrdiff_t>(kEntriesOffset + i * entry.size()));
  }
  return out;
}

}  // namespace kelvane_dat::detail
