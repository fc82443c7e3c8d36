// Decoding texts: UTF-16 to UTF-8 on its own, and whole string tables with StringTable::read_le.

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_registry.hpp"
#include "detail/utf16.hpp"
#include "detail/utf16_reference.hpp"
#include "figures.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "text_corpus.hpp"

namespace kelvane_dat::bench {

namespace {

// Paragraphs of 256 to 4096 units of mostly-ASCII prose: descriptions, quest and help texts.
const std::vector<std::vector<std::uint8_t>>& paragraphs() {
  static const auto made = [] {
    std::vector<std::vector<std::uint8_t>> out;
    std::mt19937_64 random(21);
    std::uniform_int_distribution<std::size_t> size(256, 4096);
    for (int i = 0; i < 1024; ++i)
      out.push_back(utf16le_bytes(english_like_text(size(random), random())));
    return out;
  }();
  return made;
}

std::uint64_t paragraph_bytes() {
  std::uint64_t total = 0;
  for (const auto& paragraph : paragraphs()) total += paragraph.size();
  return total;
}

template <class Decode>
void decode_paragraphs(benchmark::State& state, Decode decode) {
  for (auto _ : state) {
    for (const auto& paragraph : paragraphs()) {
      const std::string text = decode(paragraph);
      benchmark::DoNotOptimize(text.data());
    }
  }
  set_bytes_per_iteration(state, paragraph_bytes());
}

void copy_paragraphs(benchmark::State& state) {
  std::vector<std::uint8_t> out(8192);
  for (auto _ : state) {
    for (const auto& paragraph : paragraphs()) {
      std::memcpy(out.data(), paragraph.data(), paragraph.size());
      benchmark::DoNotOptimize(out.data());
      benchmark::ClobberMemory();
    }
  }
  set_bytes_per_iteration(state, paragraph_bytes());
}

struct Tables {
  std::vector<std::vector<std::uint8_t>> encoded;
  std::uint64_t bytes = 0;
  std::uint64_t entries = 0;
};

const Tables& tables() {
  static const Tables made = [] {
    Tables t;
    for (const StoredStringTable& table : text_archive_tables()) {
      t.entries += table.entries.size();
      t.encoded.push_back(table.encode().value());
      t.bytes += t.encoded.back().size();
    }
    return t;
  }();
  return made;
}

void read_tables(benchmark::State& state) {
  const Tables& t = tables();
  for (auto _ : state) {
    for (const auto& bytes : t.encoded) {
      ByteCursor cursor(bytes);
      const auto table = StringTable::read_le(cursor);
      if (!table) return state.SkipWithError(table.error().to_string().c_str());
      benchmark::DoNotOptimize(&*table);
    }
  }
  set_bytes_per_iteration(state, t.bytes);
  state.counters[kEntriesPerSecond] = item_counter(state, t.entries);
}

void copy_tables(benchmark::State& state) {
  const Tables& t = tables();
  std::vector<std::uint8_t> out;
  for (const auto& bytes : t.encoded) out.resize(std::max(out.size(), bytes.size()));
  for (auto _ : state) {
    for (const auto& bytes : t.encoded) {
      std::memcpy(out.data(), bytes.data(), bytes.size());
      benchmark::DoNotOptimize(out.data());
      benchmark::ClobberMemory();
    }
  }
  set_bytes_per_iteration(state, t.bytes);
}

}  // namespace

void register_text_benchmarks() {
  benchmark::RegisterBenchmark("utf16/mostly_ascii/decode", [](benchmark::State& state) {
    decode_paragraphs(state,
                      [](const auto& bytes) { return detail::utf16le_to_utf8_lossy(bytes); });
  });
  benchmark::RegisterBenchmark("utf16/mostly_ascii/reference", [](benchmark::State& state) {
    decode_paragraphs(
        state, [](const auto& bytes) { return detail::utf16le_to_utf8_lossy_reference(bytes); });
  });
  benchmark::RegisterBenchmark("utf16/mostly_ascii/memcpy", copy_paragraphs);
  add_figure({"UTF-16 to UTF-8, mostly-ASCII text (input)", "utf16/mostly_ascii/decode",
              "utf16/mostly_ascii/reference", "before: unit by unit", kBytesPerSecond,
              Unit::BytesPerSecond, Goal{.value_at_least = 7.0}});
  add_figure({"UTF-16 to UTF-8, mostly-ASCII text (input)", "utf16/mostly_ascii/decode",
              "utf16/mostly_ascii/memcpy", "memcpy of the input", kBytesPerSecond,
              Unit::BytesPerSecond, std::nullopt});

  benchmark::RegisterBenchmark("string_table/read_le", read_tables);
  benchmark::RegisterBenchmark("string_table/memcpy", copy_tables);
  add_figure({"StringTable::read_le (bytes)", "string_table/read_le", "string_table/memcpy",
              "memcpy of the tables", kBytesPerSecond, Unit::BytesPerSecond, std::nullopt});
  add_figure({"StringTable::read_le (entries)", "string_table/read_le", "", "", kEntriesPerSecond,
              Unit::EntriesPerSecond, std::nullopt});
}

}  // namespace kelvane_dat::bench
