// Writes the seed corpora of the fuzz targets: make_fuzz_seeds <corpus-dir> <tool-corpus-dir>
// writes <corpus-dir>/<target>/<seed> for every seed of the library's targets below, and
// <tool-corpus-dir>/<target>/<seed> for those of the tool's, replacing files of the same name.
//
// Seeds are small on purpose: archives use blocks of 64 to 256 bytes and hold a few files, so a
// seed costs the fuzzer microseconds, and libFuzzer's default input length limit (the largest seed)
// still leaves room for a few directory nodes. They come from the test support's builders and the
// byte vectors of the unit tests.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "kelvane_dat/compress.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "support/archive_builder.hpp"
#include "support/tree_layout.hpp"

namespace {

using namespace kelvane_dat;
using namespace kelvane_dat::test_support;
using Bytes = std::vector<std::uint8_t>;

struct Seed {
  std::string target;
  std::string name;
  Bytes bytes;
};

Bytes words(std::size_t size) {
  static constexpr std::string_view kWords[] = {"the ", "archive ", "block ", "chain ", "table "};
  Bytes out;
  for (std::size_t i = 0; out.size() < size; ++i) {
    const std::string_view word = kWords[(i * 7 + i / 3) % std::size(kWords)];
    out.insert(out.end(), word.begin(), word.end());
  }
  out.resize(size);
  return out;
}

DatFileEntry entry_at(std::uint32_t id, std::uint32_t offset, std::uint32_t size) {
  return DatFileEntry{0, id, offset, size, 0, 0};
}

Bytes leaf_archive(std::uint32_t block_size, std::vector<DatFileEntry> (*store)(ArchiveBuilder&)) {
  ArchiveBuilder builder(block_size);
  DirectoryNode root;
  root.entries = store(builder);
  builder.header.root_offset = builder.store_node(root);
  return builder.bytes();
}

// Every archive seed serves both targets that take an archive.
void archive_seeds(std::vector<Seed>& seeds, std::vector<Seed>& tool_seeds) {
  auto add = [&seeds, &tool_seeds](std::string name, Bytes bytes) {
    tool_seeds.push_back({"tool_commands", name, bytes});
    seeds.push_back({"archive_open", std::move(name), std::move(bytes)});
  };
  add("empty_directory", ArchiveBuilder(64).bytes());

  add("leaf_with_four_files", leaf_archive(64, [](ArchiveBuilder& builder) {
        StoreOptions compressed;
        compressed.compressed = true;
        StoreOptions descending;
        descending.layout.order = ChainOrder::Descending;
        descending.layout.last_pointer = 0x7FFF0000;
        const Bytes text = words(150);
        return std::vector<DatFileEntry>{
            builder.store_file(0x23000001, text, descending),
            builder.store_file(0x23000002, text, compressed),
            entry_at(0x23000003, builder.store_contiguous(words(90)), 90),
            entry_at(0x23000004, 0, 0),
        };
      }));

  {
    ArchiveBuilder builder(128);
    std::vector<DatFileEntry> entries;
    for (std::uint32_t i = 0; i < 6; ++i) {
      StoreOptions options;
      options.compressed = i % 2 == 1;
      options.layout = {ChainOrder::Shuffled, i, 0};
      entries.push_back(builder.store_file(0x06000000 + i, words(40 + 30 * i), options));
    }
    TreeShape shape;
    shape.entries_per_node = 2;
    shape.max_children = 3;
    builder.header.root_offset = store_tree(builder, entries, shape);
    add("three_nodes_shuffled_chains", builder.bytes());
  }
  {
    ArchiveBuilder builder(256);
    builder.header.dataset = 2;
    StoredStringTable table;
    table.id = 0x2300000A;
    table.entries = {
        {0x014152D5, 0, {utf8_to_utf16("Left Alt").value()}, {}, 0},
        {0x0001, 7, {utf8_to_utf16("two").value(), utf8_to_utf16("texts").value()}, {1, 2}, 1}};
    StoreOptions compressed;
    compressed.compressed = true;
    DirectoryNode root;
    root.entries = {builder.store_file(table.id, table.encode().value(), compressed)};
    builder.header.root_offset = builder.store_node(root);
    add("cell_kind_string_table", builder.bytes());
  }
  {
    ArchiveBuilder builder(16);
    DirectoryNode root;
    root.entries = {builder.store_file(0x01000001, words(40))};
    builder.header.root_offset = builder.store_node(root);
    add("sixteen_byte_blocks", builder.bytes());
  }
  {
    ArchiveBuilder builder(64);
    const NodeSlot root = builder.reserve_node();
    DirectoryNode node;
    node.branches.fill(root.offset());
    node.entries = {entry_at(1, 0, 0)};
    builder.fill_node(root, node);
    builder.header.root_offset = root.offset();
    add("root_is_its_own_child", builder.bytes());
  }
  {
    ArchiveBuilder builder(64);
    DirectoryNode root;
    root.entry_count = 62;
    builder.header.root_offset = builder.store_node(root);
    add("entry_count_overruns_node", builder.bytes());
  }
  add("hostile_entries", leaf_archive(64, [](ArchiveBuilder& builder) {
        // A chain past the end, a size far beyond the file over a self-looping block, and a
        // compressed payload declaring 4 GiB.
        const std::uint32_t looping = builder.new_blocks(1).front();
        builder.write_u32(looping, looping);
        const Bytes greedy = {0xFF, 0xFF, 0xFF, 0xFF, 0x40, 'a', 0x01, 0x0F};
        return std::vector<DatFileEntry>{
            entry_at(0x10, 0x7FFF0000, 10),
            entry_at(0x11, looping, 0xFFFFFFF0),
            DatFileEntry{1, 0x12, builder.store_chain(greedy), 8, 0, 0},
        };
      }));
}

// Archives whose chains claim bytes twice, for the commands' layout check.
void overlap_seeds(std::vector<Seed>& tool_seeds) {
  auto add = [&tool_seeds](std::string name, Bytes bytes) {
    tool_seeds.push_back({"tool_commands", std::move(name), std::move(bytes)});
  };
  add("shared_and_looping_chains", leaf_archive(64, [](ArchiveBuilder& builder) {
        DatFileEntry shared = builder.store_file(0x23000001, words(200));
        const DatFileEntry first = shared;
        shared.id = 0x23000002;
        const auto loop = builder.new_blocks(2);
        builder.write_chain(words(120), loop, loop[0]);
        return std::vector<DatFileEntry>{first, shared, entry_at(0x06000001, loop[0], 300)};
      }));
  add("chains_over_header_and_node", leaf_archive(64, [](ArchiveBuilder& builder) {
        const DatFileEntry file = builder.store_file(0x06000001, words(100));
        // The root node is stored after this file, in the next block.
        const std::uint32_t root = file.offset + 2 * 64;
        return std::vector<DatFileEntry>{file, entry_at(0x06000002, 0x100, 20),
                                         entry_at(0x06000003, file.offset + 30, 40),
                                         entry_at(0x06000004, root, 100)};
      }));
}

// block_chain inputs: block size, first block, size and flags (see the target), then the image.
void block_chain_seeds(std::vector<Seed>& seeds) {
  auto add = [&seeds](std::string name, std::uint32_t block_size, std::uint32_t first,
                      std::uint32_t size, std::uint8_t flags, Bytes image) {
    Bytes bytes;
    for (const std::uint32_t value : {block_size, first, size}) {
      for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
      }
    }
    bytes.push_back(flags);
    bytes.insert(bytes.end(), image.begin(), image.end());
    seeds.push_back({"block_chain", std::move(name), std::move(bytes)});
  };
  for (const ChainOrder order : {ChainOrder::Ascending, ChainOrder::Shuffled}) {
    ArchiveBuilder builder(64);
    const Bytes text = words(700);
    const std::uint32_t first = builder.store_chain(text, {order, 5, 0x7FFF0000});
    add(order == ChainOrder::Ascending ? "contiguous" : "shuffled", 64, first,
        static_cast<std::uint32_t>(text.size()), 0x01, builder.bytes());
  }
  {
    ArchiveBuilder builder(32);
    const std::uint32_t first = builder.store_contiguous(words(300));
    add("zero_pointer_rest", 32, first, 300, 0x01, builder.bytes());
  }
  {
    // A file that shrank, and a read error in a block the chain skips.
    ArchiveBuilder builder(64);
    const auto blocks = builder.new_blocks(3);
    const std::uint32_t order[] = {blocks[2], blocks[0]};
    builder.write_chain(words(100), order);
    Bytes image = builder.bytes();
    Bytes failing = {static_cast<std::uint8_t>(blocks[1] + 9),
                     static_cast<std::uint8_t>(blocks[1] >> 8),
                     0,
                     0,
                     0x40,
                     0x00};
    failing.insert(failing.end(), image.begin(), image.end());
    add("failing_skipped_block_and_shrunk_file", 64, blocks[2], 100, 0x07, failing);
  }
}

