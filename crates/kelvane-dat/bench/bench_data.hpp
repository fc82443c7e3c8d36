#pragma once

// The files the benchmarks read: archives made by the test support's builder, kept in the
// benchmark data directory (KELVANE_BENCH_DATA, or the build's bench-data) and reused by later runs
// that ask for the same parameters.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "detail/file_descriptor.hpp"

namespace kelvane_dat::bench {

enum class Fragmentation {
  Contiguous,  // each chain's blocks follow each other, as in a freshly written archive
  Scattered,   // each chain's blocks in a random order
};

struct FetchArchive {
  std::filesystem::path path;
  std::size_t files = 0;
  // The bytes get_file returns over the whole archive.
  std::uint64_t content_bytes = 0;
};

// A 512 MiB archive of ~50,000 files of log-normally distributed sizes (median 3 KiB, up to
// 4 MiB), the same files for every block size and layout, holding random bytes. Compressed: files
// of English-like and UTF-16 text whose contents add up to 512 MiB, stored compressed.
const FetchArchive& fetch_archive(std::uint32_t block_size, Fragmentation fragmentation,
                                  bool compressed);

// A directory of `file_count` entries in a tree of full nodes, file ids in dense runs per type.
const std::filesystem::path& open_archive(std::size_t file_count);

// The check program's sample archive, its content multiplied by `scale`.
const std::filesystem::path& sample_archive(unsigned scale);

// Reads the whole file through the page cache, so it is resident when a repetition starts.
void warm_page_cache(const std::filesystem::path& path);

// Reads `file` from its start to its end through read() with a 1 MiB buffer, the way a program
// copies a file; returns the number of bytes read.
std::uint64_t read_front_to_back(FileDescriptor& file);

// Writes back and drops the file's pages from the page cache (POSIX_FADV_DONTNEED), then asks
// mincore how much of it is still resident: the fraction is returned. Pages that any process keeps
// mapped stay.
double evict_from_page_cache(const std::filesystem::path& path);

// Fills `out` from a fast deterministic generator.
void fill_pseudo_random(std::span<std::uint8_t> out, std::uint64_t seed);

}  // namespace kelvane_dat::bench
