#pragma once

// Text the benchmarks feed the decoders: English-like prose, as game texts are, with the odd
// accented word, typographic mark or emoji, deterministic for a given seed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kelvane_dat/file_type/stored_string_table.hpp"

namespace kelvane_dat::bench {

// About `size` bytes of UTF-8 prose (cut at a character boundary). `decorated_percent` of the words
// carry a non-ASCII character.
std::string english_like_text(std::size_t size, std::uint64_t seed, unsigned decorated_percent = 2);

// The UTF-16LE code units of a UTF-8 text, as bytes.
std::vector<std::uint8_t> utf16le_bytes(const std::string& utf8);

std::vector<std::uint8_t> as_bytes(const std::string& text);

// A local-language archive's 400 tables: a few to hundreds of entries each; mostly short labels,
// some sentences and the odd paragraph; now and then variants and variables.
std::vector<StoredStringTable> text_archive_tables();

}  // namespace kelvane_dat::bench
