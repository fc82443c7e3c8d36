#include "archive_diff.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <span>
#include <unordered_set>
#include <utility>

#include "archive.hpp"
#include "chain_groups.hpp"
#include "parallel_work.hpp"

namespace kelvane_dat::cli {

namespace {

// What comparing one id gave: a change, a failure, or (unchanged) neither.
struct ComparisonOutcome {
  std::optional<FileChange> change;
  std::optional<DiffFailure> failure;
};

bool same_entry(const DatFileEntry& a, const DatFileEntry& b) {
  return a.size == b.size && a.is_compressed() == b.is_compressed() && a.timestamp == b.timestamp &&
         a.version == b.version;
}

ComparisonOutcome quick_compare(const DiffSide& old_side, const DiffSide& new_side,
                                std::uint32_t id) {
  const DatFileEntry* old_entry = old_side.archive.find(id);
  const DatFileEntry* new_entry = new_side.archive.find(id);
  if (old_entry != nullptr && new_entry != nullptr && same_entry(*old_entry, *new_entry)) return {};
  FileChange change;
  change.id = id;
  change.type = (new_entry != nullptr ? new_side : old_side).archive.file_type(id);
  change.change = old_entry == nullptr   ? Change::Added
                  : new_entry == nullptr ? Change::Removed
                                         : Change::Changed;
  if (old_entry != nullptr) change.old_size = old_entry->size;
  if (new_entry != nullptr) change.new_size = new_entry->size;
  return {std::move(change), std::nullopt};
}

// A view, not a copy: diff only compares bytes, and decodes the few string tables that changed.
using SharedBytes = std::shared_ptr<const Result<FileView>>;

std::optional<ChainKey> chain_key(const DatDatabase& archive, std::uint32_t id) {
  const DatFileEntry* entry = archive.find(id);
  if (entry == nullptr) return std::nullopt;
  return ChainKey::of(*entry);
}

// One side's reads. A chain that several groups read (files sharing it on this side, not on the
// other) is kept from its first read to its last, so each side reads each chain once.
class SideReader {
 public:
  SideReader(const DiffSide& side, std::span<const std::vector<std::uint32_t>> groups)
      : side_(side) {
    for (const std::vector<std::uint32_t>& group : groups) {
      if (const std::optional<ChainKey> key = chain_key(side.archive, group.front())) {
        ++pending_[*key].reads_left;
      }
    }
  }

  const DiffSide& side() const { return side_; }

  // The bytes of the chain `id` reads, for one of the groups counted; nullptr when this side has no
  // such file.
  SharedBytes read(std::uint32_t id) {
    const std::optional<ChainKey> key = chain_key(side_.archive, id);
    if (!key) return nullptr;
    const auto found = pending_.find(*key);
    if (!found->second.bytes) {
      found->second.bytes =
          std::make_shared<const Result<FileView>>(side_.archive.view_file_checked(id));
    }
    SharedBytes bytes = found->second.bytes;
    if (--found->second.reads_left == 0) pending_.erase(found);
    return bytes;
  }

 private:
  struct Pending {
    std::size_t reads_left = 0;
    SharedBytes bytes;
  };

