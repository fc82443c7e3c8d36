#include "bench_data.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "bench_registry.hpp"
#include "kelvane_dat/compress.hpp"
#include "support/archive_builder.hpp"
#include "support/tree_layout.hpp"
#include "text_corpus.hpp"

namespace kelvane_dat::bench {

namespace {

using test_support::ArchiveBuilder;
using test_support::ChainLayout;
using test_support::ChainOrder;

// Bumped whenever the generators change, so stale files are not reused.
constexpr const char* kGeneration = "g3";
constexpr std::uint64_t kFetchArchiveBytes = std::uint64_t{512} << 20;
constexpr std::uint64_t kSizeSeed = 0x51DE5;
// Distinct compressed documents; files take them in turn. Compressing each file's own text would
// take the encoder half a minute per archive for no difference to the reader.
constexpr std::size_t kCompressedDocuments = 4096;

std::filesystem::path data_directory() {
  const char* configured = std::getenv("KELVANE_BENCH_DATA");
  std::filesystem::path directory = configured != nullptr ? configured : KELVANE_BENCH_DATA_DIR;
  std::filesystem::create_directories(directory);
  return directory;
}

// Sizes of files in a game archive: mostly small records, a long tail of large ones.
class FileSizes {
 public:
  explicit FileSizes(std::uint64_t seed) : random_(seed), sizes_(std::log(3072.0), 1.5) {}
  std::size_t next() {
    return static_cast<std::size_t>(std::clamp(sizes_(random_), 16.0, 4.0 * 1024 * 1024));
  }

