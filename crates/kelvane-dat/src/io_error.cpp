#include "kelvane_dat/io_error.hpp"

#include <utility>

#include "detail/debug_format.hpp"

namespace kelvane_dat {

namespace {
constexpr const char kFillWholeBuffer[] = "failed to fill whole buffer";
constexpr const char kNotEnoughBytes[] = "not enough bytes in reader";

}  // namespace

IoError IoError::from_errno(int code) { return IoError(Kind::Os, code, nullptr); }
IoError IoError::fill_whole_buffer() { return IoError(Kind::UnexpectedEof, 0, kFillWholeBuffer); }
IoError IoError::not_enough_bytes() { return IoError(Kind::UnexpectedEof, 0, kNotEnoughBytes); }

std::string IoError::to_string() const {
  switch (kind_) {
    case Kind::Os:
      return system_error_message(os_code_) + " (os error " + std::to_string(os_code_) + ")";
    case Kind::UnexpectedEof:
      return eof_message_;
  }
  std::unreachable();
}

std::string IoError::debug_string() const {
  switch (kind_) {
    case Kind::Os:
      return "Os { code: " + std::to_string(os_code_) + ", kind: " + io_error_kind_name(os_code_) +
             ", message: " + kelvane_dat::debug_string(system_error_message(os_code_)) + " }";
    case Kind::UnexpectedEof:
      return std::string("Error { kind: UnexpectedEof, message: ") +
             kelvane_dat::debug_string(std::string_view(eof_message_)) + " }";
  }
  std::unreachable();
}

std::ostream& operator<<(std::ostream& out, const IoError& error) {
  // write() rather than <<: a caller's width or fill must not change the text.
  const std::string text = error.to_string();
  return out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace kelvane_dat
