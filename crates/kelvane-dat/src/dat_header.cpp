#include "kelvane_dat/dat_header.hpp"

#include <cstdio>
#include <iterator>
#include <span>

#include "detail/debug_format.hpp"
#include "detail/file_descriptor.hpp"
#include "kelvane_dat/byte_cursor.hpp"

namespace kelvane_dat {

namespace {

struct U32Field {
  const char* name;
  std::uint32_t DatHeader::*member;
  // Offsets, ids and the magic read best in hexadecimal; sizes, counts and versions in decimal.
  bool shown_in_hex;
};

// The integer fields before version_string, in file order.
constexpr U32Field kLeadingFields[] = {
    {"magic", &DatHeader::magic, true},
    {"block_size", &DatHeader::block_size, false},
    {"file_size", &DatHeader::file_size, false},
    {"dataset", &DatHeader::dataset, false},
    {"subset", &DatHeader::subset, false},
    {"free_head", &DatHeader::free_head, true},
    {"free_tail", &DatHeader::free_tail, true},
    {"free_count", &DatHeader::free_count, false},
    {"root_offset", &DatHeader::root_offset, true},
    {"new_lru", &DatHeader::new_lru, true},
    {"old_lru", &DatHeader::old_lru, true},
    {"use_lru", &DatHeader::use_lru, true},
    {"master_map_id", &DatHeader::master_map_id, true},
    {"engine_version", &DatHeader::engine_version, false},
    {"game_version", &DatHeader::game_version, false},
};

std::string hex_bytes(std::span<const std::uint8_t> bytes) {
  std::string out;
  for (const std::uint8_t byte : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(byte));
    if (!out.empty()) out.push_back(' ');
    out.append(digits);
  }
  return out;
}

std::expected<std::uint64_t, IoError> start_of(const ByteCursor& reader) {
  return reader.position();
}
std::expected<std::uint64_t, IoError> start_of(const FileCursor& reader) {
  return reader.position();
}

// The rewind is best effort: the error being reported is the field's, not the seek's.
void rewind(ByteCursor& reader, std::uint64_t start) { reader.seek(start); }
void rewind(FileCursor& reader, std::uint64_t start) { (void)reader.seek(start); }

}  // namespace

template <class Reader>
std::expected<DatHeader, ReadError> DatHeader::read(Reader& reader) {
  const auto start = start_of(reader);
  if (!start)
    return std::unexpected(ReadError(start.error()).with_field_context("magic", "DatHeader"));
  auto fail = [&](IoError error, std::string_view field) {
    rewind(reader, *start);
    return std::unexpected(ReadError(error).with_field_context(field, "DatHeader"));
  };

  DatHeader header;
  for (const U32Field& field : kLeadingFields) {
    const auto value = reader.read_u32();
    if (!value) return fail(value.error(), field.name);
    header.*field.member = *value;
  }
  if (const auto read = reader.read_bytes_into(header.version_string); !read) {
    return fail(read.error(), "version_string");
  }
  const auto minor = reader.read_u32();
  if (!minor) return fail(minor.error(), "version_minor");
  header.version_minor = *minor;
  return header;
}

template std::expected<DatHeader, ReadError> DatHeader::read<ByteCursor>(ByteCursor&);
template std::expected<DatHeader, ReadError> DatHeader::read<FileCursor>(FileCursor&);

std::vector<HeaderField> header_fields(const DatHeader& header) {
  std::vector<HeaderField> fields;
  fields.reserve(std::size(kLeadingFields) + 2);
  for (const U32Field& field : kLeadingFields) {
    const std::uint32_t value = header.*field.member;
    fields.push_back({field.name, field.shown_in_hex ? hex0x8(value) : std::to_string(value)});
  }
  fields.push_back({"version_string", hex_bytes(header.version_string)});
  fields.push_back({"version_minor", std::to_string(header.version_minor)});
  return fields;
}

DatKind DatHeader::dat_kind() const noexcept {
  if (magic != kMagic) return DatKind::Unknown;
  if (block_size == 256) return dataset == 2 ? DatKind::Cell : DatKind::Local;
  if (block_size == 1024) return dataset == 1 ? DatKind::Portal : DatKind::Local;
  return DatKind::Local;
}

}  // namespace kelvane_dat
