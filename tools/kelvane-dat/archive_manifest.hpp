#pragma once

// The manifest extract writes beside the files (DIR/manifest.json) and create reads back: the
// header fields, whether the files hold their stored bytes (--raw) or expanded ones, and each
// file's id, flags, timestamp and version. A file's place under DIR follows from its id and the
// archive's kind, so the manifest names no paths that create would have to trust.

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "kelvane_dat/file_type/dat_kind.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

inline constexpr std::string_view kManifestName = "manifest.json";

struct Manifest {
  DatHeader header;
  // The files hold the bytes as stored, compressed payloads unexpanded.
  bool raw = false;
  // bit_flags, id, timestamp and version of each file, ascending by id; offset and size unused.
  std::vector<DatFileEntry> files;
};

// Where extract writes file `id` of an archive of `kind`: DIR/<subdirectory>/<name>.
struct ExtractedName {
  std::string subdirectory;
  std::string name;
};
ExtractedName extracted_name(DatKind kind, std::uint32_t id);

// The header's fields as info --json and the manifest show them, in file order: decimal fields as
// numbers, the others as header_fields writes them ("0x..." and version_string's hex pairs).
Json header_json(const DatHeader& header);

// The manifest as one JSON document, indented for people who edit it, ending in a line feed.
std::string manifest_json(const Manifest& manifest);

// Reads a manifest back. The error says which field is missing or out of range, or where the
// JSON is malformed.
std::expected<Manifest, std::string> parse_manifest(std::string_view text);

}  // namespace kelvane_dat::cli
