#pragma once

/// \file
/// IoError, the failure of an operating-system read or of data that ended early, as both the file
/// layer and the byte cursor report it.

#include <cstdint>
#include <ostream>
#include <string>

#include "kelvane_dat/export.hpp"

namespace kelvane_dat {

/// An operating-system I/O failure, or a read that found the data ended early.
///
/// Display text: the system's message plus " (os error N)" for an OS error, the fixed message for
/// an unexpected end of data. Debug text: "Os { code: 2, kind: NotFound, message: \"No such file or
/// directory\" }" or "Error { kind: UnexpectedEof, message: \"failed to fill whole buffer\" }".
class KELVANE_DAT_EXPORT IoError {
 public:
  /// An operating-system error or data that ended early.
  enum class Kind : std::uint8_t { Os, UnexpectedEof };

  /// `code` is the system's error number: errno on POSIX, GetLastError() on Windows.
  static IoError from_errno(int code);
  /// A fixed-width value (8, 16 or 32 bits) or a positioned read was cut short.
  static IoError fill_whole_buffer();
  /// A run of a fixed number of bytes was cut short.
  static IoError not_enough_bytes();

  /// Which of the two this is.
  Kind kind() const noexcept { return kind_; }
  /// The system's error number for Kind::Os, 0 otherwise.
  int os_code() const noexcept { return os_code_; }

  /// The display text (see the class).
  std::string to_string() const;
  /// The debug text (see the class).
  std::string debug_string() const;

  /// Equal when kind, system error number and end-of-data message agree.
  friend bool operator==(const IoError&, const IoError&) = default;

 private:
  IoError(Kind kind, int os_code, const char* eof_message)
      : kind_(kind), os_code_(os_code), eof_message_(eof_message) {}

  Kind kind_;
  int os_code_;
  /// Static text; only meaningful for Kind::UnexpectedEof.
  const char* eof_message_;
};

/// Writes the error's to_string().
KELVANE_DAT_EXPORT std::ostream& operator<<(std::ostream& out, const IoError& error);
/// The name of the error kind a system error number maps to ("NotFound", "PermissionDenied", ...).
KELVANE_DAT_EXPORT const char* io_error_kind_name(int os_code);
/// The system's message for an error number, in UTF-8 without a trailing line end. Thread-safe.
KELVANE_DAT_EXPORT std::string system_error_message(int os_code);

}  // namespace kelvane_dat
