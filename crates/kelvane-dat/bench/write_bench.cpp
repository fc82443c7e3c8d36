// Writing: creating an archive from 512 MiB of files against writing the same bytes to one file
// with one write() per file (both synced once at the end), and one put into an archive of a
// million files.

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <vector>

#include "bench_registry.hpp"
#include "figures.hpp"
#include "kelvane_dat/archive_transaction.hpp"
#include "kelvane_dat/archive_writer.hpp"

namespace kelvane_dat::bench {

namespace {

constexpr std::uint64_t kTotalBytes = std::uint64_t{512} << 20;
constexpr std::size_t kSourceBytes = std::size_t{4} << 20;

// File sizes log-normally distributed around 3 KiB, up to 4 MiB, adding up to 512 MiB; every file
// is a slice of one buffer of random bytes.
struct Files {
  std::vector<std::uint8_t> source;
  std::vector<std::size_t> sizes;
};

const Files& files() {
  static const Files made = [] {
    Files f;
    std::mt19937_64 random(0x3717E);
    f.source.resize(kSourceBytes);
    for (auto& byte : f.source) byte = static_cast<std::uint8_t>(random());
    std::lognormal_distribution<double> size(std::log(3072.0), 1.5);
    std::uint64_t total = 0;
    while (total < kTotalBytes) {
      const auto next = std::min<std::size_t>(static_cast<std::size_t>(size(random)), kSourceBytes);
      f.sizes.push_back(next);
      total += next;
    }
    return f;
  }();
  return made;
}

std::filesystem::path scratch(const char* name) {
  return std::filesystem::temp_directory_path() / name;
}

void create_archive(benchmark::State& state) {
  const Files& f = files();
  const auto path = scratch("kelvane_bench_create.dat");
  DatHeader header;
  header.magic = DatHeader::kMagic;
  header.block_size = 1024;
  const WallClock loop;
  for (auto _ : state) {
    auto writer = ArchiveWriter::create(path, header);
    if (!writer) return state.SkipWithError("cannot create the archive");
    for (std::size_t i = 0; i < f.sizes.size(); ++i) {
      if (!writer->add(static_cast<std::uint32_t>(i), {f.source.data(), f.sizes[i]})) {
        return state.SkipWithError("cannot add a file");
      }
    }
    if (!writer->finish()) return state.SkipWithError("cannot finish the archive");
  }
  set_rates(state, kTotalBytes, loop);
  std::filesystem::remove(path);
}

void write_per_file(benchmark::State& state) {
  const Files& f = files();
  const auto path = scratch("kelvane_bench_plain.bin");
  const WallClock loop;
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return state.SkipWithError("cannot create the file");
    for (const std::size_t size : f.sizes) {
      if (::write(fd, f.source.data(), size) != static_cast<ssize_t>(size)) {
        ::close(fd);
        return state.SkipWithError("cannot write");
      }
    }
    ::fsync(fd);
    ::close(fd);
  }
  set_rates(state, kTotalBytes, loop);
  std::filesystem::remove(path);
}

// Each iteration commits one put of 3 KiB into the same archive of a million empty files.
void put_into_million(benchmark::State& state) {
  const auto path = scratch("kelvane_bench_million.dat");
  {
    DatHeader header;
    header.magic = DatHeader::kMagic;
    header.block_size = 1024;
    auto writer = ArchiveWriter::create(path, header);
    if (!writer) return state.SkipWithError("cannot create the archive");
    for (std::uint32_t id = 0; id < 1'000'000; ++id) {
      if (!writer->add(id * 2, {})) return state.SkipWithError("cannot add a file");
    }
    if (!writer->finish()) return state.SkipWithError("cannot finish the archive");
  }
  const std::vector<std::uint8_t> data(3072, 0x5A);
  std::uint32_t id = 1;
  for (auto _ : state) {
    auto txn = ArchiveTransaction::open(path);
    if (!txn || !txn->put(id, data) || !txn->commit()) return state.SkipWithError("put failed");
    id += 2;
  }
  state.counters[kSecondsPerRun] = item_counter(state, 1, /*inverted=*/true);
  std::filesystem::remove(path);
}

}  // namespace

void register_write_benchmarks() {
  benchmark::RegisterBenchmark("write/create_archive", create_archive)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("write/one_write_per_file", write_per_file)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("write/put_into_million_files", put_into_million)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  add_figure({"create an archive, 512 MiB stored", "write/create_archive",
              "write/one_write_per_file", "one write() per file", kWallBytesPerSecond,
              Unit::BytesPerSecond, Goal{.ratio_at_least = 0.5, .on_wall_clock = true}, true});
  add_figure({"one put into a million files (open, put, commit)", "write/put_into_million_files",
              "", "", kSecondsPerRun, Unit::Milliseconds, std::nullopt});
}

}  // namespace kelvane_dat::bench