void decompress_seeds(std::vector<Seed>& seeds) {
  auto add = [&seeds](std::string name, Bytes bytes) {
    seeds.push_back({"decompress_lrs", std::move(name), std::move(bytes)});
  };
  add("three_bytes", {0xFF, 0x00, 0x41});
  add("declared_zero", {0, 0, 0, 0, 0x00, 0x41});
  add("literals", {3, 0, 0, 0, 0x00, 0x41, 0x42, 0x43});
  add("overlapping_reference", {6, 0, 0, 0, 0x40, 0x61, 0x01, 0x03});
  add("far_reference", {6, 0, 0, 0, 0x20, 0x41, 0x42, 0x03, 0x02});
  add("zero_distance", {9, 0, 0, 0, 0x40, 0x61, 0x00, 0x03, 0x62});
  add("reference_into_empty_output", {9, 0, 0, 0, 0x80, 0x01, 0x00, 0x61});
  add("ninth_byte_is_a_flag",
      {10, 0, 0, 0, 0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x80, 0x01, 0x00});
  add("declares_four_gib", {0xFF, 0xFF, 0xFF, 0xFF, 0x40, 0x61, 0x01, 0x0F});
  add("encoded_words", compress_lrs(words(600)).value());
  add("encoded_run", compress_lrs(Bytes(5000, 'x')).value());
  Bytes window(4200);
  for (std::size_t i = 0; i < window.size(); ++i) window[i] = static_cast<std::uint8_t>(i * 131);
  add("encoded_window_edge", compress_lrs(window).value());
}

