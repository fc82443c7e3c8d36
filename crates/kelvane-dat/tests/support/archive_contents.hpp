#pragma once

// What the writer's tests share: file contents to write, an archive made of them, and every file
// read back from an archive that must also pass the layout check.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kelvane_dat::test_support {

using Bytes = std::vector<std::uint8_t>;
using Contents = std::map<std::uint32_t, Bytes>;

// `size` bytes drawn from the first `letters` lower-case letters: compressible, and different for
// every seed.
Bytes letter_content(std::size_t size, std::uint64_t seed, unsigned letters = 5);

Bytes read_file_bytes(const std::filesystem::path& path);

// A fresh archive holding `files` (the even ids compressed), as its bytes.
Bytes archive_image(const Contents& files, std::uint32_t block_size);

// Every file of the archive at `path`, after the layout check finds no overlap and, when
// `contract` is set, the writer's contract holds; otherwise what went wrong.
std::expected<Contents, std::string> checked_contents(const std::filesystem::path& path,
                                                      bool contract = true);

}  // namespace kelvane_dat::test_support
