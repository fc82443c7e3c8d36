#pragma once

// Each group of benchmarks registers itself, with the figures it contributes, from main.

#include <string>

namespace kelvane_dat::bench {

void register_fetch_benchmarks();
void register_cold_fetch_benchmarks();
void register_threaded_fetch_benchmarks();
void register_decompress_benchmarks();
void register_text_benchmarks();
void register_open_benchmarks();
void register_check_program_benchmarks();
void register_tool_benchmarks();
// Without zlib, registers nothing.
void register_view_crc_benchmarks();
void register_write_benchmarks();

// Ends the run: a benchmark's input could not be made.
[[noreturn]] void fail(const std::string& message);

}  // namespace kelvane_dat::bench
