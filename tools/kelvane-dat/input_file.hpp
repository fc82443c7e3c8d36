#pragma once

// The files the writing commands store: read whole, since the archive keeps each one whole.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvane_dat::cli {

// The bytes of the file at `path`. The error is the system's reason, or says that the file is too
// large for an archive, whose sizes are 32-bit, before any of it is read.
std::expected<std::vector<std::uint8_t>, std::string> read_input_file(
    const std::filesystem::path& path);

}  // namespace kelvane_dat::cli