// Plain inputs for the compressor: repeats at every distance up to the window and past it.
void compress_seeds(std::vector<Seed>& seeds) {
  auto add = [&seeds](std::string name, Bytes bytes) {
    seeds.push_back({"compress_lrs", std::move(name), std::move(bytes)});
  };
  add("empty", {});
  add("two_bytes", {0x41, 0x41});
  add("words", words(3000));
  add("run", Bytes(300, 'x'));
  Bytes window(4200);
  for (std::size_t i = 0; i < window.size(); ++i) window[i] = static_cast<std::uint8_t>(i * 131);
  add("window_edge", window);
}

void packed_int_seeds(std::vector<Seed>& seeds) {
  auto add = [&seeds](std::string name, Bytes bytes) {
    seeds.push_back({"read_compressed_u32", std::move(name), std::move(bytes)});
  };
  add("every_form", {0x00, 0x7F, 0x80, 0x00, 0x81, 0x23, 0xBF, 0xFF, 0xC0, 0x00,
                     0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xC1, 0x02, 0x03, 0x04});
  add("longer_than_needed", {0x80, 0x05, 0xC0, 0x00, 0x05, 0x00});
  add("medium_cut", {0x80});
  add("long_cut_in_word", {0xFF, 0x81, 0x23, 0xC0, 0x01, 0x02});
}

