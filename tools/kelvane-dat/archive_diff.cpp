#include "archive_diff.hpp"

#include <algorithm>
#include <unordered_set>

#include "archive.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "parallel_work.hpp"

namespace kelvane_dat::cli {

namespace {

using Bytes = std::vector<std::uint8_t>;

// What comparing one id gave: a change, a failure, or (unchanged) neither.
struct Outcome {
  std::optional<FileChange> change;
  std::optional<DiffFailure> failure;
};

bool same_entry(const DatFileEntry& a, const DatFileEntry& b) {
  return a.size == b.size && a.is_compressed() == b.is_compressed() && a.timestamp == b.timestamp &&
         a.version == b.version;
}

Outcome quick_compare(const DiffSide& old_side, const DiffSide& new_side, std::uint32_t id) {
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

Result<Bytes> read_side(const DiffSide& side, std::uint32_t id, Outcome& outcome) {
  Result<Bytes> bytes = side.archive.get_file(id);
  if (!bytes) {
    outcome.failure =
        DiffFailure{id, "read " + id_text(id) + " in " + side.name, error_text(bytes.error())};
  }
  return bytes;
}

std::optional<StringTable> decode_side(const DiffSide& side, std::uint32_t id, const Bytes& bytes,
                                       Outcome& outcome) {
  ByteCursor cursor(bytes);
  std::expected<StringTable, ReadError> table = StringTable::read_le(cursor);
  if (!table) {
    outcome.failure = DiffFailure{id, "decode string table " + id_text(id) + " in " + side.name,
                                  table.error().to_one_line_string()};
    return std::nullopt;
  }
  return std::move(*table);
}

// Compares by content; a side without the file is read once for its size.
Outcome full_compare(const DiffSide& old_side, const DiffSide& new_side, std::uint32_t id) {
  const bool in_old = old_side.archive.find(id) != nullptr;
  const bool in_new = new_side.archive.find(id) != nullptr;
  Outcome outcome;
  std::optional<Bytes> old_bytes;
  std::optional<Bytes> new_bytes;
  if (in_old) {
    Result<Bytes> bytes = read_side(old_side, id, outcome);
    if (!bytes) return outcome;
    old_bytes = std::move(*bytes);
  }
  if (in_new) {
    Result<Bytes> bytes = read_side(new_side, id, outcome);
    if (!bytes) return outcome;
    new_bytes = std::move(*bytes);
  }
  if (old_bytes && new_bytes && *old_bytes == *new_bytes) return outcome;

  FileChange change;
  change.id = id;
  change.type = (in_new ? new_side : old_side).archive.file_type(id);
  change.change = !in_old ? Change::Added : !in_new ? Change::Removed : Change::Changed;
  if (old_bytes) change.old_size = old_bytes->size();
  if (new_bytes) change.new_size = new_bytes->size();
  if (change.change == Change::Changed && change.type == DatFileType::StringTable) {
    const std::optional<StringTable> old_table = decode_side(old_side, id, *old_bytes, outcome);
    const std::optional<StringTable> new_table = decode_side(new_side, id, *new_bytes, outcome);
    if (old_table && new_table) change.entries = diff_string_tables(*old_table, *new_table);
  }
  outcome.change = std::move(change);
  return outcome;
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
  std::vector<Outcome> outcomes(ids.size());
  for_each_in_parallel(ids.size(), 1, "comparing", [&](std::size_t i) {
    outcomes[i] = quick ? quick_compare(old_side, new_side, ids[i])
                        : full_compare(old_side, new_side, ids[i]);
  });

  ArchiveDiff diff;
  for (Outcome& outcome : outcomes) {
    if (outcome.change) diff.files.push_back(std::move(*outcome.change));
    if (outcome.failure) diff.failures.push_back(std::move(*outcome.failure));
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
