#include "kelvane_dat/dat_file_entry.hpp"

#include <string_view>

namespace kelvane_dat {

namespace {

struct EntryField {
  const char* name;
  std::uint32_t DatFileEntry::*member;
};

// File order, which is also declaration order.
constexpr EntryField kFields[] = {
    {"bit_flags", &DatFileEntry::bit_flags}, {"id", &DatFileEntry::id},
    {"offset", &DatFileEntry::offset},       {"size", &DatFileEntry::size},
    {"timestamp", &DatFileEntry::timestamp}, {"version", &DatFileEntry::version},
};

}  // namespace

std::expected<DatFileEntry, ReadError> DatFileEntry::read(ByteCursor& cursor) {
  const std::uint64_t start = cursor.position();
  DatFileEntry entry;
  for (const EntryField& field : kFields) {
    const auto value = cursor.read_u32();
    if (!value) {
      cursor.seek(start);
      return std::unexpected(
          ReadError(value.error()).with_field_context(field.name, "DatFileEntry"));
    }
    entry.*field.member = *value;
  }
  return entry;
}

std::string DatFileEntry::debug_string() const {
  std::string out = "DatFileEntry { ";
  bool first = true;
  for (const EntryField& field : kFields) {
    if (!first) out += ", ";
    first = false;
    out.append(field.name).append(": ").append(std::to_string(this->*field.member));
  }
  return out + " }";
}

std::ostream& operator<<(std::ostream& out, const DatFileEntry& entry) {
  return out << entry.debug_string();
}

}  // namespace kelvane_dat
