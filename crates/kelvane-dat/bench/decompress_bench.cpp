// Expanding compressed payloads of English-like and UTF-16 text, against zlib's inflate of the
// same content and against copying the output; and compressing them, against zlib's level 6.

#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_data.hpp"
#include "bench_registry.hpp"
#include "detail/decompress_reference.hpp"
#include "figures.hpp"
#include "kelvane_dat/compress.hpp"
#include "kelvane_dat/decompress.hpp"
#include "text_corpus.hpp"

#ifdef KELVANE_BENCH_HAVE_ZLIB
#include <zlib.h>
#endif

namespace kelvane_dat::bench {

namespace {

enum class Text { English, Utf16 };

struct Payloads {
  std::vector<std::vector<std::uint8_t>> contents;
  std::vector<std::vector<std::uint8_t>> compressed;
  std::vector<std::vector<std::uint8_t>> deflated;
  std::uint64_t content_bytes = 0;
};

// Files of 4 KiB to 256 KiB, log-uniformly: the sizes compressed game texts come in.
const Payloads& payloads(Text text) {
  static std::map<Text, Payloads> made;
  if (const auto found = made.find(text); found != made.end()) return found->second;
  Payloads p;
  std::mt19937_64 random(text == Text::English ? 11 : 12);
  std::uniform_real_distribution<double> log_size(12.0, 18.0);
  for (int i = 0; i < 64; ++i) {
    const auto size = static_cast<std::size_t>(std::exp2(log_size(random)));
    const std::uint64_t seed = random();
    std::vector<std::uint8_t> content = text == Text::English
                                            ? as_bytes(english_like_text(size, seed))
                                            : utf16le_bytes(english_like_text(size / 2, seed));
    p.compressed.push_back(compress_lrs(content).value());
#ifdef KELVANE_BENCH_HAVE_ZLIB
    uLongf deflated_size = compressBound(static_cast<uLong>(content.size()));
    std::vector<std::uint8_t> deflated(deflated_size);
    if (compress2(deflated.data(), &deflated_size, content.data(),
                  static_cast<uLong>(content.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
      fail("zlib cannot compress");
    }
    deflated.resize(deflated_size);
    p.deflated.push_back(std::move(deflated));
#endif
    p.content_bytes += content.size();
    p.contents.push_back(std::move(content));
  }
  return made.emplace(text, std::move(p)).first->second;
}

template <class Expand>
void expand_all(benchmark::State& state, Text text, Expand expand) {
  const Payloads& p = payloads(text);
  for (auto _ : state) {
    for (const auto& payload : p.compressed) {
      const std::vector<std::uint8_t> out = expand(payload);
      benchmark::DoNotOptimize(out.data());
    }
  }
  set_bytes_per_iteration(state, p.content_bytes);
}

void expand_fast(benchmark::State& state, Text text) {
  expand_all(state, text, [](const auto& payload) { return decompress_lrs(payload); });
}

void expand_reference(benchmark::State& state, Text text) {
  expand_all(state, text,
             [](const auto& payload) { return detail::decompress_lrs_reference(payload); });
}

#ifdef KELVANE_BENCH_HAVE_ZLIB
// Inflating into a fresh buffer of the known size, as decompress_lrs fills a fresh vector.
void inflate_zlib(benchmark::State& state, Text text) {
  const Payloads& p = payloads(text);
  for (auto _ : state) {
    for (std::size_t i = 0; i < p.deflated.size(); ++i) {
      std::vector<std::uint8_t> out(p.contents[i].size());
      uLongf size = static_cast<uLongf>(out.size());
      if (uncompress(out.data(), &size, p.deflated[i].data(),
                     static_cast<uLong>(p.deflated[i].size())) != Z_OK) {
        return state.SkipWithError("zlib cannot inflate");
      }
      benchmark::DoNotOptimize(out.data());
    }
  }
  set_bytes_per_iteration(state, p.content_bytes);
}
#endif

// Compressing every content; the counter "stored_bytes" is the total size of the output, to set
// beside zlib's.
void compress_all(benchmark::State& state, Text text) {
  const Payloads& p = payloads(text);
  std::uint64_t stored = 0;
  for (auto _ : state) {
    stored = 0;
    for (const auto& content : p.contents) {
      const auto payload = compress_lrs(content);
      if (!payload) return state.SkipWithError("compress_lrs fails");
      stored += payload->size();
      benchmark::DoNotOptimize(payload->data());
    }
  }
  set_bytes_per_iteration(state, p.content_bytes);
  state.counters["stored_bytes"] = static_cast<double>(stored);
}

#ifdef KELVANE_BENCH_HAVE_ZLIB
void deflate_zlib(benchmark::State& state, Text text) {
  const Payloads& p = payloads(text);
  std::uint64_t stored = 0;
  for (auto _ : state) {
    stored = 0;
    for (const auto& content : p.contents) {
      uLongf size = compressBound(static_cast<uLong>(content.size()));
      std::vector<std::uint8_t> out(size);
      if (compress2(out.data(), &size, content.data(), static_cast<uLong>(content.size()), 6) !=
          Z_OK) {
        return state.SkipWithError("zlib cannot compress");
      }
      stored += size;
      benchmark::DoNotOptimize(out.data());
    }
  }
  set_bytes_per_iteration(state, p.content_bytes);
  state.counters["stored_bytes"] = static_cast<double>(stored);
}
#endif

void copy_output(benchmark::State& state, Text text) {
  const Payloads& p = payloads(text);
  std::vector<std::uint8_t> out(std::size_t{1} << 20);
  for (auto _ : state) {
    for (const auto& content : p.contents) {
      std::memcpy(out.data(), content.data(), content.size());
      benchmark::DoNotOptimize(out.data());
      benchmark::ClobberMemory();
    }
  }
  set_bytes_per_iteration(state, p.content_bytes);
}

}  // namespace

void register_decompress_benchmarks() {
  struct Kind {
    Text text;
    const char* name;
    const char* label;
    double goal;
  };
  for (const Kind& kind : {Kind{Text::English, "english", "English-like text", 2.8},
                           Kind{Text::Utf16, "utf16", "UTF-16 text", 3.8}}) {
    const std::string prefix = std::string("decompress/") + kind.name;
    const std::string label = std::string("decompress_lrs, ") + kind.label;
    benchmark::RegisterBenchmark((prefix + "/decompress_lrs").c_str(), expand_fast, kind.text);
    benchmark::RegisterBenchmark((prefix + "/reference").c_str(), expand_reference, kind.text);
    benchmark::RegisterBenchmark((prefix + "/memcpy").c_str(), copy_output, kind.text);
#ifdef KELVANE_BENCH_HAVE_ZLIB
    benchmark::RegisterBenchmark((prefix + "/zlib_inflate").c_str(), inflate_zlib, kind.text);
    add_figure({label, prefix + "/decompress_lrs", prefix + "/zlib_inflate", "zlib inflate",
                kBytesPerSecond, Unit::BytesPerSecond, Goal{.ratio_at_least = kind.goal}});
#endif
    add_figure({label, prefix + "/decompress_lrs", prefix + "/reference", "before: byte by byte",
                kBytesPerSecond, Unit::BytesPerSecond, std::nullopt});
#ifdef KELVANE_BENCH_HAVE_ZLIB
    add_figure({label + ": before", prefix + "/reference", prefix + "/zlib_inflate", "zlib inflate",
                kBytesPerSecond, Unit::BytesPerSecond, std::nullopt});
#endif
    add_figure({label, prefix + "/decompress_lrs", prefix + "/memcpy", "memcpy of the output",
                kBytesPerSecond, Unit::BytesPerSecond, std::nullopt});
  }
  // Compression only for English-like text, the corpus the sizes are quoted for.
  benchmark::RegisterBenchmark("compress/english/compress_lrs", compress_all, Text::English);
#ifdef KELVANE_BENCH_HAVE_ZLIB
  benchmark::RegisterBenchmark("compress/english/zlib_level6", deflate_zlib, Text::English);
  add_figure({"compress_lrs, English-like text", "compress/english/compress_lrs",
              "compress/english/zlib_level6", "zlib level 6", kBytesPerSecond, Unit::BytesPerSecond,
              Goal{.ratio_at_least = 2.0}});
#endif
}

}  // namespace kelvane_dat::bench
