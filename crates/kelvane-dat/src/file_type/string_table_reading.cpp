#include "detail/string_table_reading.hpp"

#include "kelvane_dat/packed_int.hpp"

namespace kelvane_dat::detail {

std::expected<std::span<const std::uint8_t>, ReadError> read_utf16_units(ByteCursor& reader) {
  const auto unit_count = read_compressed_u32(reader);
  if (!unit_count) return std::unexpected(unit_count.error());

  const std::size_t whole_units_left = reader.remaining() / kCodeUnitSize;
  if (whole_units_left < *unit_count) {
    // Units are taken in one piece rather than one by one; stop where a unit-by-unit read would
    // have: at the first byte of the unit that ran out.
    reader.seek(reader.position() + whole_units_left * kCodeUnitSize);
    return std::unexpected(ReadError(IoError::fill_whole_buffer()));
  }
  const auto units = reader.read_bytes(std::size_t{*unit_count} * kCodeUnitSize);
  if (!units) return read_failure(units);
  return *units;
}

}  // namespace kelvane_dat::detail
