#include "kelvane_dat/dat_header.hpp"

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/file_descriptor.hpp"

namespace kelvane_dat {

namespace {

struct U32Field {
  const char* name;
  std::uint32_t DatHeader::*member;
};

// The integer fields before version_string, in file order.
constexpr U32Field kLeadingFields[] = {
    {"magic", &DatHeader::magic},
    {"block_size", &DatHeader::block_size},
    {"file_size", &DatHeader::file_size},
    {"dataset", &DatHeader::dataset},
    {"subset", &DatHeader::subset},
    {"free_head", &DatHeader::free_head},
    {"free_tail", &DatHeader::free_tail},
    {"free_count", &DatHeader::free_count},
    {"root_offset", &DatHeader::root_offset},
    {"new_lru", &DatHeader::new_lru},
    {"old_lru", &DatHeader::old_lru},
    {"use_lru", &DatHeader::use_lru},
    {"master_map_id", &DatHeader::master_map_id},
    {"engine_version", &DatHeader::engine_version},
    {"game_version", &DatHeader::game_version},
};

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

DatKind DatHeader::dat_kind() const {
  if (magic != kMagic) return DatKind::Unknown;
  if (block_size == 256) return dataset == 2 ? DatKind::Cell : DatKind::Local;
  if (block_size == 1024) return dataset == 1 ? DatKind::Portal : DatKind::Local;
  return DatKind::Local;
}

}  // namespace kelvane_dat