 private:
  std::mt19937_64 random_;
  std::lognormal_distribution<double> sizes_;
};

// File ids in dense runs per type prefix, as a game archive numbers its files.
std::uint32_t file_id(std::size_t index) {
  constexpr std::uint32_t kPrefixes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x08, 0x0A,
                                         0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x20,
                                         0x21, 0x22, 0x23, 0x25, 0x27, 0x30, 0x31, 0x32};
  constexpr std::size_t kCount = std::size(kPrefixes);
  return kPrefixes[index % kCount] << 24 | static_cast<std::uint32_t>(0x1000 + index / kCount);
}

// The depth of the tree store_tree makes of `entries` entries with `children` per inner node.
std::size_t tree_depth(std::size_t entries, std::size_t children) {
  if (entries <= DatDatabase::kMaxEntries) return 1;
  const std::size_t used = std::max<std::size_t>(2, std::min(children, (entries + 1) / 2));
  const std::size_t largest = (entries - (used - 1) + used - 1) / used;
  return 1 + tree_depth(largest, children);
}

// A game archive's directory is a B-tree of mostly full nodes. store_tree splits evenly into as
// many children as allowed, so the fewest children that keep the tree as shallow as possible give
// full leaves.
test_support::TreeShape full_node_shape(std::size_t entries) {
  const std::size_t depth = tree_depth(entries, DatDatabase::kBranchCount);
  test_support::TreeShape shape;
  shape.max_children = DatDatabase::kBranchCount;
  while (shape.max_children > 2 && tree_depth(entries, shape.max_children - 1) == depth) {
    --shape.max_children;
  }
  return shape;
}

void finish_archive(ArchiveBuilder& builder, std::vector<DatFileEntry> entries,
                    const std::filesystem::path& path) {
  std::sort(entries.begin(), entries.end(),
            [](const DatFileEntry& a, const DatFileEntry& b) { return a.id < b.id; });
  builder.header.root_offset =
      test_support::store_tree(builder, entries, full_node_shape(entries.size()));
  const auto temporary = std::filesystem::path(path).concat(".partial");
  if (const auto error = builder.write_to(temporary)) fail(*error);
  std::filesystem::rename(temporary, path);
}

std::vector<std::vector<std::uint8_t>> compressed_documents() {
  const std::string english = english_like_text(std::size_t{8} << 20, 0xE1);
  const std::vector<std::uint8_t> utf16 =
      utf16le_bytes(english_like_text(std::size_t{4} << 20, 0xE2));
  FileSizes sizes(kSizeSeed + 1);
  std::mt19937_64 random(7);
  std::vector<std::vector<std::uint8_t>> documents;
  for (std::size_t i = 0; i < kCompressedDocuments; ++i) {
    const bool wide = i % 2 == 1;
    const std::size_t corpus = wide ? utf16.size() : english.size();
    const std::size_t size = std::min(sizes.next(), corpus / 2);
    const std::size_t at = random() % (corpus - size);
    const auto* begin = wide ? utf16.data() : reinterpret_cast<const std::uint8_t*>(english.data());
    documents.push_back(compress_lrs({begin + at, size}).value());
  }
  return documents;
}

FetchArchive build_fetch_archive(const std::filesystem::path& path, std::uint32_t block_size,
                                 Fragmentation fragmentation, bool compressed) {
  std::fprintf(stderr, "writing %s\n", path.c_str());
  ArchiveBuilder builder(block_size);
  FileSizes sizes(kSizeSeed);
  const auto documents = compressed ? compressed_documents() : decltype(compressed_documents()){};
  std::vector<std::uint8_t> data;
  std::vector<DatFileEntry> entries;
  FetchArchive archive;
  archive.path = path;
  // The same volume of content either way: plain files fill the archive, compressed ones take less.
  auto more = [&] {
    return compressed ? archive.content_bytes < kFetchArchiveBytes
                      : builder.size() < kFetchArchiveBytes;
  };
  for (std::size_t i = 0; more(); ++i) {
    ChainLayout layout;
    layout.order =
        fragmentation == Fragmentation::Contiguous ? ChainOrder::Ascending : ChainOrder::Shuffled;
    layout.seed = i;
    DatFileEntry entry{0, file_id(i), 0, 0, 0x5F000000, 1};
    if (compressed) {
      const auto& document = documents[i % documents.size()];
      entry.bit_flags = DatFileEntry::kCompressedFlag;
      entry.size = static_cast<std::uint32_t>(document.size());
      entry.offset = builder.store_chain(document, layout);
      std::uint32_t declared;
      std::memcpy(&declared, document.data(), 4);
      archive.content_bytes += declared;
    } else {
      data.resize(sizes.next());
      fill_pseudo_random(data, i);
      entry.size = static_cast<std::uint32_t>(data.size());
      entry.offset = builder.store_chain(data, layout);
      archive.content_bytes += data.size();
    }
    entries.push_back(entry);
  }
  archive.files = entries.size();
  finish_archive(builder, std::move(entries), path);
  return archive;
}

}  // namespace

void fill_pseudo_random(std::span<std::uint8_t> out, std::uint64_t seed) {
  std::uint64_t state = seed * 0x9E3779B97F4A7C15u + 1;
  std::size_t i = 0;
  while (i < out.size()) {
    // splitmix64
    state += 0x9E3779B97F4A7C15u;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    const std::size_t n = std::min<std::size_t>(8, out.size() - i);
    std::memcpy(out.data() + i, &z, n);
    i += n;
  }
}

const FetchArchive& fetch_archive(std::uint32_t block_size, Fragmentation fragmentation,
                                  bool compressed) {
  static std::map<std::tuple<std::uint32_t, Fragmentation, bool>, FetchArchive> made;
  const auto key = std::make_tuple(block_size, fragmentation, compressed);
  if (const auto found = made.find(key); found != made.end()) return found->second;

  const std::string name =
      std::string("fetch-") + kGeneration + "-" + std::to_string(block_size) +
      (fragmentation == Fragmentation::Contiguous ? "-contiguous" : "-scattered") +
      (compressed ? "-compressed" : "-plain");
  const std::filesystem::path path = data_directory() / (name + ".dat");
  const std::filesystem::path info = data_directory() / (name + ".info");
  FetchArchive archive;
  archive.path = path;
  std::ifstream saved(info);
  if (!(std::filesystem::exists(path) && saved >> archive.files >> archive.content_bytes)) {
    archive = build_fetch_archive(path, block_size, fragmentation, compressed);
    std::ofstream(info) << archive.files << ' ' << archive.content_bytes << '\n';
  }
  return made.emplace(key, archive).first->second;
}

