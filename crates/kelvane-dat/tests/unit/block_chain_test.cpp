#include "detail/block_chain.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <numeric>
#include <span>
#include <vector>

#include "detail/block_chain_reference.hpp"
#include "support/archive_builder.hpp"
#include "support/memory_source.hpp"

namespace kelvane_dat {
namespace {

using test_support::ArchiveBuilder;
using test_support::MemorySource;
using Bytes = std::vector<std::uint8_t>;
using Read = MemorySource::Read;

Bytes pattern(std::size_t size, std::uint8_t salt = 0) {
  Bytes out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(i * 31 + salt);
  return out;
}

// read_block_chain reads ahead; the reference walk makes exactly the reads the format describes;
// the in-memory walk serves mapped archives, and its slicing form their views. All must return the
// same bytes and the same errors.
enum class Walk { Fast, Reference, InMemory, InMemorySlices };
constexpr Walk kWalks[] = {Walk::Fast, Walk::Reference, Walk::InMemory, Walk::InMemorySlices};
// A mapped file cannot fail a read the way a disk can.
constexpr Walk kWalksThatRead[] = {Walk::Fast, Walk::Reference};

std::ostream& operator<<(std::ostream& out, Walk walk) {
  switch (walk) {
    case Walk::Fast:
      return out << "fast walk";
    case Walk::Reference:
      return out << "reference walk";
    case Walk::InMemory:
      return out << "in-memory walk";
    case Walk::InMemorySlices:
      return out << "in-memory slices";
  }
  std::unreachable();
}

Result<Bytes> walk_with(Walk walk, const MemorySource& source, ChainGeometry geometry,
                        std::uint32_t offset, std::uint32_t size) {
  switch (walk) {
    case Walk::Fast:
      return read_block_chain(PositionedReader(source), geometry, offset, size);
    case Walk::Reference:
      return detail::read_block_chain_reference(PositionedReader(source), geometry, offset, size);
    case Walk::InMemory: {
      EXPECT_EQ(geometry.file_length, source.size()) << "a mapping holds the whole file";
      Bytes out(3, 0xEE);  // a reused buffer: its old bytes must not survive
      const auto walked =
          read_block_chain_in_memory(source.bytes(), geometry.block_size, offset, size, out);
      if (!walked) {
        EXPECT_TRUE(out.empty());
        return std::unexpected(walked.error());
      }
      return out;
    }
    case Walk::InMemorySlices: {
      std::vector<std::span<const std::uint8_t>> slices(2);  // reused: the old ones must go
      const auto walked =
          slice_block_chain_in_memory(source.bytes(), geometry.block_size, offset, size, slices);
      if (!walked) {
        EXPECT_TRUE(slices.empty());
        return std::unexpected(walked.error());
      }
      Bytes out;
      for (const auto slice : slices) {
        EXPECT_FALSE(slice.empty());
        EXPECT_TRUE(slice.data() >= source.bytes().data() &&
                    slice.data() + slice.size() <= source.bytes().data() + source.size())
            << "a slice lies in the image";
        out.insert(out.end(), slice.begin(), slice.end());
      }
      return out;
    }
  }
  std::unreachable();
}

Result<Bytes> walk_with(Walk walk, const MemorySource& source, std::uint32_t block_size,
                        std::uint32_t offset, std::uint32_t size) {
  return walk_with(walk, source, ChainGeometry{block_size, source.size()}, offset, size);
}

// Reads a walk over `blocks` must make: each block's pointer, then its share of the payload.
std::vector<Read> expected_reads(const std::vector<std::uint32_t>& blocks, std::uint32_t block_size,
                                 std::uint32_t size) {
  std::vector<Read> reads;
  std::uint32_t remaining = size;
  for (std::size_t i = 0; remaining > 0; ++i) {
    const std::uint32_t share = std::min(remaining, block_size - 4);
    reads.push_back({blocks[i], 4});
    reads.push_back({blocks[i] + 4u, share});
    remaining -= share;
  }
  return reads;
}

std::string error_text(const Result<Bytes>& result) {
  return result.has_value() ? "no error" : result.error().to_string();
}

class BlockChainWalk : public testing::TestWithParam<std::uint32_t> {};

TEST_P(BlockChainWalk, GathersPayloadsInChainOrder) {
  const std::uint32_t block_size = GetParam();
  const std::uint32_t per_block = block_size - 4;
  constexpr std::uint32_t kTrap = 0x7FFFFFF0;  // past the end: following it would fail
  const std::uint32_t kSizes[] = {
      1, per_block, per_block + 1, 2 * per_block, 5 * per_block / 2, 7 * per_block};
  for (const std::uint32_t size : kSizes) {
    for (const std::uint32_t last_pointer : {0u, kTrap}) {
      SCOPED_TRACE(testing::Message() << "size " << size << " last pointer " << last_pointer);
      ArchiveBuilder builder(block_size);
      auto blocks = builder.new_blocks(builder.blocks_for(size) + 1);
      // Out of file order: every second block first, then the others backwards.
      std::vector<std::uint32_t> order;
      for (std::size_t i = 0; i < blocks.size(); i += 2) order.push_back(blocks[i]);
      for (std::size_t i = blocks.size() - 1 - blocks.size() % 2; i < blocks.size(); i -= 2) {
        order.push_back(blocks[i]);
      }
      const Bytes payload = pattern(size);
      builder.write_chain(payload, order, last_pointer);
      MemorySource source(builder.bytes());

      const auto reference = walk_with(Walk::Reference, source, block_size, order.front(), size);
      ASSERT_TRUE(reference.has_value()) << reference.error();
      EXPECT_EQ(*reference, payload);
      // Two reads per block: its pointer, then its share of the payload.
      EXPECT_EQ(source.reads(), expected_reads(order, block_size, size));

      source.clear_reads();
      const auto fast = walk_with(Walk::Fast, source, block_size, order.front(), size);
      ASSERT_TRUE(fast.has_value()) << fast.error();
      EXPECT_EQ(*fast, payload);
      // No block follows its predecessor, so no bet pays off after the first read.
      EXPECT_LE(source.reads().size(), builder.blocks_for(size));
      EXPECT_EQ(walk_with(Walk::InMemory, source, block_size, order.front(), size).value(),
                payload);
    }
  }
}

TEST_P(BlockChainWalk, ZeroPointerMeansTheRestFollowsContiguously) {
  const std::uint32_t block_size = GetParam();
  ArchiveBuilder builder(block_size);
  const Bytes payload = pattern(3 * block_size + 17, 5);
  const std::uint32_t first = builder.store_contiguous(payload);
  MemorySource source(builder.bytes());
  const auto size = static_cast<std::uint32_t>(payload.size());

  const auto reference = walk_with(Walk::Reference, source, block_size, first, size);
  ASSERT_TRUE(reference.has_value()) << reference.error();
  EXPECT_EQ(*reference, payload);
  EXPECT_EQ(source.reads(), (std::vector<Read>{{first, 4}, {first + 4u, payload.size()}}));

  source.clear_reads();
  const auto fast = walk_with(Walk::Fast, source, block_size, first, size);
  ASSERT_TRUE(fast.has_value()) << fast.error();
  EXPECT_EQ(*fast, payload);
  // One read from the pointer on; it may bet on more, the chain's contiguous worth of blocks.
  ASSERT_EQ(source.reads().size(), 1u);
  EXPECT_EQ(source.reads()[0].offset, first);
  EXPECT_GE(source.reads()[0].length, 4 + payload.size());
  EXPECT_EQ(walk_with(Walk::InMemory, source, block_size, first, size).value(), payload);
}

TEST_P(BlockChainWalk, InterleavedChainsStaySeparate) {
  const std::uint32_t block_size = GetParam();
  ArchiveBuilder builder(block_size);
  const auto blocks = builder.new_blocks(8);
  const Bytes a = pattern(4 * (block_size - 4), 1);
  const Bytes b = pattern(3 * (block_size - 4) + 1, 2);
  const std::uint32_t a_blocks[] = {blocks[6], blocks[0], blocks[2], blocks[4]};
  const std::uint32_t b_blocks[] = {blocks[1], blocks[7], blocks[3], blocks[5]};
  builder.write_chain(a, a_blocks);
  builder.write_chain(b, b_blocks);
  const MemorySource source(builder.bytes());
  for (const Walk walk : kWalks) {
    SCOPED_TRACE(walk);
    const auto a_size = static_cast<std::uint32_t>(a.size());
    const auto b_size = static_cast<std::uint32_t>(b.size());
    EXPECT_EQ(walk_with(walk, source, block_size, a_blocks[0], a_size).value(), a);
    EXPECT_EQ(walk_with(walk, source, block_size, b_blocks[0], b_size).value(), b);
  }
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, BlockChainWalk, testing::Values(256u, 1024u, 5u, 37u));

TEST(BlockChain, SizeZeroReadsNothingWhateverTheOffset) {
  const MemorySource source(Bytes(64, 0xFF));
  for (const Walk walk : kWalks) {
    SCOPED_TRACE(walk);
    for (const std::uint32_t offset : {0u, 60u, 0xFFFFFFFFu}) {
      const auto data = walk_with(walk, source, 1024, offset, 0);
      ASSERT_TRUE(data.has_value()) << data.error();
      EXPECT_TRUE(data->empty());
    }
  }
  EXPECT_TRUE(source.reads().empty());
}

TEST(BlockChain, ReadsPastTheEndFailWithTheWalksError) {
  ArchiveBuilder builder(256);
  const auto blocks = builder.new_blocks(2);
  const std::uint32_t past_end = blocks[1] + 256;
  builder.write_u32(blocks[0], past_end);  // pointer past the end
  builder.write_u32(blocks[1], 0);
  const MemorySource source(builder.bytes());

  constexpr auto kEof = "IO error: failed to fill whole buffer";
  for (const Walk walk : kWalks) {
    SCOPED_TRACE(walk);
    // Following the pointer past the end.
    EXPECT_EQ(error_text(walk_with(walk, source, 256, blocks[0], 300)), kEof);
    // A zero pointer whose contiguous rest runs past the end.
    EXPECT_EQ(error_text(walk_with(walk, source, 256, blocks[1], 253)), kEof);
    // A first block past the end.
    EXPECT_EQ(error_text(walk_with(walk, source, 256, past_end, 1)), kEof);
    // The completing block's pointer is read but never followed.
    EXPECT_TRUE(walk_with(walk, source, 256, blocks[0], 252).has_value());
  }
}

TEST(BlockChain, OsErrorsPassThroughUnchanged) {
  ArchiveBuilder builder(256);
  const std::uint32_t first = builder.store_chain(pattern(600));
  MemorySource source(builder.bytes());
  source.fail_reads_covering(first + 256 + 10, EIO);
  for (const Walk walk : kWalksThatRead) {
    SCOPED_TRACE(walk);
    const auto data = walk_with(walk, source, 256, first, 600);
    ASSERT_FALSE(data.has_value());
    const auto* io = data.error().get_if<DatError::Io>();
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->error, IoError::from_errno(EIO));
  }
}

TEST(BlockChain, BlockSizesWithoutPayloadOnlyReadZeroPointerChains) {
  for (const std::uint32_t block_size : {0u, 1u, 3u, 4u}) {
    SCOPED_TRACE(block_size);
    Bytes image(0x500, 0);
    image[0x400] = 0x00;
    image[0x401] = 0x04;  // the block at 0x400 points to itself
    for (std::size_t i = 0; i < 8; ++i) image[0x204 + i] = static_cast<std::uint8_t>(i + 1);
    const MemorySource source(image);

    for (const Walk walk : kWalks) {
      SCOPED_TRACE(walk);
      const auto contiguous = walk_with(walk, source, block_size, 0x200, 8);
      ASSERT_TRUE(contiguous.has_value()) << contiguous.error();
      EXPECT_EQ(*contiguous, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));

      const auto looping = walk_with(walk, source, block_size, 0x400, 8);
      ASSERT_FALSE(looping.has_value());
      EXPECT_EQ(looping.error().to_string(),
                "Corruption detected: block at offset 0x00000400 points to 0x00000400 but block "
                "size " +
                    std::to_string(block_size) + " leaves no room for payload");
    }
  }
}

