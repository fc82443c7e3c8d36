// read_block_chain reads ahead in windows; detail::read_block_chain_reference makes the reads the
// format describes. These tests hold the fast walk to the reference's bytes and errors, on chosen
// layouts and on thousands of random archives (the in-memory walk and its slicing form too, where
// the file is intact),
// and check that it keeps its system calls few.

#include <gtest/gtest.h>

#include <cerrno>
#include <numeric>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "detail/block_chain.hpp"
#include "detail/block_chain_reference.hpp"
#include "detail/chain_into_span.hpp"
#include "support/archive_builder.hpp"
#include "support/memory_source.hpp"

namespace kelvane_dat {
namespace {

using test_support::ArchiveBuilder;
using test_support::ChainLayout;
using test_support::ChainOrder;
using test_support::MemorySource;
using Bytes = std::vector<std::uint8_t>;
using Read = MemorySource::Read;

Bytes pattern(std::size_t size, std::uint8_t salt = 0) {
  Bytes out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(i * 13 + salt);
  return out;
}

// The bytes a chain of `size` payload bytes occupies when its blocks are contiguous.
std::uint64_t chain_span(std::uint64_t size, std::uint32_t block_size) {
  const std::uint64_t blocks = (size + block_size - 5) / (block_size - 4);
  return size + 4 * blocks;
}

std::uint64_t bytes_read(const std::vector<Read>& reads) {
  return std::accumulate(reads.begin(), reads.end(), std::uint64_t{0},
                         [](std::uint64_t sum, const Read& read) { return sum + read.length; });
}

// The walk's result in a form that compares bytes, error kinds and texts at once.
std::string outcome(const Result<Bytes>& result) {
  if (!result) return "error " + result.error().debug_string();
  return "bytes " + std::string(result->begin(), result->end());
}

TEST(FastChainWalk, ContiguousChainsReadEachByteOnceInGrowingWindows) {
  struct Case {
    std::uint32_t block_size;
    std::uint32_t size;
    std::size_t max_reads;
  };
  const Case kCases[] = {
      {256, 1, 1},         {256, 3 * 252, 1},  {1024, 10 * 1020, 1},
      {37, 500, 1},        {1024, 1716, 1},    {256, 1716, 1},
      {1024, 3 << 20, 16}, {256, 1 << 20, 12}, {4096, 5 << 20, 24},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "block size " << c.block_size << " size " << c.size);
    ArchiveBuilder builder(c.block_size);
    const Bytes payload = pattern(c.size);
    const std::uint32_t first = builder.store_chain(payload);
    builder.store_chain(pattern(3 * c.block_size));  // something after it not to read
    const MemorySource source(builder.bytes());

    const auto data =
        read_block_chain(PositionedReader(source), {c.block_size, source.size()}, first, c.size);
    ASSERT_TRUE(data.has_value()) << data.error();
    EXPECT_EQ(*data, payload);
    const auto& reads = source.reads();
    ASSERT_FALSE(reads.empty());
    EXPECT_LE(reads.size(), c.max_reads);
    // Back to back from the first block: nothing read twice, nothing beyond the chain.
    std::uint64_t next = first;
    for (const Read& read : reads) {
      EXPECT_EQ(read.offset, next);
      next = read.offset + read.length;
    }
    EXPECT_EQ(bytes_read(reads), chain_span(c.size, c.block_size));
  }
}

TEST(FastChainWalk, ScatteredChainsCostAtMostOneReadPerBlock) {
  for (const std::uint32_t block_size : {64u, 256u, 1024u}) {
    for (const ChainOrder order : {ChainOrder::Descending, ChainOrder::Shuffled}) {
      for (const std::uint32_t blocks : {2u, 9u, 70u}) {
        SCOPED_TRACE(testing::Message() << "block size " << block_size << " order "
                                        << static_cast<int>(order) << " blocks " << blocks);
        ArchiveBuilder builder(block_size);
        const Bytes payload = pattern(blocks * (block_size - 4) - 1, 3);
        const std::uint32_t first = builder.store_chain(payload, ChainLayout{order, blocks, 0});
        const MemorySource source(builder.bytes());
        const auto size = static_cast<std::uint32_t>(payload.size());

        const auto data =
            read_block_chain(PositionedReader(source), {block_size, source.size()}, first, size);
        ASSERT_TRUE(data.has_value()) << data.error();
        EXPECT_EQ(*data, payload);
        EXPECT_LE(source.reads().size(), blocks);
        // The first window bets on the whole chain; after that each read is one block's worth.
        EXPECT_LE(bytes_read(source.reads()), 2 * chain_span(size, block_size));
      }
    }
  }
}

TEST(FastChainWalk, FailedBetsFallBackToTheExactReads) {
  ArchiveBuilder builder(256);
  const auto blocks = builder.new_blocks(4);
  const Bytes payload = pattern(3 * 252, 9);
  // Last block first, then back to the start, skipping blocks[2]: every first window overshoots.
  const std::uint32_t order[] = {blocks[3], blocks[0], blocks[1]};
  builder.write_chain(payload, order);
  const auto size = static_cast<std::uint32_t>(payload.size());

  // A read error in bytes the chain never needs is no error of the walk.
  MemorySource failing(builder.bytes());
  failing.fail_reads_covering(blocks[2] + 100, EIO);
  const auto around_failure =
      read_block_chain(PositionedReader(failing), {256, failing.size()}, blocks[3], size);
  ASSERT_TRUE(around_failure.has_value()) << around_failure.error();
  EXPECT_EQ(*around_failure, payload);

  // A file that shrank after its length was noted: a window reaching into the lost bytes fails,
  // the chain itself does not need them.
  const MemorySource shrunk(builder.bytes());
  const auto past_the_end =
      read_block_chain(PositionedReader(shrunk), {256, shrunk.size() + 4096}, blocks[3], size);
  ASSERT_TRUE(past_the_end.has_value()) << past_the_end.error();
  EXPECT_EQ(*past_the_end, payload);
}

// A random archive image whose blocks point anywhere: to the next block, elsewhere, into the
// middle of a block, past the end, to themselves, or nowhere.
struct RandomChain {
  Bytes image;
  std::uint32_t block_size = 0;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  // The length noted at open; longer than the image for a file that shrank since.
  std::uint64_t noted_length = 0;
  std::optional<std::uint64_t> failing_offset;
};

RandomChain random_chain(std::mt19937_64& random) {
  auto below = [&random](std::uint64_t bound) { return bound == 0 ? 0 : random() % bound; };
  auto chance = [&](unsigned percent) { return below(100) < percent; };
  constexpr std::uint32_t kBlockSizes[] = {5, 6, 8, 12, 16, 33, 64, 256, 1024};

  RandomChain c;
  c.block_size = kBlockSizes[below(std::size(kBlockSizes))];
  const std::uint64_t block_count = 1 + below(48);
  c.image.resize(block_count * c.block_size + below(c.block_size));
  for (auto& byte : c.image) byte = static_cast<std::uint8_t>(random());
  const auto length = static_cast<std::uint32_t>(c.image.size());
  // Mostly runs of contiguous blocks, with every kind of jump in between.
  const unsigned contiguity = static_cast<unsigned>(below(101));
  for (std::uint64_t block = 0; block < block_count; ++block) {
    const std::uint64_t at = block * c.block_size;
    std::uint32_t next = static_cast<std::uint32_t>(at + c.block_size);
    if (!chance(contiguity)) {
      switch (below(6)) {
        case 0:
          next = static_cast<std::uint32_t>(below(block_count) * c.block_size);
          break;
        case 1:
          next = static_cast<std::uint32_t>(below(length));
          break;
        case 2:
          next = 0;
          break;
        case 3:
          next = length + static_cast<std::uint32_t>(below(3 * c.block_size));
          break;
        case 4:
          next = static_cast<std::uint32_t>(at);
          break;
        default:
          next = static_cast<std::uint32_t>(random());
          break;
      }
    }
    for (int i = 0; i < 4 && at + static_cast<std::uint64_t>(i) < c.image.size(); ++i) {
      c.image[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(next >> (8 * i));
    }
  }
  c.offset = chance(90) ? static_cast<std::uint32_t>(below(block_count) * c.block_size)
                        : static_cast<std::uint32_t>(below(length + 2 * c.block_size));
  const std::uint64_t per_block = c.block_size - 4;
  c.size = chance(5) ? length + static_cast<std::uint32_t>(below(4 * length))
                     : static_cast<std::uint32_t>(below((block_count + 2) * per_block));
  c.noted_length = chance(85) ? c.image.size() : c.image.size() + 1 + below(4 * c.block_size);
  if (chance(10)) c.failing_offset = below(c.image.size());
  return c;
}

TEST(FastChainWalk, AgreesWithTheReferenceOnRandomArchives) {
  std::mt19937_64 random(0xC4A1);
  std::size_t successes = 0;
  for (int round = 0; round < 6000; ++round) {
    const RandomChain c = random_chain(random);
    SCOPED_TRACE(testing::Message() << "round " << round << " block size " << c.block_size
                                    << " offset " << c.offset << " size " << c.size);
    MemorySource fast_source(c.image);
    MemorySource reference_source(c.image);
    if (c.failing_offset) {
      fast_source.fail_reads_covering(*c.failing_offset, EIO);
      reference_source.fail_reads_covering(*c.failing_offset, EIO);
    }
    const ChainGeometry geometry{c.block_size, c.noted_length};
    const auto fast = read_block_chain(PositionedReader(fast_source), geometry, c.offset, c.size);
    const auto reference = detail::read_block_chain_reference(PositionedReader(reference_source),
                                                              geometry, c.offset, c.size);
    ASSERT_EQ(outcome(fast), outcome(reference));
    if (fast.has_value()) ++successes;
    // The same walk into caller memory, from a source that fails alike.
    MemorySource span_source(c.image);
    if (c.failing_offset) span_source.fail_reads_covering(*c.failing_offset, EIO);
    Bytes caller_memory(c.size <= c.noted_length ? c.size : 0);
    const auto into_span = detail::read_block_chain_to(PositionedReader(span_source), geometry,
                                                       c.offset, c.size, caller_memory);
    ASSERT_EQ(into_span ? outcome(caller_memory) : outcome(std::unexpected(into_span.error())),
              outcome(reference));

    if (c.failing_offset || c.noted_length != c.image.size()) continue;
    // A mapping of the same intact file, into a buffer that held a longer file before.
    std::vector<std::uint8_t> mapped_out(c.image.size() + 1, 0xEE);
    const auto mapped =
        read_block_chain_in_memory(c.image, c.block_size, c.offset, c.size, mapped_out);
    ASSERT_EQ(mapped ? outcome(mapped_out) : outcome(std::unexpected(mapped.error())),
              outcome(reference));
    if (!mapped) {
      EXPECT_TRUE(mapped_out.empty());
    }
    std::vector<std::span<const std::uint8_t>> slices;
    const auto sliced =
        slice_block_chain_in_memory(c.image, c.block_size, c.offset, c.size, slices);
    Bytes joined;
    for (const auto slice : slices) joined.insert(joined.end(), slice.begin(), slice.end());
    ASSERT_EQ(sliced ? outcome(joined) : outcome(std::unexpected(sliced.error())),
              outcome(reference));
    Bytes mapped_memory(c.size <= c.image.size() ? c.size : 0);
    const auto mapped_to_span = detail::read_block_chain_in_memory_to(
        c.image, c.block_size, c.offset, c.size, mapped_memory);
    ASSERT_EQ(
        mapped_to_span ? outcome(mapped_memory) : outcome(std::unexpected(mapped_to_span.error())),
        outcome(reference));
    // Where every bet can be read, the fast walk never needs more calls than blocks it visits
    // (chains longer than the file are walked the reference's way, keeping nothing).
    if (c.size <= c.image.size()) {
      const std::size_t reference_reads = reference_source.reads().size();
      EXPECT_LE(fast_source.reads().size(), (reference_reads + 1) / 2 + 1);
    }
  }
  // The generator must exercise successes as well as failures.
  EXPECT_GT(successes, 1000u);
  EXPECT_LT(successes, 5000u);
}

}  // namespace
}  // namespace kelvane_dat
