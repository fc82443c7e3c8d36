#pragma once

// What changed between two versions of an archive: files added, removed and changed, and for a
// string table in both, the entries whose texts changed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/file_type/file_type.hpp"

namespace kelvane_dat::cli {

enum class Change { Added, Removed, Changed };

constexpr std::string_view to_string(Change change) {
  switch (change) {
    case Change::Added:
      return "added";
    case Change::Removed:
      return "removed";
    case Change::Changed:
      return "changed";
  }
  std::unreachable();
}

struct EntryChange {
  std::uint32_t key = 0;
  Change change = Change::Changed;
  // Absent on the side that has no such key.
  std::optional<std::vector<std::string>> old_texts;
  std::optional<std::vector<std::string>> new_texts;
};

struct FileChange {
  std::uint32_t id = 0;
  DatFileType type = DatFileType::Unknown;
  Change change = Change::Changed;
  // Expanded sizes, or with a quick comparison the sizes the directory holds; absent on the side
  // that has no such file.
  std::optional<std::uint64_t> old_size;
  std::optional<std::uint64_t> new_size;
  // Ascending by key; only for a string table that changed.
  std::vector<EntryChange> entries;
};

// A file that could not be read or decoded: the comparison is incomplete.
struct DiffFailure {
  std::uint32_t id = 0;
  std::string what;
  std::string text;
};

struct ArchiveDiff {
  // Ascending by id.
  std::vector<FileChange> files;
  // Ascending by id.
  std::vector<DiffFailure> failures;
};

struct DiffSide {
  const DatDatabase& archive;
  // How messages name the archive.
  std::string name;
};

// Compares the files of both archives (of type `only` when given). Each archive is read in the
// order it stores its files, and each of its chains once: files whose entries name the same chain
// (as a crafted archive's can, by the thousand) share one read and one comparison. A quick
// comparison reads no file: a file is changed when its directory entry differs in size,
// compression, timestamp or version.
ArchiveDiff diff_archives(const DiffSide& old_side, const DiffSide& new_side,
                          std::optional<DatFileType> only, bool quick);

// The entries whose texts differ between two versions of a string table, ascending by key.
std::vector<EntryChange> diff_string_tables(const StringTable& old_table,
                                            const StringTable& new_table);

}  // namespace kelvane_dat::cli
