#include "tool_fixture.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>

#include "detail/lrs_token_writer.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "support/archive_builder.hpp"
#include "support/tree_layout.hpp"

namespace kelvane_dat::cli::testing {

namespace {

using test_support::ArchiveBuilder;
using test_support::StoreOptions;

StoredStringTable encodable(const KnownTable& table) {
  StoredStringTable data;
  data.id = table.id;
  data.language = table.language;
  // Stored in descending key order, so sorted output cannot come from file order.
  for (auto entry = table.entries.rbegin(); entry != table.entries.rend(); ++entry) {
    StoredStringTableEntry stored;
    stored.key = entry->key;
    stored.data_id = entry->data_id;
    for (const std::string& text : entry->texts)
      stored.texts.push_back(utf8_to_utf16(text).value());
    stored.variables = entry->variables;
    stored.flag = entry->worth_packing ? 1 : 0;
    data.entries.push_back(std::move(stored));
  }
  return data;
}

std::vector<KnownTable> known_tables() {
  KnownTable mixed{.id = 0x23000001, .language = 1, .entries = {}};
  mixed.entries.push_back({.key = 0x00000003,
                           .data_id = 0,
                           .texts = {"Caf\xC3\xA9 \xF0\x9F\x98\x80"},
                           .variables = {},
                           .worth_packing = false});
  mixed.entries.push_back({.key = 0x00000007,
                           .data_id = 0x31000005,
                           .texts = {"Say \"hi\" \\ bye", "Line\nbreak\ttab\x01"},
                           .variables = {1, 4294967295u},
                           .worth_packing = true});
  mixed.entries.push_back(
      {.key = 0x00000010, .data_id = 0, .texts = {}, .variables = {}, .worth_packing = false});
  KnownTable keys{.id = 0x2300000A, .language = 1, .entries = {}};
  keys.entries.push_back({.key = 0x014152D5,
                          .data_id = 0,
                          .texts = {"Left Alt"},
                          .variables = {},
                          .worth_packing = false});
  keys.entries.push_back({.key = 0x04CD833C,
                          .data_id = 0,
                          .texts = {"Left Ctrl"},
                          .variables = {},
                          .worth_packing = false});
  return {mixed, keys};
}

Bytes pattern(std::size_t size, std::size_t period) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7) % period);
  return bytes;
}

std::uint32_t store_sorted_tree(ArchiveBuilder& builder, std::vector<DatFileEntry> entries) {
  std::sort(entries.begin(), entries.end(),
            [](const DatFileEntry& a, const DatFileEntry& b) { return a.id < b.id; });
  // Small nodes: the directory is several levels deep, as real ones are.
  test_support::TreeShape shape;
  shape.entries_per_node = 2;
  shape.max_children = 3;
  return test_support::store_tree(builder, entries, shape);
}

// A file stored exactly as given, flags included: a compressed flag here does not compress.
DatFileEntry store_raw(ArchiveBuilder& builder, std::uint32_t id, const Bytes& stored,
                       std::uint32_t flags) {
  return DatFileEntry{
      flags, id, builder.store_chain(stored), static_cast<std::uint32_t>(stored.size()), 0, 0};
}

}  // namespace

const KnownArchive& KnownArchive::get() {
  static const KnownArchive archive;
  return archive;
}

KnownArchive::KnownArchive() : tables(known_tables()) {
  ArchiveBuilder builder(1024);
  builder.header.dataset = 3;  // a local archive: 0x23 ids are string tables
  builder.header.subset = 0x11;
  builder.header.free_head = 0x400;
  builder.header.free_tail = 0x800;
  builder.header.free_count = 5;
  builder.header.new_lru = 1;
  builder.header.old_lru = 2;
  builder.header.use_lru = 3;
  builder.header.master_map_id = 0x12345678;
  builder.header.engine_version = 42;
  builder.header.game_version = 7;
  builder.header.version_string = {'v', '1', '.', '2', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF};
  builder.header.version_minor = 9;

  const auto store = [&](std::uint32_t id, Bytes data, bool compressed, std::uint32_t version) {
    StoreOptions options;
    options.compressed = compressed;
    options.timestamp = 0x5F000000u + id % 0x100;
    options.version = version;
    entries[id] = builder.store_file(id, data, options);
    contents[id] = std::move(data);
  };
  store(tables[0].id, encodable(tables[0]).encode().value(), false, 1);
  store(tables[1].id, encodable(tables[1]).encode().value(), true, 1);
  store(0x06000001, pattern(3000, 251), false, 2);  // three blocks
  store(0x0A000002, pattern(5000, 13), true, 3);
  store(0x0B000003, pattern(10, 256), false, 0);  // a prefix that names nothing
  const std::string text = "plain text\n";
  store(0x0E000004, Bytes(text.begin(), text.end()), false, 0);

  std::vector<DatFileEntry> all;
  for (const auto& [id, entry] : entries) all.push_back(entry);
  builder.header.root_offset = store_sorted_tree(builder, all);
  file_.emplace(builder.finish(), "kelvane_tool");
  header = builder.header;
}