  const DiffSide& side_;
  std::map<ChainKey, Pending> pending_;
};

// Why a side could not be read for `id`, when it could not.
std::optional<DiffFailure> read_failure(const DiffSide& side, const SharedBytes& bytes,
                                        std::uint32_t id) {
  if (bytes == nullptr || bytes->has_value()) return std::nullopt;
  return DiffFailure{id, "read " + id_text(id) + " in " + side.name, error_text(bytes->error())};
}

// The entries of a string table that changed, or the side that could not be decoded and why.
struct TableChanges {
  std::vector<EntryChange> entries;
  const DiffSide* undecodable = nullptr;
  std::string failure;
};

TableChanges compare_tables(const DiffSide& old_side, const FileView& old_view,
                            const DiffSide& new_side, const FileView& new_view) {
  TableChanges changes;
  const std::expected<StringTable, std::string> old_table =
      decode_string_table(old_view.to_vector());
  const std::expected<StringTable, std::string> new_table =
      decode_string_table(new_view.to_vector());
  if (!old_table) {
    changes.undecodable = &old_side;
    changes.failure = old_table.error();
  } else if (!new_table) {
    changes.undecodable = &new_side;
    changes.failure = new_table.error();
  } else {
    changes.entries = diff_string_tables(*old_table, *new_table);
  }
  return changes;
}

// Compares by content the ids of one group, which read the same chain on each side: each chain is
// read and compared once, and a changed string table decoded once, however many ids share them. A
// side without the file is read for its size.
std::vector<ComparisonOutcome> compare_group(SideReader& old_reader, SideReader& new_reader,
                                             std::span<const std::uint32_t> ids) {
  const DiffSide& old_side = old_reader.side();
  const DiffSide& new_side = new_reader.side();
  const SharedBytes old_bytes = old_reader.read(ids.front());
  const SharedBytes new_bytes = new_reader.read(ids.front());
  std::vector<ComparisonOutcome> outcomes;
  if ((old_bytes && !*old_bytes) || (new_bytes && !*new_bytes)) {
    for (const std::uint32_t id : ids) {
      std::optional<DiffFailure> failure = read_failure(old_side, old_bytes, id);
      if (!failure) failure = read_failure(new_side, new_bytes, id);
      outcomes.push_back({std::nullopt, std::move(failure)});
    }
    return outcomes;
  }
  if (old_bytes && new_bytes && **old_bytes == **new_bytes) return outcomes;

  // Decoded at the group's first string table, for every one of them.
  std::optional<TableChanges> tables;
  for (const std::uint32_t id : ids) {
    ComparisonOutcome outcome;
    FileChange change;
    change.id = id;
    change.type = (new_bytes ? new_side : old_side).archive.file_type(id);
    change.change = !old_bytes ? Change::Added : !new_bytes ? Change::Removed : Change::Changed;
    if (old_bytes) change.old_size = (*old_bytes)->size();
    if (new_bytes) change.new_size = (*new_bytes)->size();
    if (change.change == Change::Changed && change.type == DatFileType::StringTable) {
      if (!tables) tables = compare_tables(old_side, **old_bytes, new_side, **new_bytes);
      change.entries = tables->entries;
      if (tables->undecodable != nullptr) {
        outcome.failure = DiffFailure{
            id, "decode string table " + id_text(id) + " in " + tables->undecodable->name,
            tables->failure};
      }
    }
    outcome.change = std::move(change);
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

// The ids to compare: those of the old archive in its storage order, then those only the new one
// has in its storage order.
std::vector<std::uint32_t> ids_to_compare(const DatDatabase& old_archive,
                                          const DatDatabase& new_archive,
                                          std::optional<DatFileType> only) {
  std::vector<std::uint32_t> ids = old_archive.ids_in_storage_order(only);
  const std::unordered_set<std::uint32_t> in_old(ids.begin(), ids.end());
  for (const std::uint32_t id : new_archive.ids_in_storage_order(only)) {
    if (!in_old.contains(id)) ids.push_back(id);
  }
  return ids;
}

}  // namespace

ArchiveDiff diff_archives(const DiffSide& old_side, const DiffSide& new_side,
                          std::optional<DatFileType> only, bool quick) {
  const std::vector<std::uint32_t> ids = ids_to_compare(old_side.archive, new_side.archive, only);
  // The quick comparison reads nothing and looks at every entry; a full one groups the ids that
  // read the same chains on both sides.
  const std::vector<std::vector<std::uint32_t>> groups =
      quick ? group_ids(ids, [](std::uint32_t id) { return id; })
            : group_ids(ids, [&](std::uint32_t id) {
                return std::pair(chain_key(old_side.archive, id), chain_key(new_side.archive, id));
              });
  SideReader old_reader(old_side, groups);
  SideReader new_reader(new_side, groups);
  std::vector<std::vector<ComparisonOutcome>> outcomes(groups.size());
  // One thread: the readers keep shared chains between groups.
  for_each_in_parallel(groups.size(), 1, "comparing", [&](std::size_t i) {
    outcomes[i] = quick ? std::vector{quick_compare(old_side, new_side, groups[i].front())}
                        : compare_group(old_reader, new_reader, groups[i]);
  });

  ArchiveDiff diff;
  for (std::vector<ComparisonOutcome>& group : outcomes) {
    for (ComparisonOutcome& outcome : group) {
      if (outcome.change) diff.files.push_back(std::move(*outcome.change));
      if (outcome.failure) diff.failures.push_back(std::move(*outcome.failure));
    }
  }
  std::sort(diff.files.begin(), diff.files.end(),
            [](const FileChange& a, const FileChange& b) { return a.id < b.id; });
  std::sort(diff.failures.begin(), diff.failures.end(),
            [](const DiffFailure& a, const DiffFailure& b) { return a.id < b.id; });
  return diff;
}

std::vector<EntryChange> diff_string_tables(const StringTable& old_table,
                                            const StringTable& new_table) {
  std::vector<EntryChange> changes;
  for (const std::uint32_t key : sorted_keys(old_table)) {
    const std::vector<std::string>& old_texts = old_table.strings.at(key).strings;
    const auto found = new_table.strings.find(key);
    if (found == new_table.strings.end()) {
      changes.push_back({key, Change::Removed, old_texts, std::nullopt});
    } else if (found->second.strings != old_texts) {
      changes.push_back({key, Change::Changed, old_texts, found->second.strings});
    }
  }
  for (const std::uint32_t key : sorted_keys(new_table)) {
    if (old_table.strings.contains(key)) continue;
    changes.push_back({key, Change::Added, std::nullopt, new_table.strings.at(key).strings});
  }
  std::sort(changes.begin(), changes.end(),
            [](const EntryChange& a, const EntryChange& b) { return a.key < b.key; });
  return changes;
}

}  // namespace kelvane_dat::cli
