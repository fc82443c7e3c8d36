#pragma once

// The directory extract writes into, and the only way it writes: every file lands in a
// subdirectory of the root, under a temporary name first and renamed when complete, so an
// interrupted run leaves no truncated file under a final name.
//
// Names come from type names and hexadecimal ids, never from the archive's bytes, but a directory
// given with --force may hold anything, symbolic links included. A subdirectory that is a link is
// refused, and the parent of every file is resolved and checked to be the subdirectory itself
// before anything is written, so no write can land outside the root.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace kelvane_dat::cli {

class OutputDirectory {
 public:
  // Creates `path` (and its parents) when missing. The error is the system's reason.
  static std::expected<OutputDirectory, std::string> create(const std::filesystem::path& path);

  // Makes `name` a directory under the root, or accepts it when it already is one that is not a
  // symbolic link.
  std::expected<void, std::string> make_subdirectory(std::string_view name) const;

  // Writes `bytes` as `name` in the subdirectory `subdirectory` (the root itself when empty),
  // replacing what had that name. Safe to call from several threads for different names. An
  // interrupt while it writes removes the incomplete file.
  std::expected<void, std::string> write_file(std::string_view subdirectory, std::string_view name,
                                              std::span<const std::uint8_t> bytes) const;

  // Whether `name` is in the subdirectory: written completely, since files get their name only
  // then.
  bool has_file(std::string_view subdirectory, std::string_view name) const;

 private:
  explicit OutputDirectory(std::filesystem::path root) : root_(std::move(root)) {}

  // Canonical, so that resolved paths can be compared with it.
  std::filesystem::path root_;
};

// Whether `path` is a directory with anything in it.
bool is_directory_with_entries(const std::filesystem::path& path);

}  // namespace kelvane_dat::cli