const DamagedArchive& DamagedArchive::get() {
  static const DamagedArchive archive;
  return archive;
}

DamagedArchive::DamagedArchive() {
  ArchiveBuilder builder(1024);
  builder.header.dataset = 3;
  std::vector<DatFileEntry> all;
  const auto table = [](std::uint32_t id) {
    StoredStringTable data;
    data.id = id;
    data.entries.resize(1);
    data.entries[0].key = 1;
    data.entries[0].texts = {utf8_to_utf16("Text").value()};
    return data.encode().value();
  };

  all.push_back(DatFileEntry{0, 0x06000001, 0x7FFFFF00, 100, 0, 0});  // chain starts past the end
  all.push_back(builder.store_file(0x06000002, pattern(50, 256)));
  // Declares 100 bytes, holds three literals.
  all.push_back(store_raw(builder, 0x0A000001, detail::LrsTokenWriter(100).literals("abc").bytes(),
                          DatFileEntry::kCompressedFlag));
  all.push_back(store_raw(builder, 0x0A000002, Bytes{1, 2}, DatFileEntry::kCompressedFlag));
  const Bytes whole = table(0x23000001);
  const Bytes truncated(whole.begin(), whole.end() - 3);
  all.push_back(builder.store_file(0x23000001, truncated));
  all.push_back(builder.store_file(0x23000002, table(0x23000003)));
  Bytes trailing = table(0x23000004);
  const std::size_t table_size = trailing.size();
  trailing.insert(trailing.end(), {0, 0});
  all.push_back(builder.store_file(0x23000004, trailing));
  StoreOptions compressed;
  compressed.compressed = true;
  all.push_back(builder.store_file(0x23000005, table(0x23000005), compressed));
  file_count = all.size();

  builder.header.root_offset = store_sorted_tree(builder, all);
  file_.emplace(builder.finish(), "kelvane_tool_damaged");
  expected_errors = {
      "kelvane-dat: read 0x06000001: IO error: failed to fill whole buffer",
      "kelvane-dat: read 0x0A000001: " + kShortExpansion,
      "kelvane-dat: read 0x0A000002: " + kPayloadWithoutSize,
      "kelvane-dat: decode string table 0x23000001: failed to fill whole buffer",
      "kelvane-dat: decode string table 0x23000002: the table names itself 0x23000003",
      "kelvane-dat: decode string table 0x23000004: decoding stopped at byte " +
          std::to_string(table_size) + " of " + std::to_string(table_size + 2),
  };
}

ScratchDirectory::ScratchDirectory() {
  // Random names, as TempFile picks them: create_directory reports whether it made the directory,
  // so a name another test already holds is simply drawn again.
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  do {
    path_ = base / ("kelvane_tool_dir_" + std::to_string(random()) + std::to_string(random()));
  } while (!std::filesystem::create_directory(path_));
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::optional<Bytes> read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string missing_archive_error() {
  const auto opened = DatDatabase::open("/nonexistent/archive.dat");
  const auto* path_error = opened ? nullptr : opened.error().get_if<DatError::PathError>();
  return path_error != nullptr ? path_error->source.to_string() : "<opened>";
}

std::vector<nlohmann::json> json_lines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

std::string hex_id(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", id);
  return text;
}

e2e::ProcessResult run_tool(const std::vector<std::string>& args, e2e::TerminalStreams terminal) {
  return e2e::run_process(KELVANE_DAT_TOOL, args, {}, terminal);
}

}  // namespace kelvane_dat::cli::testing
