// Writes crafted archives that try to multiply the work of whole-archive commands, for
// scripts/measure-hostile.sh to time kelvane-dat on (docs/robustness.md lists the figures).
//
// Usage: make_hostile_archives DIRECTORY
// Every archive is the same on every run. Names and what they hold:
//   sound             100,000 files of 300 bytes, nothing shared: the baseline
//   shared_chain      100,000 entries over one 32 MiB chain
//   shared_scattered  the same with the chain's blocks in random order
//   overlapping       32,768 entries, the i-th starting at block i of one 32 MiB chain
//   deep_directory    64 levels of full nodes, as deep as a directory may go
//   wide_directory    238,327 files in three levels of full 62-way nodes
//   shared_levels     30 levels whose 62 branches all lead to the same next node
//   huge_sizes        1,000 entries declaring 0xFFFFFFF0 bytes over blocks 4 bytes apart

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_platform/command_line.hpp"
#include "support/archive_builder.hpp"
#include "support/tree_layout.hpp"

namespace {

using kelvane_dat::DatDatabase;
using kelvane_dat::DatFileEntry;
using kelvane_dat::test_support::ArchiveBuilder;
using kelvane_dat::test_support::ChainLayout;
using kelvane_dat::test_support::ChainOrder;
using kelvane_dat::test_support::DirectoryNode;
using kelvane_dat::test_support::store_tree;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kFirstId = 0x06000000;
constexpr std::size_t kChainBytes = 32u << 20;

void sound(ArchiveBuilder& builder) {
  std::vector<DatFileEntry> entries;
  for (std::uint32_t i = 0; i < 100'000; ++i) {
    entries.push_back(builder.store_file(kFirstId + i, Bytes(300, static_cast<std::uint8_t>(i))));
  }
  builder.header.root_offset = store_tree(builder, entries);
}

void shared_chain(ArchiveBuilder& builder, ChainOrder order) {
  const Bytes payload(kChainBytes, 0x5A);
  const std::uint32_t chain = builder.store_chain(payload, ChainLayout{order, 7});
  std::vector<DatFileEntry> entries;
  for (std::uint32_t i = 0; i < 100'000; ++i) {
    entries.push_back(DatFileEntry{0, kFirstId + i, chain, kChainBytes, 0, 0});
  }
  builder.header.root_offset = store_tree(builder, entries);
}

void overlapping(ArchiveBuilder& builder) {
  const std::uint32_t payload_per_block = builder.block_size() - 4;
  const std::size_t block_count = kChainBytes / payload_per_block;
  const auto blocks = builder.new_blocks(block_count);
  builder.write_chain(Bytes(block_count * payload_per_block, 0x33), blocks);
  std::vector<DatFileEntry> entries;
  for (std::uint32_t i = 0; i < block_count; ++i) {
    const auto size = static_cast<std::uint32_t>((block_count - i) * payload_per_block);
    entries.push_back(DatFileEntry{0, kFirstId + i, blocks[i], size, 0, 0});
  }
  builder.header.root_offset = store_tree(builder, entries);
}

// A node of 61 small files whose first branch leads to `child` (0: a leaf).
std::uint32_t store_full_node(ArchiveBuilder& builder, std::uint32_t& next_id,
                              std::uint32_t child) {
  DirectoryNode node;
  for (std::size_t i = 0; i < DatDatabase::kMaxEntries; ++i) {
    node.entries.push_back(builder.store_file(next_id++, Bytes(100, 0x11)));
  }
  node.branches[0] = child;
  return builder.store_node(node);
}

void deep_directory(ArchiveBuilder& builder) {
  std::uint32_t next_id = kFirstId;
  std::uint32_t node = 0;
  for (std::size_t level = 0; level < DatDatabase::kMaxDirectoryDepth; ++level) {
    node = store_full_node(builder, next_id, node);
  }
  builder.header.root_offset = node;
}

void wide_directory(ArchiveBuilder& builder) {
  constexpr std::size_t kFiles = 61 + 62 * 61 + 62 * 62 * 61;
  std::vector<DatFileEntry> entries;
  entries.reserve(kFiles);
  for (std::uint32_t i = 0; i < kFiles; ++i) {
    entries.push_back(builder.store_file(kFirstId + i, Bytes(100, 0x22)));
  }
  builder.header.root_offset = store_tree(builder, entries);
}

void shared_levels(ArchiveBuilder& builder) {
  std::uint32_t next_id = kFirstId;
  std::uint32_t node = store_full_node(builder, next_id, 0);
  for (std::size_t level = 1; level < 30; ++level) {
    DirectoryNode inner;
    for (std::size_t i = 0; i < DatDatabase::kMaxEntries; ++i) {
      inner.entries.push_back(builder.store_file(next_id++, Bytes(100, 0x44)));
    }
    inner.branches.fill(node);
    node = builder.store_node(inner);
  }
  builder.header.root_offset = node;
}

// Blocks 4 bytes apart over 1 MiB, each pointing to the next: a chain that never repeats a block
// yet rereads every byte hundreds of times, and would walk 4 GiB for a size that large.
void huge_sizes(ArchiveBuilder& builder) {
  constexpr std::uint32_t kSpan = 1u << 20;
  const std::uint32_t start = builder.new_blocks(kSpan / builder.block_size()).front();
  for (std::uint32_t at = start; at < start + kSpan - 4; at += 4) builder.write_u32(at, at + 4);
  std::vector<DatFileEntry> entries;
  for (std::uint32_t i = 0; i < 1000; ++i) {
    entries.push_back(DatFileEntry{0, kFirstId + i, start + 4 * i, 0xFFFFFFF0, 0, 0});
  }
  builder.header.root_offset = store_tree(builder, entries);
}

struct Archive {
  const char* name;
  std::uint32_t block_size;
  std::function<void(ArchiveBuilder&)> build;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_hostile_archives DIRECTORY\n");
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  const std::array<Archive, 8> archives = {{
      {"sound", 256, sound},
      {"shared_chain", 1024, [](ArchiveBuilder& b) { shared_chain(b, ChainOrder::Ascending); }},
      {"shared_scattered", 1024, [](ArchiveBuilder& b) { shared_chain(b, ChainOrder::Shuffled); }},
      {"overlapping", 1024, overlapping},
      {"deep_directory", 1024, deep_directory},
      {"wide_directory", 256, wide_directory},
      {"shared_levels", 1024, shared_levels},
      {"huge_sizes", 1024, huge_sizes},
  }};
  for (const Archive& archive : archives) {
    ArchiveBuilder builder(archive.block_size);
    builder.header.dataset = 3;
    archive.build(builder);
    const std::filesystem::path path = directory / (std::string(archive.name) + ".dat");
    if (const auto failed = builder.write_to(path)) {
      std::fprintf(stderr, "make_hostile_archives: %s\n", failed->c_str());
      return 1;
    }
    std::printf("%s  %llu bytes\n", kelvane_platform::path_to_utf8(path).c_str(),
                static_cast<unsigned long long>(builder.size()));
  }
  return 0;
}
