#include "kelvane_dat/dat_database.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "detail/block_chain.hpp"
#include "detail/chain_into_span.hpp"
#include "detail/chain_walk.hpp"
#include "detail/debug_format.hpp"
#include "detail/directory_walk.hpp"
#include "detail/endian.hpp"
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
  return fetch_into(id, out, false);
}

Result<void> DatDatabase::get_file_checked_into(std::uint32_t id,
                                                std::vector<std::uint8_t>& out) const {
  return fetch_into(id, out, true);
}

Result<void> DatDatabase::fetch_into(std::uint32_t id, std::vector<std::uint8_t>& out,
                                     bool checked) const {
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
  // Unchecked, the expanded length is compared with nothing: whatever the payload yields is the
  // file.
  decompress_lrs_into(stored, out);
  if (!checked) return {};
  constexpr std::size_t kSizePrefix = 4;
  if (stored.size() < kSizePrefix) {
    out.clear();
    return std::unexpected(DatError::corruption(
        "file " + hex8(id) + ": the compressed payload has " + std::to_string(stored.size()) +
        " bytes, too few to declare its size"));
  }
  const std::uint32_t declared = load_le32(stored.data());
  if (out.size() != declared) {
    const std::size_t yielded = out.size();
    out.clear();
    return std::unexpected(DatError::corruption(
        "file " + hex8(id) + ": the compressed payload yields " + std::to_string(yielded) +
        " of the " + std::to_string(declared) + " bytes it declares"));
  }
  return {};
}

Result<std::size_t> DatDatabase::get_file_to(std::uint32_t id, std::span<std::uint8_t> out) const {
  const DatFileEntry* entry = find(id);
  if (entry == nullptr) return std::unexpected(DatError::not_found(id));
  auto too_small = [&](std::size_t size) {
    return DatError::other("a buffer of " + std::to_string(out.size()) + " bytes cannot hold the " +
                           std::to_string(size) + " bytes of file " + hex0x8(id));
  };
  if (entry->is_compressed()) {
    // The expansion's length is known only once it is made.
    std::vector<std::uint8_t> expanded;
    if (const auto fetched = get_file_into(id, expanded); !fetched) {
      return std::unexpected(fetched.error());
    }
    if (expanded.size() > out.size()) return std::unexpected(too_small(expanded.size()));
    std::copy(expanded.begin(), expanded.end(), out.begin());
    return expanded.size();
  }
  if (entry->size > out.size()) return std::unexpected(too_small(entry->size));
  const auto read =
      archive_->mapping
          ? detail::read_block_chain_in_memory_to(archive_->mapping->bytes(),
                                                  archive_->geometry.block_size, entry->offset,
                                                  entry->size, out)
          : detail::read_block_chain_to(PositionedReader(archive_->file), archive_->geometry,
                                        entry->offset, entry->size, out);
  if (!read) return std::unexpected(read.error());
  return entry->size;
}

Result<FileView> DatDatabase::view_file(std::uint32_t id) const { return view_into(id, false); }

Result<FileView> DatDatabase::view_file_checked(std::uint32_t id) const {
  return view_into(id, true);
}

Result<FileView> DatDatabase::view_into(std::uint32_t id, bool checked) const {
  FileView view;
  const DatFileEntry* entry = find(id);
  // A slice per block costs a span's bytes per block: blocks with less payload than that are
  // copied instead, which keeps a view within the file's length in memory whatever the chain.
  constexpr std::uint32_t kSliceBytes = sizeof(FileView::Slice);
  const std::optional<MappedFile>& mapping = archive_->mapping;
  const std::uint32_t block_size = archive_->geometry.block_size;
  if (mapping && entry != nullptr && !entry->is_compressed() &&
      block_size >= detail::kPointerSize + kSliceBytes) {
    // A chain has at most this many blocks (the last may hold all that is left); a size beyond
    // the file fails without a walk.
    const std::uint32_t per_block = block_size - detail::kPointerSize;
    if (entry->size <= mapping->bytes().size()) view.slices_.reserve(entry->size / per_block + 1);
    const auto sliced = slice_block_chain_in_memory(mapping->bytes(), block_size, entry->offset,
                                                    entry->size, view.slices_);
    if (!sliced) return std::unexpected(sliced.error());
    view.size_ = entry->size;
    return view;
  }
  if (const auto fetched = fetch_into(id, view.owned_, checked); !fetched) {
    return std::unexpected(fetched.error());
  }
  if (!view.owned_.empty()) view.slices_.emplace_back(view.owned_);
  view.size_ = view.owned_.size();
  return view;
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

Result<std::vector<std::uint8_t>> DatDatabase::get_file_checked(std::uint32_t id) const {
  std::vector<std::uint8_t> out;
  if (const auto fetched = get_file_checked_into(id, out); !fetched) {
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