// A file of more than 4 GiB whose block at 0xFFFFFFF0 points to `next`; every other byte is zero.
class HugeSource {
 public:
  static constexpr std::uint64_t kSize = 0x140000000;
  explicit HugeSource(std::uint32_t next) {
    for (int i = 0; i < 4; ++i) pointer_[i] = static_cast<std::uint8_t>(next >> (8 * i));
  }
  std::expected<void, IoError> read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                    std::uint64_t offset) const {
    if (offset + buffer.size() > kSize) return std::unexpected(IoError::fill_whole_buffer());
    for (std::size_t i = 0; i < buffer.size(); ++i) {
      const std::uint64_t at = offset + i;
      buffer[i] = at >= 0xFFFFFFF0 && at < 0xFFFFFFF4 ? pointer_[at - 0xFFFFFFF0] : 0;
    }
    return {};
  }

 private:
  std::uint8_t pointer_[4];
};

// The last block whose payload starts within 32-bit offsets is at 0xFFFFFFFB; one byte further
// has none.
TEST(BlockChain, PayloadStartMustFitIn32Bits) {
  const ChainGeometry geometry{16, HugeSource::kSize};
  const HugeSource last_valid(0xFFFFFFFB);
  const HugeSource first_invalid(0xFFFFFFFC);
  for (const Walk walk : kWalks) {
    SCOPED_TRACE(walk);
    const auto read = [&](const HugeSource& source) {
      return walk == Walk::Fast
                 ? read_block_chain(PositionedReader(source), geometry, 0xFFFFFFF0, 20)
                 : detail::read_block_chain_reference(PositionedReader(source), geometry,
                                                      0xFFFFFFF0, 20);
    };
    const auto valid = read(last_valid);
    ASSERT_TRUE(valid.has_value()) << valid.error();
    EXPECT_EQ(*valid, Bytes(20, 0));
    const auto beyond = read(first_invalid);
    ASSERT_FALSE(beyond.has_value());
    EXPECT_EQ(beyond.error().to_string(),
              "Corruption detected: block at offset 0xFFFFFFFC (block size 16) has no payload "
              "start within 32-bit offsets");
  }
}

