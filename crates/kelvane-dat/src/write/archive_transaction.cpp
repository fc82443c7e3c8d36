#include "kelvane_dat/archive_transaction.hpp"

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

#include "detail/archive_records.hpp"
#include "detail/block_allocator.hpp"
#include "detail/dat_database_internals.hpp"
#include "detail/directory_btree.hpp"
#include "detail/free_list.hpp"
#include "detail/layout_claims.hpp"
#include "detail/stored_file.hpp"
#include "detail/transaction_access.hpp"
#include "kelvane_dat/compress.hpp"
#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat {

namespace {

// A put: the entry without its offset, and the bytes to store. A removal has none.
struct StagedFile {
  DatFileEntry entry;
  std::vector<std::uint8_t> stored;
};

// A chain of the old version, freed once the new header is durable.
struct OldChain {
  std::uint32_t offset;
  std::uint32_t size;
};

DatError transaction_over() {
  return DatError::other("the transaction has committed or failed to");
}

DatError overlapping_chains(const std::vector<LayoutOverlap>& overlaps) {
  std::string text = overlaps.front().to_string();
  if (overlaps.size() > 1) text += " (and " + std::to_string(overlaps.size() - 1) + " more)";
  return DatError::corruption(text);
}

}  // namespace

namespace detail {

// What a transaction holds: the open file, the tree and allocator, and the changes staged.
struct TransactionState {
  TransactionState(std::unique_ptr<detail::ArchiveFile> opened, const DatHeader& read_header,
                   detail::DirectoryBTree read_tree, detail::FreeList free_list,
                   std::uint64_t length)
      : file(std::move(opened)),
        header(read_header),
        tree(std::move(read_tree)),
        allocator(*file, read_header.block_size, std::move(free_list.blocks),
                  free_list.tail_pointer, length) {}

  Result<void> commit();
  Result<std::vector<std::uint32_t>> blocks_of(const std::vector<OldChain>& chains) const;
  Result<void> write_header_durably();

  std::unique_ptr<detail::ArchiveFile> file;
  DatHeader header;
  detail::DirectoryBTree tree;
  detail::BlockAllocator allocator;
  // Set when the free list on disk is broken: the blocks the commit links into a new one.
  std::optional<std::vector<std::uint32_t>> rebuilt_free_list;
  // Set when the directory on disk is not a B-tree: its nodes, all replaced by the commit.
  std::optional<std::vector<std::uint32_t>> replaced_directory;
  std::map<std::uint32_t, std::optional<StagedFile>> staged;
  bool over = false;
};

}  // namespace detail

ArchiveTransaction::ArchiveTransaction(std::unique_ptr<detail::TransactionState> state)
    : state_(std::move(state)) {}
ArchiveTransaction::ArchiveTransaction(ArchiveTransaction&& other) noexcept = default;
ArchiveTransaction& ArchiveTransaction::operator=(ArchiveTransaction&& other) noexcept = default;
ArchiveTransaction::~ArchiveTransaction() = default;

Result<ArchiveTransaction> ArchiveTransaction::open(const std::filesystem::path& path) {
  auto file = detail::SystemArchiveFile::open_locked(path);
  if (!file) return std::unexpected(file.error());
  return open_transaction_on(path, std::make_unique<detail::SystemArchiveFile>(std::move(*file)));
}

Result<ArchiveTransaction> open_transaction_on(const std::filesystem::path& path,
                                               std::unique_ptr<detail::ArchiveFile> file) {
  // The reader's open and the layout check vouch for the directory and the chains; the lock is
  // already held, so nothing changes them before the commit.
  auto archive = DatDatabase::open(path);
  if (!archive) return std::unexpected(archive.error());
  auto checked = detail::check_layout_with_claims(*archive);
  if (!checked) return std::unexpected(checked.error());
  if (!checked->first.overlaps.empty()) {
    return std::unexpected(overlapping_chains(checked->first.overlaps));
  }
  const DatHeader& header = archive->header();
  if (header.block_size < ArchiveWriter::kMinBlockSize) {
    return std::unexpected(DatError::other("block size " + std::to_string(header.block_size) +
                                           " is below the smallest this writer uses, " +
                                           std::to_string(ArchiveWriter::kMinBlockSize)));
  }
  auto length = file->size();
  if (!length) return std::unexpected(length.error());
  const auto& claimed = checked->second;

  auto tree = detail::DirectoryBTree::read(*file, header.block_size, *length, header.root_offset);
  if (!tree) return std::unexpected(tree.error());
  std::optional<std::vector<std::uint32_t>> replaced_directory;
  if (!*tree) {
    std::vector<DatFileEntry> entries;
    entries.reserve(archive->files().size());
    for (const auto& [id, entry] : archive->files()) entries.push_back(entry);
    std::sort(entries.begin(), entries.end(),
              [](const DatFileEntry& a, const DatFileEntry& b) { return a.id < b.id; });
    *tree = detail::DirectoryBTree::bulk_load(std::move(entries));
    replaced_directory = detail::DatDatabaseInternals::directory_nodes(*archive);
  }

  auto free_list = detail::read_free_list(*file, header, *length, claimed);
  if (!free_list) return std::unexpected(free_list.error());
  std::optional<std::vector<std::uint32_t>> rebuilt_free_list;
  if (!*free_list) {
    rebuilt_free_list = detail::unclaimed_blocks(header.block_size, *length, claimed);
    *free_list = detail::FreeList{};
  }

  auto state = std::make_unique<detail::TransactionState>(
      std::move(file), header, std::move(**tree), std::move(**free_list), *length);
  state->rebuilt_free_list = std::move(rebuilt_free_list);
  state->replaced_directory = std::move(replaced_directory);
  return ArchiveTransaction(std::move(state));
}

