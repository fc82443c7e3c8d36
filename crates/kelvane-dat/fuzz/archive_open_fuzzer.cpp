// Opens an archive made of the input bytes and fetches every file its directory lists.
//
// Properties: opening and fetching return a value or a DatError, whatever the bytes; an id the
// directory lists never fails as NotFound; fetching an id twice gives the same result; a stored
// file comes back at exactly its entry's size, and a compressed one as the expansion of its stored
// bytes, no larger than the size its payload declares. Crashes, leaks, out-of-bounds reads and
// undefined behaviour are the sanitizers' to report; oversized allocations and slow inputs are
// libFuzzer's (-malloc_limit_mb, -timeout). Opened mapped, the archive gives the same results, and
// so do the views of its files, mapped or not, and fetches into caller memory.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "detail/endian.hpp"
#include "fuzz_check.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/decompress.hpp"
#include "memory_file.hpp"

namespace {

using kelvane_dat::DatDatabase;
using kelvane_dat::DatError;
using kelvane_dat::DatFileEntry;
using kelvane_dat::fuzz::MemoryFile;
using kelvane_dat::fuzz::require;

void touch_error_texts(const DatError& error) {
  require(!error.to_string().empty(), "an error has a display text");
  require(!error.debug_string().empty(), "an error has a debug text");
}

std::string outcome(const kelvane_dat::Result<std::vector<std::uint8_t>>& result) {
  if (!result) return "error " + result.error().debug_string();
  return "bytes " + std::string(result->begin(), result->end());
}

// Caller memory of exactly the fetched size, or of the stored size where the fetch failed (when
// that is no more than the archive holds, or the memory itself would be the failure).
void check_caller_memory(const DatDatabase& handle, const DatFileEntry& entry,
                         const kelvane_dat::Result<std::vector<std::uint8_t>>& fetched,
                         std::size_t archive_size) {
  if (!fetched && entry.size > archive_size) return;
  std::vector<std::uint8_t> memory(fetched ? fetched->size() : entry.size);
  const auto filled = handle.get_file_to(entry.id, memory);
  require(outcome(fetched) == (filled ? outcome(memory) : outcome(std::unexpected(filled.error()))),
          "caller memory receives the fetched bytes or the same error");
}

void check_fetch(const DatDatabase& database, const DatDatabase& mapped, const DatFileEntry& entry,
                 std::size_t archive_size) {
  const auto first = database.get_file(entry.id);
  const auto second = database.get_file(entry.id);
  require(outcome(first) == outcome(mapped.get_file(entry.id)),
          "a mapped archive fetches the same bytes or fails the same way");
  for (const DatDatabase* handle : {&database, &mapped}) {
    const auto view = handle->view_file(entry.id);
    require(outcome(first) ==
                (view ? outcome(view->to_vector()) : outcome(std::unexpected(view.error()))),
            "a view holds the fetched bytes or fails the same way");
    require(!view || view->size() == view->to_vector().size(), "a view's size is its bytes'");
    check_caller_memory(*handle, entry, first, archive_size);
  }
  require(first.has_value() == second.has_value(),
          "a second fetch succeeds exactly when the first");
  if (!first) {
    require(!first.error().is<DatError::NotFound>(), "a listed id is never NotFound");
    require(first.error().debug_string() == second.error().debug_string(),
            "a second fetch fails with the same error");
    touch_error_texts(first.error());
    return;
  }
  require(*first == *second, "a second fetch returns the same bytes");

  const auto stored = database.read_file_data(entry.offset, entry.size);
  require(stored.has_value() && stored->size() == entry.size,
          "a file that fetches has its stored bytes in full");
  if (!entry.is_compressed()) {
    require(*first == *stored, "an uncompressed file is its stored bytes");
    return;
  }
  require(*first == kelvane_dat::decompress_lrs(*stored),
          "a compressed file is the expansion of its stored bytes");
  if (stored->size() >= 4) {
    require(first->size() <= kelvane_dat::load_le32(stored->data()),
            "an expansion never exceeds its declared size");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile file;
  const std::filesystem::path path = file.hold(kelvane_dat::fuzz::input_bytes(data, size));
  const auto opened = DatDatabase::open(path);
  const auto opened_mapped = DatDatabase::open(path, kelvane_dat::OpenOptions{.mapped = true});
  require(opened.has_value() == opened_mapped.has_value(), "a mapped archive opens alike");
  if (!opened) {
    require(opened.error().debug_string() == opened_mapped.error().debug_string(),
            "a mapped archive fails to open with the same error");
    touch_error_texts(opened.error());
    return 0;
  }
  const DatDatabase& database = *opened;
  std::vector<DatFileEntry> entries;
  entries.reserve(database.files().size());
  for (const auto& [id, entry] : database.files()) {
    require(id == entry.id, "the directory map is keyed by each entry's id");
    entries.push_back(entry);
  }
  std::sort(entries.begin(), entries.end(),
            [](const DatFileEntry& a, const DatFileEntry& b) { return a.id < b.id; });
  require(opened_mapped->files().size() == entries.size(), "a mapped archive lists the same files");
  for (const DatFileEntry& entry : entries) check_fetch(database, *opened_mapped, entry, size);
  std::uint32_t unlisted = 0;
  while (database.files().contains(unlisted)) ++unlisted;
  const auto absent = database.get_file(unlisted);
  require(!absent && absent.error().is<DatError::NotFound>(), "an unlisted id is NotFound");
  return 0;
}