void string_table_seeds(std::vector<Seed>& seeds) {
  auto add = [&seeds](std::string name, Bytes bytes) {
    seeds.push_back({"string_table", std::move(name), std::move(bytes)});
  };
  StoredStringTable example;
  example.id = 0x2300000A;
  example.entries = {{0x014152D5, 0, {utf8_to_utf16("Left Alt").value()}, {}, 0}};
  const Bytes example_bytes = example.encode().value();
  add("left_alt", example_bytes);
  add("left_alt_cut", Bytes(example_bytes.begin(), example_bytes.begin() + 30));
  add("empty", StoredStringTable{}.encode().value());

  StoredStringTable varied;
  varied.id = 0x23000001;
  varied.entries = {
      {5, 1, {u"", std::u16string(200, u'w')}, {1, 2, 3}, 2},
      {6,
       2,
       {u"\xD83D\xDE00",
        u"\xD800"
        u"A",
        u"\xDC00", std::u16string(u"A\0B", 3)},
       {},
       0},
      {5, 3, {u"later wins"}, {9}, 1},
  };
  add("surrogates_and_duplicates", varied.encode().value());

  Bytes text = {0x03, 0x3D, 0xD8, 0x00, 0xDE, 0x41, 0x00};
  add("text_surrogate_pair", text);
}

void options_seeds(std::vector<Seed>& seeds) {
  // The first byte sets environment variables (see the target); arguments are NUL-separated.
  auto add = [&seeds](std::string name, std::uint8_t variables,
                      std::vector<std::string_view> arguments) {
    Bytes bytes = {variables};
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      if (i > 0) bytes.push_back(0);
      bytes.insert(bytes.end(), arguments[i].begin(), arguments[i].end());
    }
    seeds.push_back({"case_runner_options", std::move(name), std::move(bytes)});
  };
  add("filters_and_skips", 0,
      {"prog", "alpha", "--exact", "--skip", "a", "beta", "--skip=b", "--show-output", "--list",
       "--", "--not-an-option"});
  add("threads_and_output", 0,
      {"prog", "--test-threads", "3", "--nocapture", "-q", "--color=never"});
  add("experimental", 0x01,
      {"prog", "-Zunstable-options", "--fail-fast", "--report-time", "--shuffle-seed", "42",
       "--format", "json", "--exclude-should-panic"});
  add("help_cluster", 0, {"prog", "-qh"});
  add("threads_from_environment", 0x20, {"prog", "--ignored", "+7"});
  add("shuffle_seed_from_environment", 0x15, {"prog", "-Z", "unstable-options", "x"});
  add("conflicting_ignored", 0, {"prog", "--ignored", "--include-ignored"});
  add("bad_numbers", 0, {"prog", "--test-threads", "18446744073709551616"});
}

bool write_seeds(const std::filesystem::path& corpus, const std::vector<Seed>& seeds) {
  for (const Seed& seed : seeds) {
    const std::filesystem::path dir = corpus / seed.target;
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / seed.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(seed.bytes.data()),
              static_cast<std::streamsize>(seed.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", (dir / seed.name).string().c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <corpus-dir> <tool-corpus-dir>\n", argv[0]);
    return 2;
  }
  std::vector<Seed> seeds;
  std::vector<Seed> tool_seeds;
  archive_seeds(seeds, tool_seeds);
  overlap_seeds(tool_seeds);
  block_chain_seeds(seeds);
  decompress_seeds(seeds);
  compress_seeds(seeds);
  packed_int_seeds(seeds);
  string_table_seeds(seeds);
  options_seeds(seeds);
  if (!write_seeds(argv[1], seeds) || !write_seeds(argv[2], tool_seeds)) return 1;
  std::printf("wrote %zu seeds\n", seeds.size() + tool_seeds.size());
  return 0;
}
