#include "kelvane_dat/byte_cursor.hpp"

#include <algorithm>

#include "detail/endian.hpp"

namespace kelvane_dat {

std::expected<std::uint8_t, IoError> ByteCursor::read_u8() noexcept {
  if (remaining() < 1) return std::unexpected(IoError::fill_whole_buffer());
  return data_[pos_++];
}

std::expected<std::uint16_t, IoError> ByteCursor::read_u16() noexcept {
  if (remaining() < 2) return std::unexpected(IoError::fill_whole_buffer());
  const std::uint16_t value = load_le16(data_.data() + pos_);
  pos_ += 2;
  return value;
}

std::expected<std::uint32_t, IoError> ByteCursor::read_u32() noexcept {
  if (remaining() < 4) return std::unexpected(IoError::fill_whole_buffer());
  const std::uint32_t value = load_le32(data_.data() + pos_);
  pos_ += 4;
  return value;
}

std::expected<std::span<const std::uint8_t>, IoError> ByteCursor::read_bytes(
    std::size_t count) noexcept {
  if (remaining() < count) return std::unexpected(IoError::not_enough_bytes());
  if (count == 0) return std::span<const std::uint8_t>{};
  const auto run = data_.subspan(static_cast<std::size_t>(pos_), count);
  pos_ += count;
  return run;
}

std::expected<void, IoError> ByteCursor::read_bytes_into(std::span<std::uint8_t> buffer) noexcept {
  const auto run = read_bytes(buffer.size());
  if (!run) return std::unexpected(run.error());
  std::copy(run->begin(), run->end(), buffer.begin());
  return {};
}

}  // namespace kelvane_dat
