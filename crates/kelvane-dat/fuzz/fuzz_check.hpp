#pragma once

// Property checks for fuzz targets. A broken property aborts: libFuzzer reports that as a crash
// and saves the input, and the replay main's test fails.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <source_location>
#include <span>
#include <string_view>

namespace kelvane_dat::fuzz {

inline void require(bool holds, std::string_view property,
                    std::source_location where = std::source_location::current()) {
  if (holds) return;
  std::fprintf(stderr, "%s:%u: property broken: %.*s\n", where.file_name(),
               static_cast<unsigned>(where.line()), static_cast<int>(property.size()),
               property.data());
  std::abort();
}

// libFuzzer may pass a null pointer with size 0.
inline std::span<const std::uint8_t> input_bytes(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  return {data, size};
}

}  // namespace kelvane_dat::fuzz

// The entry point every fuzz target defines.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
