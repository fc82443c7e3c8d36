#pragma once

// Little-endian reads from an in-memory byte sequence.
//
// Every read checks bounds. A read that cannot complete returns an IoError of the
// unexpected-end-of-file kind and leaves the position where it was, so record readers can report
// exactly which value ran out and rewind to a record's first byte.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>

#include "kelvane_dat/export.hpp"
#include "kelvane_dat/io_error.hpp"

namespace kelvane_dat {

class KELVANE_DAT_EXPORT ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> data) noexcept : data_(data) {}

  std::uint64_t position() const noexcept { return pos_; }
  // Any position is accepted; reads past the end fail.
  void seek(std::uint64_t position) noexcept { pos_ = position; }
  std::size_t size() const noexcept { return data_.size(); }
  std::size_t remaining() const noexcept { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
  std::span<const std::uint8_t> data() const noexcept { return data_; }

  // "failed to fill whole buffer" when cut short.
  [[nodiscard]] std::expected<std::uint8_t, IoError> read_u8() noexcept;
  [[nodiscard]] std::expected<std::uint16_t, IoError> read_u16() noexcept;
  [[nodiscard]] std::expected<std::uint32_t, IoError> read_u32() noexcept;
  // A run of exactly `count` bytes, viewed in place; "not enough bytes in reader" when cut short.
  [[nodiscard]] std::expected<std::span<const std::uint8_t>, IoError> read_bytes(
      std::size_t count) noexcept;
  // Copies exactly buffer.size() bytes; "not enough bytes in reader" when cut short.
  [[nodiscard]] std::expected<void, IoError> read_bytes_into(
      std::span<std::uint8_t> buffer) noexcept;

 private:
  std::span<const std::uint8_t> data_;
  std::uint64_t pos_ = 0;
};

}  // namespace kelvane_dat
