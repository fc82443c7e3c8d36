#include "string_table_rewrite.hpp"

#include <system_error>
#include <utility>
#include <vector>

#include "archive.hpp"
#include "chain_groups.hpp"
#include "kelvane_dat/archive_writer.hpp"
#include "kelvane_dat/compress.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The files of one chain as the new archive stores them. The chain's stored bytes and its decoded
// table are each read at most once, when the first file needing them asks; an uncompressed
// table's chain is read once for both.
class ChainCopier {
 public:
  ChainCopier(const DatDatabase& archive, ArchiveWriter& writer, const TableEdit& edit)
      : archive_(archive), writer_(writer), edit_(edit) {}

  // Stores every file of `ids`, which share one chain; false when something failed (reported).
  bool copy(const std::vector<std::uint32_t>& ids, std::size_t& tables_rewritten) {
    stored_read_ = false;
    file_read_ = false;
    table_read_ = false;
    for (const std::uint32_t id : ids) {
      const DatFileEntry& entry = *archive_.find(id);
      const bool wanted = archive_.file_type(id) == DatFileType::StringTable && edit_.wanted(id);
      if (wanted) {
        Bytes encoded;
        const Edit outcome = edit_table(id, entry, ids.size() > 1, encoded);
        if (outcome == Edit::Failed) return false;
        if (outcome == Edit::Changed) {
          if (!add(entry, encoded)) return false;
          ++tables_rewritten;
          continue;
        }
      }
      if (!stored_read_) {
        Result<Bytes> bytes = archive_.read_file_data(entry.offset, entry.size);
        if (!bytes) {
          report_fetch_error(id, bytes.error());
          return false;
        }
        keep_stored(std::move(*bytes));
      }
      if (!add(entry, stored_)) return false;
    }
    return true;
  }

 private:
  enum class Edit { Unchanged, Changed, Failed };

  // Applies the edit to the table stored as `id`; when it changed, `stored` receives the bytes to
  // store, compressed as the original was. A chain `shared` with other files keeps its decoded
  // table as read for them; otherwise the edit takes it, saving a copy of every text. Failures are
  // reported.
  Edit edit_table(std::uint32_t id, const DatFileEntry& entry, bool shared, Bytes& stored) {
    if (!file_read_) {
      Result<Bytes> bytes = archive_.get_file_checked(id);
      if (!bytes) {
        report_fetch_error(id, bytes.error());
        return Edit::Failed;
      }
      file_read_ = true;
      // Uncompressed, the file's bytes are the chain's stored bytes: a table left unchanged is
      // copied from them instead of reading its chain again.
      if (entry.is_compressed()) {
        file_ = std::move(*bytes);
      } else {
        keep_stored(std::move(*bytes));
      }
    }
    const Bytes& file = entry.is_compressed() ? file_ : stored_;
    if (!edit_.may_change(id, file)) return Edit::Unchanged;
    if (!table_read_) {
      std::expected<StoredStringTable, std::string> decoded =
          decode_string_table<StoredStringTable>(file);
      if (!decoded) {
        report_error("decode string table " + id_text(id), decoded.error());
        return Edit::Failed;
      }
      table_ = std::move(*decoded);
      table_read_ = true;
    }
    StoredStringTable table = shared ? table_ : std::move(table_);
    if (!edit_.apply(id, table)) return Edit::Unchanged;
    Result<Bytes> encoded = table.encode();
    if (encoded && entry.is_compressed()) encoded = compress_lrs(*encoded);
    if (!encoded) {
      report_error("encode string table " + id_text(id), error_text(encoded.error()));
      return Edit::Failed;
    }
    stored = std::move(*encoded);
    return Edit::Changed;
  }

  void keep_stored(Bytes&& bytes) {
    stored_ = std::move(bytes);
    stored_read_ = true;
  }

  bool add(const DatFileEntry& entry, const Bytes& stored) {
    const Result<void> added = writer_.add_stored(entry, stored);
    if (!added) report_error("write " + id_text(entry.id), error_text(added.error()));
    return added.has_value();
  }

  const DatDatabase& archive_;
  ArchiveWriter& writer_;
  const TableEdit& edit_;
  // The chain's stored bytes, its file's bytes (when compressed; otherwise they are the stored
  // bytes) and its decoded table once read. Flags rather than optionals: in a large translation
  // unit GCC 12 warns that an optional's payload may be used uninitialized.
  Bytes stored_;
  bool stored_read_ = false;
  Bytes file_;
  bool file_read_ = false;
  StoredStringTable table_;
  bool table_read_ = false;
};

}  // namespace

std::optional<std::filesystem::path> new_archive_path(const std::string& archive,
                                                      const std::string& output) {
  std::filesystem::path path = kelvane_platform::path_from_utf8(output);
  std::error_code error;
  if (std::filesystem::equivalent(kelvane_platform::path_from_utf8(archive), path, error)) {
    report_error("write " + output, "that is the archive itself; name a new file with -o");
    return std::nullopt;
  }
  return path;
}

std::optional<std::size_t> write_with_tables_edited(const DatDatabase& archive,
                                                    const std::filesystem::path& output,
                                                    const std::string& output_name,
                                                    const TableEdit& edit) {
  Result<ArchiveWriter> writer = ArchiveWriter::create(output, archive.header());
  if (!writer) {
    report_error("create " + output_name, error_text(writer.error()));
    return std::nullopt;
  }
  // In storage order, so the archive is read front to back.
  const std::vector<std::uint32_t> ids = archive.ids_in_storage_order();
  ChainCopier copier(archive, *writer, edit);
  std::size_t tables_rewritten = 0;
  for (const std::vector<std::uint32_t>& group :
       group_ids(ids, [&](std::uint32_t id) { return ChainKey::of(*archive.find(id)); })) {
    // Returning drops the writer, which removes its unfinished file.
    if (!copier.copy(group, tables_rewritten)) return std::nullopt;
  }
  const Result<void> finished = writer->finish();
  if (!finished) {
    report_error("write " + output_name, error_text(finished.error()));
    return std::nullopt;
  }
  return tables_rewritten;
}

}  // namespace kelvane_dat::cli