Result<void> ArchiveTransaction::put(std::uint32_t id, std::span<const std::uint8_t> data,
                                     const FileOptions& options) {
  const DatFileEntry entry = detail::entry_for(id, options);
  if (!options.compress) return put_stored(entry, data);
  auto payload = compress_lrs(data);
  if (!payload) return std::unexpected(payload.error());
  return put_stored(entry, *payload);
}

Result<void> ArchiveTransaction::put_stored(const DatFileEntry& entry,
                                            std::span<const std::uint8_t> stored) {
  if (state_->over) return std::unexpected(transaction_over());
  auto sized = detail::with_stored_size(entry, stored);
  if (!sized) return std::unexpected(sized.error());
  state_->staged[entry.id] = StagedFile{*sized, {stored.begin(), stored.end()}};
  return {};
}

Result<void> ArchiveTransaction::remove(std::uint32_t id) {
  if (state_->over) return std::unexpected(transaction_over());
  const auto staged = state_->staged.find(id);
  const bool present = staged != state_->staged.end() ? staged->second.has_value()
                                                      : state_->tree.find(id) != nullptr;
  if (!present) return std::unexpected(DatError::not_found(id));
  state_->staged[id] = std::nullopt;
  return {};
}

Result<void> ArchiveTransaction::commit() {
  if (state_->over) return std::unexpected(transaction_over());
  state_->over = true;
  return state_->commit();
}

bool ArchiveTransaction::rebuilds_free_list() const noexcept {
  return state_->rebuilt_free_list.has_value();
}

bool ArchiveTransaction::rebuilds_directory() const noexcept {
  return state_->replaced_directory.has_value();
}

Result<void> detail::TransactionState::write_header_durably() {
  if (auto written = detail::write_header(*file, header); !written) return written;
  if (auto synced = file->sync(); !synced) return std::unexpected(synced.error());
  return {};
}

Result<std::vector<std::uint32_t>> detail::TransactionState::blocks_of(
    const std::vector<OldChain>& chains) const {
  std::vector<std::uint32_t> blocks;
  for (const OldChain& chain : chains) {
    auto walked = detail::chain_blocks(*file, header.block_size, chain.offset, chain.size);
    if (!walked) return std::unexpected(walked.error());
    blocks.insert(blocks.end(), walked->begin(), walked->end());
  }
  return blocks;
}

Result<void> detail::TransactionState::commit() {
  if (staged.empty() && !rebuilt_free_list && !replaced_directory) return {};
  // Blocks nothing on disk reaches: linking them now touches nothing the old header needs.
  if (rebuilt_free_list) {
    if (auto linked = allocator.release(std::move(*rebuilt_free_list)); !linked) return linked;
  }
  std::vector<OldChain> old_chains;
  for (auto& [id, change] : staged) {
    if (!change) {
      if (const auto removed = tree.remove(id))
        old_chains.push_back({removed->offset, removed->size});
      continue;
    }
    auto offset = allocator.store_chain(change->stored);
    if (!offset) return std::unexpected(offset.error());
    change->entry.offset = *offset;
    if (const auto replaced = tree.put(change->entry)) {
      old_chains.push_back({replaced->offset, replaced->size});
    }
  }
  auto root = tree.store(allocator);
  if (!root) return std::unexpected(root.error());

  std::vector<std::uint32_t> old_nodes = tree.released();
  if (replaced_directory)
    old_nodes.insert(old_nodes.end(), replaced_directory->begin(), replaced_directory->end());
  std::sort(old_nodes.begin(), old_nodes.end());
  old_nodes.erase(std::unique(old_nodes.begin(), old_nodes.end()), old_nodes.end());
  for (const std::uint32_t node : old_nodes) old_chains.push_back({node, DatDatabase::kNodeSize});
  // Read before anything is freed; the old blocks are untouched until then.
  auto old_blocks = blocks_of(old_chains);
  if (!old_blocks) return std::unexpected(old_blocks.error());

  // Everything the new header reaches is durable before the header is written.
  if (auto synced = file->sync(); !synced) return std::unexpected(synced.error());
  header.root_offset = *root;
  allocator.describe(header);
  if (auto written = write_header_durably(); !written) return written;

  if (old_blocks->empty()) return {};
  if (auto freed = allocator.release(std::move(*old_blocks)); !freed) return freed;
  if (auto synced = file->sync(); !synced) return std::unexpected(synced.error());
  allocator.describe(header);
  return write_header_durably();
}

}  // namespace kelvane_dat
