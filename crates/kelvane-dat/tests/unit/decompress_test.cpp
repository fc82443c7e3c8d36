#include "kelvane_dat/decompress.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "detail/decompress_reference.hpp"
#include "detail/endian.hpp"
#include "detail/lrs_token_writer.hpp"
#include "kelvane_dat/compress.hpp"

namespace kelvane_dat {
namespace {

using detail::LrsTokenWriter;
using Bytes = std::vector<std::uint8_t>;

struct ExpansionCase {
  const char* name;
  Bytes input;
  Bytes output;
};

void PrintTo(const ExpansionCase& c, std::ostream* out) { *out << c.name; }

std::string case_name(const testing::TestParamInfo<ExpansionCase>& info) { return info.param.name; }

class DecompressLrs : public testing::TestWithParam<ExpansionCase> {};

TEST_P(DecompressLrs, ExpandsExactly) {
  EXPECT_EQ(decompress_lrs(GetParam().input), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, DecompressLrs,
    testing::ValuesIn(std::vector<ExpansionCase>{
        {"Empty", {}, {}},
        {"OneByteUnchanged", {0x07}, {0x07}},
        {"ThreeBytesUnchanged", {0xFF, 0x00, 0x41}, {0xFF, 0x00, 0x41}},
        {"OnlyDeclaredSize", {0x05, 0, 0, 0}, {}},
        {"DeclaredZeroReadsNothing", {0, 0, 0, 0, 0x00, 0x41}, {}},
        {"Literals", {3, 0, 0, 0, 0x00, 0x41, 0x42, 0x43}, {0x41, 0x42, 0x43}},
        {"OverlappingReference", {6, 0, 0, 0, 0x40, 0x61, 0x01, 0x03}, Bytes(6, 0x61)},
        {"ReferenceCutAtDeclaredSize", {4, 0, 0, 0, 0x40, 0x61, 0x01, 0x03}, Bytes(4, 0x61)},
        {"BytesPastDeclaredSizeIgnored", {2, 0, 0, 0, 0x00, 0x41, 0x42, 0x43}, {0x41, 0x42}},
        {"FarReferenceRepeatsFirstByte",
         {4, 0, 0, 0, 0x20, 0x41, 0x42, 0x05, 0x00},
         {0x41, 0x42, 0x41, 0x41}},
        {"FarReferenceClampsByteByByte",
         {6, 0, 0, 0, 0x20, 0x41, 0x42, 0x03, 0x02},
         {0x41, 0x42, 0x41, 0x41, 0x42, 0x41}},
        {"ZeroDistanceEnds", {9, 0, 0, 0, 0x40, 0x61, 0x00, 0x03, 0x62}, {0x61}},
        {"ReferenceWithOneByteLeftEnds", {9, 0, 0, 0, 0x40, 0x61, 0x01}, {0x61}},
        {"ReferenceIntoEmptyOutputEnds", {9, 0, 0, 0, 0x80, 0x01, 0x00, 0x61}, {}},
        {"NinthByteIsTheNextFlag",
         {10, 0, 0, 0, 0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x80, 0x01, 0x00},
         {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'h', 'h'}},
        {"StreamEndsAfterFlagByte",
         {20, 0, 0, 0, 0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00},
         {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}},
        {"StreamEndsBeforeLiteral", {20, 0, 0, 0, 0x00, 'a'}, {'a'}},
        {"StreamEndsBeforeReference", {20, 0, 0, 0, 0x40, 'a'}, {'a'}},
    }),
    case_name);

TEST(DecompressLrs, LongestReferenceReachesTheWindowEdge) {
  Bytes first(4095);
  for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<std::uint8_t>(i * 7);
  LrsTokenWriter writer(4095 + 17);
  writer.literals(first).reference(4095, 17);
  const Bytes& payload = writer.bytes();
  // Distance 4095 and length 17 use every bit of both reference bytes.
  EXPECT_EQ(payload[payload.size() - 2], 0xFF);
  EXPECT_EQ(payload[payload.size() - 1], 0xFF);

  Bytes expected = first;
  expected.insert(expected.end(), first.begin(), first.begin() + 17);
  EXPECT_EQ(decompress_lrs(payload), expected);
}

TEST(DecompressLrs, HugeDeclaredSizeOnTinyPayloadReservesLittle) {
  const Bytes payload = {0xFF, 0xFF, 0xFF, 0xFF, 0x40, 0x61, 0x01, 0x0F};
  const Bytes out = decompress_lrs(payload);
  EXPECT_EQ(out, Bytes(18, 0x61));
  // One group of stream can expand to at most 8 * 17 bytes.
  EXPECT_LE(out.capacity(), 136u);
}

enum class Content { Random, Text, Runs, FewSymbols };

Bytes make_content(Content content, std::size_t size, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  Bytes out;
  out.reserve(size);
  static constexpr const char* kWords[] = {"the ",    "archive ", "block ", "chain ", "table ",
                                           "string ", "node, ",   "id ",    "\n",     "entry. "};
  while (out.size() < size) {
    switch (content) {
      case Content::Random:
        out.push_back(static_cast<std::uint8_t>(random()));
        break;
      case Content::Text:
        for (const char* c = kWords[random() % 10]; *c != 0; ++c) {
          out.push_back(static_cast<std::uint8_t>(*c));
        }
        break;
      case Content::Runs:
        out.insert(out.end(), 1 + random() % 300, static_cast<std::uint8_t>(random() % 3));
        break;
      case Content::FewSymbols:
        out.push_back(static_cast<std::uint8_t>('a' + random() % 4));
        break;
    }
  }
  out.resize(size);
  return out;
}

class LrsRoundTrip : public testing::TestWithParam<Content> {};

TEST_P(LrsRoundTrip, EncoderOutputExpandsToItsInput) {
  constexpr std::size_t kSizes[] = {0, 1, 2, 3, 17, 18, 4095, 4096, 4113, 70000};
  for (std::uint64_t seed = 0; seed < 12; ++seed) {
    for (const std::size_t size : kSizes) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " size " << size);
      const Bytes input = make_content(GetParam(), size, seed);
      ASSERT_EQ(decompress_lrs(compress_lrs(input).value()), input);
    }
  }
  const Bytes large = make_content(GetParam(), 300 * 1024, 99);
  EXPECT_EQ(decompress_lrs(compress_lrs(large).value()), large);
}

INSTANTIATE_TEST_SUITE_P(Contents, LrsRoundTrip,
                         testing::Values(Content::Random, Content::Text, Content::Runs,
                                         Content::FewSymbols));

TEST(CompressLrs, FindsLongAndOverlappingMatches) {
  const Bytes zeros(17 * 1000, 0);
  // Size, one literal and 1000 references at distance 1 (overlapping their own output), with a
  // flag byte per eight items.
  EXPECT_EQ(compress_lrs(zeros).value().size(), 4 + 1 + 2 * 1000 + 126);
  const Bytes text = make_content(Content::Text, 100 * 1024, 5);
  EXPECT_LT(compress_lrs(text).value().size(), text.size() / 2);
}

// A payload of random items: literal runs, references of every distance (zero, beyond the output,
// overlapping) and length, declared sizes below, at and above what the stream yields, streams cut
// anywhere, and now and then plain random bytes.
Bytes random_payload(std::mt19937_64& random) {
  auto below = [&random](std::uint64_t bound) { return random() % bound; };
  const std::size_t items = below(8) == 0 ? below(8) : below(1500);
  if (below(20) == 0) {
    Bytes noise(items);
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
    return noise;
  }
  // The writer needs the declared size first; patch it once the stream is known.
  LrsTokenWriter writer(0);
  std::uint64_t produced = 0;
  const unsigned far_percent = static_cast<unsigned>(below(6));
  for (std::size_t i = 0; i < items; ++i) {
    if (below(100) < 45) {
      writer.literal(static_cast<std::uint8_t>(below(4) == 0 ? random() : 'a' + below(3)));
      ++produced;
      continue;
    }
    const auto length = static_cast<std::uint32_t>(2 + below(16));
    std::uint32_t distance;
    if (below(400) == 0) {
      distance = 0;
    } else if (below(100) < far_percent || produced == 0) {
      distance = static_cast<std::uint32_t>(1 + below(4095));
    } else {
      // Mostly short distances, where copies overlap their own output.
      const std::uint64_t reach = std::min<std::uint64_t>(produced, below(3) == 0 ? 4095 : 20);
      distance = static_cast<std::uint32_t>(1 + below(reach));
    }
    writer.reference(distance, length);
    produced += length;
  }
  Bytes payload = std::move(writer).take();
  std::uint64_t declared = produced;
  switch (below(5)) {
    case 0:
      declared = below(produced + 1);
      break;
    case 1:
      declared = produced + below(300);
      break;
    case 2:
      declared = random() & 0xFFFFFFFF;
      break;
    default:
      break;
  }
  for (int i = 0; i < 4; ++i)
    payload[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(declared >> (8 * i));
  if (below(4) == 0) payload.resize(below(payload.size() + 1));
  return payload;
}

TEST(DecompressLrs, AgreesWithTheStraightforwardExpansion) {
  std::mt19937_64 random(0x1A5);
  for (int round = 0; round < 5000; ++round) {
    const Bytes payload = random_payload(random);
    SCOPED_TRACE(testing::Message() << "round " << round << " payload size " << payload.size());
    const Bytes fast = decompress_lrs(payload);
    ASSERT_EQ(fast, detail::decompress_lrs_reference(payload));
    if (payload.size() >= 4) {
      ASSERT_LE(fast.size(), load_le32(payload.data()));
    }
  }
}

}  // namespace
}  // namespace kelvane_dat
