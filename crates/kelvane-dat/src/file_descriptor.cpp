#include "detail/file_descriptor.hpp"

#include "detail/endian.hpp"

namespace kelvane_dat {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.release();
  }
  return *this;
}

FileDescriptor::~FileDescriptor() { close(); }

std::expected<std::uint64_t, IoError> FileCursor::position() const { return file_->position(); }

std::expected<std::size_t, IoError> FileCursor::read_up_to(std::span<std::uint8_t> buffer) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const auto got = file_->read_some(buffer.subspan(filled));
    if (!got) return std::unexpected(got.error());
    if (*got == 0) break;
    filled += *got;
  }
  return filled;
}

std::expected<std::uint32_t, IoError> FileCursor::read_u32() {
  std::uint8_t bytes[4];
  const auto got = read_up_to(bytes);
  if (!got) return std::unexpected(got.error());
  if (*got < sizeof bytes) return std::unexpected(IoError::fill_whole_buffer());
  return load_le32(bytes);
}

std::expected<void, IoError> FileCursor::read_bytes_into(std::span<std::uint8_t> buffer) {
  const auto got = read_up_to(buffer);
  if (!got) return std::unexpected(got.error());
  if (*got < buffer.size()) return std::unexpected(IoError::not_enough_bytes());
  return {};
}

}  // namespace kelvane_dat