const std::filesystem::path& open_archive(std::size_t file_count) {
  static std::map<std::size_t, std::filesystem::path> made;
  if (const auto found = made.find(file_count); found != made.end()) return found->second;

  const std::filesystem::path path = data_directory() / (std::string("open-") + kGeneration + "-" +
                                                         std::to_string(file_count) + ".dat");
  if (!std::filesystem::exists(path)) {
    std::fprintf(stderr, "writing %s\n", path.c_str());
    ArchiveBuilder builder(1024);
    // The entries' contents are never read when opening; they share one stored file.
    std::vector<std::uint8_t> data(700);
    fill_pseudo_random(data, file_count);
    const std::uint32_t stored = builder.store_chain(data);
    std::vector<DatFileEntry> entries;
    entries.reserve(file_count);
    for (std::size_t i = 0; i < file_count; ++i) {
      entries.push_back({0, file_id(i), stored, static_cast<std::uint32_t>(data.size()), 0, 1});
    }
    finish_archive(builder, std::move(entries), path);
  }
  return made.emplace(file_count, path).first->second;
}

const std::filesystem::path& sample_archive(unsigned scale) {
  static std::map<unsigned, std::filesystem::path> made;
  if (const auto found = made.find(scale); found != made.end()) return found->second;

  const std::filesystem::path path = data_directory() / (std::string("sample-") + kGeneration +
                                                         "-x" + std::to_string(scale) + ".dat");
  if (!std::filesystem::exists(path)) {
    const std::string command = std::string(KELVANE_SAMPLE_TOOL) + " '" + path.string() +
                                "' --scale " + std::to_string(scale) + " >&2";
    if (std::system(command.c_str()) != 0) fail("cannot run " + command);
  }
  return made.emplace(scale, path).first->second;
}

void warm_page_cache(const std::filesystem::path& path) {
  auto file = FileDescriptor::open_read_only(path);
  if (!file) fail("cannot open " + path.string());
  read_front_to_back(*file);
}

std::uint64_t read_front_to_back(FileDescriptor& file) {
  static thread_local std::vector<char> buffer(std::size_t{1} << 20);
  if (!file.seek(0)) return 0;
  std::uint64_t total = 0;
  ssize_t got;
  while ((got = ::read(file.get(), buffer.data(), buffer.size())) > 0) {
    total += static_cast<std::uint64_t>(got);
  }
  return total;
}

double evict_from_page_cache(const std::filesystem::path& path) {
  const auto file = FileDescriptor::open_read_only(path);
  if (!file) fail("cannot open " + path.string());
  const auto length = static_cast<std::size_t>(file->size().value());
  // Dirty pages are not dropped: a freshly written archive must reach the disk first.
  if (::fdatasync(file->get()) != 0 ||
      ::posix_fadvise(file->get(), 0, 0, POSIX_FADV_DONTNEED) != 0) {
    fail("cannot evict " + path.string() + " from the page cache");
  }
  if (length == 0) return 0;
  void* const mapped = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, file->get(), 0);
  if (mapped == MAP_FAILED) fail("cannot map " + path.string());
  const long page = ::sysconf(_SC_PAGESIZE);
  const std::size_t pages =
      (length + static_cast<std::size_t>(page) - 1) / static_cast<std::size_t>(page);
  std::vector<unsigned char> resident(pages);
  const int status = ::mincore(mapped, length, resident.data());
  ::munmap(mapped, length);
  if (status != 0) fail("mincore failed on " + path.string());
  const auto in_memory = std::count_if(resident.begin(), resident.end(),
                                       [](unsigned char flags) { return (flags & 1) != 0; });
  return static_cast<double>(in_memory) / static_cast<double>(pages);
}

}  // namespace kelvane_dat::bench
