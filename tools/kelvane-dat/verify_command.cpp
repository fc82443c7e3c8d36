// kelvane-dat verify ARCHIVE [--jobs N]: reads every file, checks every compressed payload against
// the size it declares and decodes every string table; reports each failure and a summary.

#include "commands.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "archive.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/endian.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "progress.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::size_t kMaxJobs = 256;

constexpr std::string_view kPositionals[] = {"ARCHIVE"};
constexpr OptionSyntax kOptions[] = {
    {.name = "jobs",
     .short_name = 'j',
     .value_name = "N",
     .help = "check N files at a time, on N threads sharing the open archive (default 1)"},
};
constexpr CommandSyntax kSyntax{
    .name = "verify",
    .summary = "read every file and decode every string table, reporting what fails",
    .positionals = kPositionals,
    .required_positionals = 1,
    .options = kOptions,
    .details =
        "Each failure is reported on standard error with the file's id, in id order, and a\n"
        "summary line follows on standard output. A compressed file fails when it expands to\n"
        "fewer bytes than it declares; a string table fails when it cannot be decoded, names\n"
        "another id, or leaves bytes undecoded. The exit status is 1 when anything failed.\n",
};

struct Failure {
  std::string what;
  std::string text;
};

struct FileOutcome {
  std::uint64_t bytes = 0;
  bool string_table = false;
  std::size_t entries = 0;
  std::optional<Failure> failure;
};

// The size a compressed payload declares in its first four bytes, read on its own so the file's
// bytes still come from get_file like every other reader's.
Result<std::optional<std::uint32_t>> declared_size(const DatDatabase& archive,
                                                   const DatFileEntry& entry) {
  constexpr std::uint32_t kSizePrefix = 4;
  if (entry.size < kSizePrefix) return std::nullopt;
  const Result<std::vector<std::uint8_t>> prefix =
      archive.read_file_data(entry.offset, kSizePrefix);
  if (!prefix) return std::unexpected(prefix.error());
  return load_le32(prefix->data());
}

FileOutcome check_file(const DatDatabase& archive, std::uint32_t id) {
  FileOutcome outcome;
  const std::string id_string = id_text(id);
  const Result<std::vector<std::uint8_t>> bytes = archive.get_file(id);
  if (!bytes) {
    outcome.failure = Failure{"read " + id_string, error_text(bytes.error())};
    return outcome;
  }
  outcome.bytes = bytes->size();
  const DatFileEntry& entry = *archive.find(id);
  if (entry.is_compressed()) {
    const Result<std::optional<std::uint32_t>> declared = declared_size(archive, entry);
    if (!declared) {
      outcome.failure = Failure{"read " + id_string, error_text(declared.error())};
      return outcome;
    }
    if (!*declared) {
      outcome.failure = Failure{"expand " + id_string, "the compressed payload has " +
                                                           std::to_string(entry.size) +
                                                           " bytes, too few to declare its size"};
      return outcome;
    }
    if (bytes->size() != **declared) {
      outcome.failure = Failure{"expand " + id_string,
                                "the compressed payload yields " + std::to_string(bytes->size()) +
                                    " of the " + std::to_string(**declared) + " bytes it declares"};
      return outcome;
    }
  }
  if (archive.file_type(id) != DatFileType::StringTable) return outcome;

  outcome.string_table = true;
  const std::string what = "decode string table " + id_string;
  ByteCursor cursor(*bytes);
  const std::expected<StringTable, ReadError> table = StringTable::read_le(cursor);
  if (!table) {
    outcome.failure = Failure{what, table.error().to_string()};
  } else if (table->id != id) {
    outcome.failure = Failure{what, "the table names itself " + id_text(table->id)};
  } else if (cursor.position() != bytes->size()) {
    outcome.failure =
        Failure{what, "decoding stopped at byte " + std::to_string(cursor.position()) + " of " +
                          std::to_string(bytes->size())};
  } else {
    outcome.entries = table->strings.size();
  }
  return outcome;
}

// Checks every id on `jobs` threads that share the archive handle (its reads are positioned, so
// they need no lock) and returns the outcomes in the order of `ids`.
std::vector<FileOutcome> check_all(const DatDatabase& archive,
                                   const std::vector<std::uint32_t>& ids, std::size_t jobs) {
  std::vector<FileOutcome> outcomes(ids.size());
  std::atomic<std::size_t> next = 0;
  std::atomic<std::size_t> done = 0;
  std::mutex mutex;
  std::condition_variable finished;
  ProgressLine progress("verifying", ids.size());
  {
    std::vector<std::jthread> workers;
    const std::size_t threads = std::max<std::size_t>(1, std::min(jobs, ids.size()));
    for (std::size_t t = 0; t < threads; ++t) {
      workers.emplace_back([&] {
        for (std::size_t i = next++; i < ids.size(); i = next++) {
          outcomes[i] = check_file(archive, ids[i]);
          if (++done == ids.size()) {
            const std::lock_guard lock(mutex);
            finished.notify_all();
          }
        }
      });
    }
    if (progress.enabled()) {
      std::unique_lock lock(mutex);
      while (!finished.wait_for(lock, std::chrono::milliseconds(50),
                                [&] { return done == ids.size(); })) {
        progress.update(done);
      }
    }
  }
  progress.clear();
  return outcomes;
}

std::string counted(std::uint64_t count, std::string_view one, std::string_view many = {}) {
  std::string text = std::to_string(count) + " ";
  if (count == 1) return text.append(one);
  return many.empty() ? text.append(one).append("s") : text.append(many);
}

int run(const ParsedArguments& args) {
  std::size_t jobs = 1;
  if (const std::optional<std::string> value = args.value("jobs")) {
    const std::expected<std::size_t, std::string> count = parse_count(*value, kMaxJobs);
    if (!count) return usage_error(kSyntax.name, "--jobs: " + count.error());
    jobs = *count;
  }
  const std::optional<DatDatabase> archive = open_archive(args.positionals()[0]);
  if (!archive) return kExitArchiveError;

  const std::vector<std::uint32_t> ids = archive->ids();
  const std::vector<FileOutcome> outcomes = check_all(*archive, ids, jobs);
  std::uint64_t bytes = 0;
  std::size_t tables = 0;
  std::size_t entries = 0;
  std::size_t failures = 0;
  for (const FileOutcome& outcome : outcomes) {
    bytes += outcome.bytes;
    entries += outcome.entries;
    if (outcome.string_table) ++tables;
    if (outcome.failure) {
      ++failures;
      report_error(outcome.failure->what, outcome.failure->text);
    }
  }
  write_out("checked " + counted(ids.size(), "file") + " (" + counted(bytes, "byte") + ") and " +
            counted(tables, "string table") + " (" + counted(entries, "entry", "entries") +
            "): " + (failures == 0 ? "no failures" : counted(failures, "failure")) + "\n");
  return finish_output(failures == 0 ? kExitSuccess : kExitArchiveError);
}

}  // namespace

Command verify_command() { return {&kSyntax, &run}; }

}  // namespace kelvane_dat::cli
