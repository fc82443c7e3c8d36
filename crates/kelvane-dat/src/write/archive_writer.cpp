#include "kelvane_dat/archive_writer.hpp"

#include <algorithm>
#include <limits>
#include <optional>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "detail/archive_file.hpp"
#include "detail/archive_records.hpp"
#include "detail/block_allocator.hpp"
#include "detail/directory_btree.hpp"
#include "detail/stored_file.hpp"
#include "kelvane_dat/compress.hpp"

namespace kelvane_dat {

struct ArchiveWriter::State {
  State(std::filesystem::path final_name, std::filesystem::path temporary_name,
        const DatHeader& given, detail::SystemArchiveFile created)
      : final_path(std::move(final_name)),
        temporary_path(std::move(temporary_name)),
        header(given),
        file(std::move(created)),
        allocator(*file, given.block_size, {}, 0, detail::kHeaderEnd) {}

  ~State() {
    if (!finished) {
      file.reset();
      std::error_code ignored;
      std::filesystem::remove(temporary_path, ignored);
    }
  }

  std::filesystem::path final_path;
  std::filesystem::path temporary_path;
  DatHeader header;
  std::optional<detail::SystemArchiveFile> file;
  detail::BlockAllocator allocator;
  std::vector<DatFileEntry> entries;
  std::unordered_set<std::uint32_t> ids;
  bool finished = false;
};

ArchiveWriter::ArchiveWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}
ArchiveWriter::ArchiveWriter(ArchiveWriter&& other) noexcept = default;
ArchiveWriter& ArchiveWriter::operator=(ArchiveWriter&& other) noexcept = default;
ArchiveWriter::~ArchiveWriter() = default;

Result<ArchiveWriter> ArchiveWriter::create(const std::filesystem::path& path,
                                            const DatHeader& header) {
  if (header.block_size < kMinBlockSize) {
    return std::unexpected(DatError::other("block size " + std::to_string(header.block_size) +
                                           " is below the smallest this writer uses, " +
                                           std::to_string(kMinBlockSize)));
  }
  std::filesystem::path temporary = path;
  temporary += ".partial";
  auto file = detail::SystemArchiveFile::create(temporary);
  if (!file) return std::unexpected(file.error());
  return ArchiveWriter(std::make_unique<State>(path, temporary, header, std::move(*file)));
}

namespace {

DatError finished_already() { return DatError::other("the archive writer has finished"); }

}  // namespace

Result<void> ArchiveWriter::add(std::uint32_t id, std::span<const std::uint8_t> data,
                                const FileOptions& options) {
  const DatFileEntry entry = detail::entry_for(id, options);
  if (!options.compress) return add_stored(entry, data);
  auto payload = compress_lrs(data);
  if (!payload) return std::unexpected(payload.error());
  return add_stored(entry, *payload);
}

Result<void> ArchiveWriter::add_stored(const DatFileEntry& entry,
                                       std::span<const std::uint8_t> stored) {
  State& state = *state_;
  if (!state.file) return std::unexpected(finished_already());
  if (state.ids.contains(entry.id)) return std::unexpected(DatError::duplicate_id(entry.id));
  auto described = detail::with_stored_size(entry, stored);
  if (!described) return std::unexpected(described.error());
  auto offset = state.allocator.store_chain(stored);
  if (!offset) return std::unexpected(offset.error());
  described->offset = *offset;
  state.ids.insert(entry.id);
  state.entries.push_back(*described);
  return {};
}

Result<void> ArchiveWriter::finish() {
  State& state = *state_;
  if (!state.file) return std::unexpected(finished_already());
  std::sort(state.entries.begin(), state.entries.end(),
            [](const DatFileEntry& a, const DatFileEntry& b) { return a.id < b.id; });
  detail::DirectoryBTree tree = detail::DirectoryBTree::bulk_load(std::move(state.entries));
  auto root = tree.store(state.allocator);
  if (!root) return std::unexpected(root.error());
  DatHeader header = state.header;
  header.root_offset = *root;
  state.allocator.describe(header);
  if (auto written = detail::write_header(*state.file, header); !written) {
    return std::unexpected(written.error());
  }
  auto synced = state.file->sync();
  state.file.reset();
  if (!synced) return std::unexpected(synced.error());
  if (auto replaced = detail::replace_file(state.temporary_path, state.final_path); !replaced) {
    return std::unexpected(DatError::path_error(state.final_path, replaced.error()));
  }
  state.finished = true;
  return {};
}

}  // namespace kelvane_dat
