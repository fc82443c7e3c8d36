#include "archive_manifest.hpp"

#include <array>
#include <charconv>
#include <optional>

#include "command_line.hpp"
#include "detail/debug_format.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::string_view kVersionString = "version_string";

// A 32-bit field as the manifest holds it: a JSON number, or text as ids are typed ("0x..." or
// decimal), which is how the header's offsets and the files' ids are written.
std::optional<std::uint32_t> u32_value(const Json& value) {
  if (value.is_number_unsigned()) {
    const std::uint64_t number = value.get<std::uint64_t>();
    if (number <= 0xFFFFFFFFu) return static_cast<std::uint32_t>(number);
    return std::nullopt;
  }
  if (!value.is_string()) return std::nullopt;
  const std::expected<std::uint32_t, std::string> parsed =
      parse_file_id(value.get_ref<const std::string&>());
  if (!parsed) return std::nullopt;
  return *parsed;
}

// The 16 bytes of version_string as header_fields writes them: two hexadecimal digits each,
// separated by single spaces.
std::optional<std::array<std::uint8_t, 16>> version_string_bytes(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  const std::string& text = value.get_ref<const std::string&>();
  std::array<std::uint8_t, 16> bytes{};
  if (text.size() != bytes.size() * 3 - 1) return std::nullopt;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char* digits = text.data() + i * 3;
    if (i > 0 && digits[-1] != ' ') return std::nullopt;
    const auto [end, error] = std::from_chars(digits, digits + 2, bytes[i], 16);
    if (error != std::errc() || end != digits + 2) return std::nullopt;
  }
  return bytes;
}

void append_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// The header from its fields by name. The fields are laid out in file order, as header_fields
// lists them, and decoded by the library's own reader, so the manifest follows the header's
// definition instead of repeating it.
std::expected<DatHeader, std::string> parse_header(const Json& object) {
  if (!object.is_object()) return std::unexpected("'header' must be an object");
  std::vector<std::uint8_t> encoded;
  for (const HeaderField& field : header_fields(DatHeader{})) {
    const std::string name(field.name);
    if (!object.contains(name)) return std::unexpected("header field '" + name + "' is missing");
    const Json& value = object.at(name);
    if (field.name == kVersionString) {
      const auto bytes = version_string_bytes(value);
      if (!bytes) {
        return std::unexpected("header field 'version_string' must be 16 bytes as hexadecimal " +
                               std::string("pairs separated by spaces"));
      }
      encoded.insert(encoded.end(), bytes->begin(), bytes->end());
      continue;
    }
    const std::optional<std::uint32_t> number = u32_value(value);
    if (!number) {
      return std::unexpected("header field '" + name + "' must be a whole number below 2^32");
    }
    append_u32(encoded, *number);
  }
  ByteCursor cursor(encoded);
  const std::expected<DatHeader, ReadError> header = DatHeader::read(cursor);
  if (!header) return std::unexpected("header: " + header.error().to_one_line_string());
  return *header;
}

std::expected<DatFileEntry, std::string> parse_file(const Json& object, std::size_t index) {
  const std::string where = "files[" + std::to_string(index) + "]";
  if (!object.is_object()) return std::unexpected(where + " must be an object");
  DatFileEntry entry;
  const std::pair<const char*, std::uint32_t DatFileEntry::*> fields[] = {
      {"id", &DatFileEntry::id},
      {"flags", &DatFileEntry::bit_flags},
      {"timestamp", &DatFileEntry::timestamp},
      {"version", &DatFileEntry::version}};
  for (const auto& [name, member] : fields) {
    if (!object.contains(name)) {
      return std::unexpected(where + ": '" + std::string(name) + "' is missing");
    }
    const std::optional<std::uint32_t> value = u32_value(object.at(name));
    if (!value) {
      return std::unexpected(where + ": '" + std::string(name) +
                             "' must be a whole number below 2^32");
    }
    entry.*member = *value;
  }
  return entry;
}

}  // namespace

ExtractedName extracted_name(DatKind kind, std::uint32_t id) {
  return {std::string(to_string(from_id_in_dat(id, kind))), hex8(id) + ".bin"};
}

Json header_json(const DatHeader& header) {
  Json object = Json::object();
  for (HeaderField& field : header_fields(header)) {
    const bool decimal =
        !field.value.empty() && field.value.find_first_not_of("0123456789") == std::string::npos;
    object[std::string(field.name)] =
        decimal ? Json(std::stoull(field.value)) : Json(std::move(field.value));
  }
  return object;
}

std::string manifest_json(const Manifest& manifest) {
  Json files = Json::array();
  for (const DatFileEntry& entry : manifest.files) {
    files.push_back({{"id", hex0x8(entry.id)},
                     {"flags", entry.bit_flags},
                     {"timestamp", entry.timestamp},
                     {"version", entry.version}});
  }
  const Json document = {
      {"raw", manifest.raw}, {"header", header_json(manifest.header)}, {"files", files}};
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::expected<Manifest, std::string> parse_manifest(std::string_view text) {
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::parse_error& error) {
    // "[json.exception.parse_error.101] parse error at line 2, column 3: ...": the part after the
    // library's tag is what a person can act on.
    const std::string_view what = error.what();
    const std::size_t tag_end = what.find("] ");
    return std::unexpected(
        std::string(tag_end == std::string_view::npos ? what : what.substr(tag_end + 2)));
  }
  if (!document.is_object()) return std::unexpected("the manifest must be a JSON object");
  Manifest manifest;
  if (!document.contains("raw") || !document.at("raw").is_boolean()) {
    return std::unexpected("'raw' must be true or false");
  }
  manifest.raw = document.at("raw").get<bool>();
  if (!document.contains("header")) return std::unexpected("'header' is missing");
  const std::expected<DatHeader, std::string> header = parse_header(document.at("header"));
  if (!header) return std::unexpected(header.error());
  manifest.header = *header;
  if (!document.contains("files") || !document.at("files").is_array()) {
    return std::unexpected("'files' must be an array");
  }
  const Json& files = document.at("files");
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::expected<DatFileEntry, std::string> entry = parse_file(files.at(i), i);
    if (!entry) return std::unexpected(entry.error());
    manifest.files.push_back(*entry);
  }
  return manifest;
}

}  // namespace kelvane_dat::cli
