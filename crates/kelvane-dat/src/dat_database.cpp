#include "kelvane_dat/dat_database.hpp"

#include <algorithm>
#include <utility>

#include "detail/block_chain.hpp"
#include "detail/directory_walk.hpp"
#include "detail/file_descriptor.hpp"
#include "detail/mapped_file.hpp"
#include "detail/open_archive.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/decompress.hpp"

namespace kelvane_dat {

namespace detail {

Result<void> OpenArchive::read_chain_into(std::uint32_t offset, std::uint32_t size,
                                          std::vector<std::uint8_t>& out) const {
  if (mapping)
    return read_block_chain_in_memory(mapping->bytes(), geometry.block_size, offset, size, out);
  return read_block_chain_into(PositionedReader(file), geometry, offset, size, out);
}

}  // namespace detail

DatDatabase::DatDatabase(DatHeader header_value, std::unique_ptr<detail::OpenArchive> archive)
    : header_(header_value), archive_(std::move(archive)) {}

DatDatabase::DatDatabase(DatDatabase&&) noexcept = default;
DatDatabase& DatDatabase::operator=(DatDatabase&&) noexcept = default;
DatDatabase::~DatDatabase() = default;

Result<DatDatabase> DatDatabase::open(const std::filesystem::path& path, OpenOptions options) {
  auto file = FileDescriptor::open_read_only(path);
  if (!file) return std::unexpected(DatError::path_error(path, file.error()));
  // The header is the one record read through the file position; everything after it uses
  // positioned reads.
  if (const auto seek = file->seek(DatHeader::kFileOffset); !seek) {
    return std::unexpected(seek.error());
  }
  FileCursor cursor(*file);
  const auto header = DatHeader::read(cursor);
  if (!header) return std::unexpected(header.error());
  // Bounds every allocation a chain walk makes and the number of node reads an open may take.
  const auto length = file->size();
  if (!length) return std::unexpected(length.error());

  std::optional<MappedFile> mapping;
  if (options.mapped) {
    auto mapped = MappedFile::map_read_only(*file, *length);
    if (!mapped) return std::unexpected(mapped.error());
    mapping = std::move(*mapped);
  }

  auto archive = std::make_unique<detail::OpenArchive>(
      std::move(*file), ChainGeometry{header->block_size, *length}, std::move(mapping));
  const auto entries = detail::walk_directory(*archive, header->root_offset);
  if (!entries) return std::unexpected(entries.error());
  DatDatabase database(*header, std::move(archive));
  // In walk order, so where an id repeats the entry met last wins; the map is sized once.
  database.files_.reserve(entries->size());
  for (const DatFileEntry& entry : *entries) database.files_.insert_or_assign(entry.id, entry);
  return database;
}

Result<std::vector<std::uint8_t>> DatDatabase::read_file_data(std::uint32_t offset,
                                                              std::uint32_t size) const {
  std::vector<std::uint8_t> out;
  if (const auto read = archive_->read_chain_into(offset, size, out); !read) {
    return std::unexpected(read.error());
  }
  return out;
}

Result<void> DatDatabase::get_file_into(std::uint32_t id, std::vector<std::uint8_t>& out) const {
  const DatFileEntry* entry = find(id);
  if (entry == nullptr) {
    out.clear();
    return std::unexpected(DatError::not_found(id));
  }
  if (!entry->is_compressed()) return archive_->read_chain_into(entry->offset, entry->size, out);
  std::vector<std::uint8_t> stored;
  if (const auto read = archive_->read_chain_into(entry->offset, entry->size, stored); !read) {
    out.clear();
    return read;
  }
  // The expanded length is not checked against anything: whatever the payload yields is the file.
  decompress_lrs_into(stored, out);
  return {};
}

const DatFileEntry* DatDatabase::find(std::uint32_t id) const noexcept {
  const auto found = files_.find(id);
  return found == files_.end() ? nullptr : &found->second;
}

std::vector<std::uint32_t> DatDatabase::ids(std::optional<DatFileType> type) const {
  std::vector<std::uint32_t> result;
  result.reserve(files_.size());
  for (const auto& [id, entry] : files_) {
    if (!type || file_type(id) == *type) result.push_back(id);
  }
  std::sort(result.begin(), result.end());
  return result;
}

std::vector<std::uint32_t> DatDatabase::ids_in_storage_order(
    std::optional<DatFileType> type) const {
  // Sorting (offset, id) pairs keeps the comparisons off the hash map.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> placed;
  placed.reserve(files_.size());
  for (const auto& [id, entry] : files_) {
    if (!type || file_type(id) == *type) placed.emplace_back(entry.offset, id);
  }
  std::sort(placed.begin(), placed.end());
  std::vector<std::uint32_t> result;
  result.reserve(placed.size());
  for (const auto& [offset, id] : placed) result.push_back(id);
  return result;
}

Result<std::vector<std::uint8_t>> DatDatabase::get_file(std::uint32_t id) const {
  std::vector<std::uint8_t> out;
  if (const auto fetched = get_file_into(id, out); !fetched) {
    return std::unexpected(fetched.error());
  }
  return out;
}

Result<StringTable> DatDatabase::string_table(std::uint32_t id) const {
  const auto bytes = get_file(id);
  if (!bytes) return std::unexpected(bytes.error());
  ByteCursor cursor(*bytes);
  auto table = StringTable::read_le(cursor);
  if (!table) return std::unexpected(table.error());
  return std::move(*table);
}

}  // namespace kelvane_dat