struct OversizeCase {
  const char* name;
  std::uint32_t block_size;
  // Patches the image: (offset, value) pairs written as pointers.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pointers;
  std::uint32_t start;
  std::uint32_t size;
  const char* error;
};

void PrintTo(const OversizeCase& c, std::ostream* out) { *out << c.name; }

class OversizeChain : public testing::TestWithParam<OversizeCase> {};

// Sizes beyond the file length must fail as the walk would, without reading (or allocating) the
// full size at once.
TEST_P(OversizeChain, FailsAsTheWalkWouldWithoutAFullSizeRead) {
  const OversizeCase& c = GetParam();
  Bytes image(0x1000, 0xAB);
  for (const auto& [at, value] : c.pointers) {
    for (int i = 0; i < 4; ++i)
      image[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  for (const Walk walk : kWalks) {
    SCOPED_TRACE(walk);
    const MemorySource source(image);
    EXPECT_EQ(error_text(walk_with(walk, source, c.block_size, c.start, c.size)), c.error);
    // However far the chain would lead, the walk reads about the file's length.
    std::uint64_t read_bytes = 0;
    for (const Read& read : source.reads()) read_bytes += read.length;
    EXPECT_LE(read_bytes, image.size() + c.block_size);
  }
}

// Blocks 4 bytes apart, each pointing to the next, from 0x100 to 0xEFC, which points out of the
// file: 896 overlapping blocks that would read 224 KiB of a 4 KiB file before failing.
std::vector<std::pair<std::uint32_t, std::uint32_t>> overlapping_blocks_leading_out() {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pointers;
  for (std::uint32_t at = 0x100; at < 0xEFC; at += 4) pointers.emplace_back(at, at + 4);
  pointers.emplace_back(0xEFC, 0x9000);
  return pointers;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OversizeChain,
    testing::ValuesIn(std::vector<OversizeCase>{
        {"ZeroPointerRunsOut",
         256,
         {{0x100, 0}},
         0x100,
         0xFFFFFFFF,
         "IO error: failed to fill whole buffer"},
        {"PointerLeadsOut",
         256,
         {{0x100, 0x200}, {0x200, 0x9000}},
         0x100,
         0x2000,
         "IO error: failed to fill whole buffer"},
        {"NoPayloadRoomComesFirst",
         4,
         {{0x100, 0x200}},
         0x100,
         0xFFFFFFFF,
         "Corruption detected: block at offset 0x00000100 points to 0x00000200 but block size 4 "
         "leaves no room for payload"},
        {"LoopWouldRereadTheFile",
         256,
         {{0x100, 0x200}, {0x200, 0x100}},
         0x100,
         0x10000,
         "Corruption detected: block chain at offset 0x00000100 (block size 256) would gather "
         "65536 bytes from a file of 4096 bytes"},
        {"OverlappingBlocksLeadingOut", 256, overlapping_blocks_leading_out(), 0x100, 0x40000,
         "Corruption detected: block chain at offset 0x00000100 (block size 256) would gather "
         "262144 bytes from a file of 4096 bytes"},
        {"LoopThenNothingElse",
         5,
         {{0x10, 0x20}, {0x20, 0x30}, {0x30, 0x20}},
         0x10,
         0xFFFFFFFF,
         "Corruption detected: block chain at offset 0x00000010 (block size 5) would gather "
         "4294967295 bytes from a file of 4096 bytes"},
    }),
    [](const testing::TestParamInfo<OversizeCase>& param) { return param.param.name; });

TEST(BlockChain, OsErrorBeforeTheEndComesFirstForOversizeChains) {
  MemorySource source(Bytes(0x1000, 0));
  source.fail_reads_covering(0x102, EACCES);
  for (const Walk walk : kWalksThatRead) {
    SCOPED_TRACE(walk);
    const auto data = walk_with(walk, source, 256, 0x100, 0xFFFFFFFF);
    ASSERT_FALSE(data.has_value());
    EXPECT_EQ(data.error().get_if<DatError::Io>()->error, IoError::from_errno(EACCES));
  }
}

TEST(BlockChain, LoopsWithinTheFileLengthAreWalkedAsWritten) {
  ArchiveBuilder builder(16);
  const auto blocks = builder.new_blocks(2);
  const Bytes a = pattern(12, 1);
  const Bytes b = pattern(12, 2);
  builder.write_chain(a, std::span(blocks).first(1), blocks[1]);
  builder.write_chain(b, std::span(blocks).last(1), blocks[0]);
  const MemorySource source(builder.bytes());

  Bytes expected;
  for (int i = 0; i < 3; ++i) {
    expected.insert(expected.end(), a.begin(), a.end());
    expected.insert(expected.end(), b.begin(), b.end());
  }
  expected.resize(70);
  for (const Walk walk : kWalks) {
    SCOPED_TRACE(walk);
    EXPECT_EQ(walk_with(walk, source, 16, blocks[0], 70).value(), expected);
  }
}

}  // namespace
}  // namespace kelvane_dat
