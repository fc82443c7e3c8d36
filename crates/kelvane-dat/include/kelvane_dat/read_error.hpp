#pragma once

/// \file
/// ReadError, why a record reader refused its input: an I/O failure or a failed assertion, wrapped
/// in frames naming the fields and records being read.

#include <cstdint>
#include <ostream>
#include <source_location>
#include <string>
#include <variant>
#include <vector>

#include "kelvane_dat/export.hpp"
#include "kelvane_dat/io_error.hpp"

namespace kelvane_dat {

/// One step of record context: which field of which record was being read, and where that record
/// reader lives in our sources.
struct ContextFrame {
  /// What was being read, e.g. "While parsing field 'magic' in DatHeader".
  std::string message;
  /// The source file of the record reader, relative to the project root.
  std::string file;
  /// The line in that file.
  std::uint32_t line = 0;

  /// Equal when message, file and line are.
  friend bool operator==(const ContextFrame&, const ContextFrame&) = default;
};

/// The error of the record readers: the data ended or failed to read, a record refused its input,
/// or either of those with the record fields that were being read when it happened.
class KELVANE_DAT_EXPORT ReadError {
 public:
  /// A record refused its input; `position` is where the refusing record began.
  struct Assertion {
    /// Why the record refused its input.
    std::string message;
    /// Where the refusing record began.
    std::uint64_t position = 0;
    /// Equal when message and position are.
    friend bool operator==(const Assertion&, const Assertion&) = default;
  };

  /// The data ended or failed to read; implicit, so I/O failures lift into record errors.
  ReadError(IoError error) : inner_(error) {}  // NOLINT: implicit on purpose, lifts I/O failures
  /// A record refused its input.
  ReadError(Assertion assertion) : inner_(std::move(assertion)) {}  // NOLINT

  /// A record starting at `position` refused its input for the reason `message`.
  static ReadError assertion(std::string message, std::uint64_t position);

  /// Adds a frame naming the field `field` of record `record`. The first frame wraps the error;
  /// later frames are appended to the list rather than wrapping again.
  [[nodiscard]] ReadError with_field_context(
      std::string_view field, std::string_view record,
      std::source_location where = std::source_location::current()) &&;
  /// Adds `frame` as with_field_context adds the frame it builds.
  [[nodiscard]] ReadError with_context(ContextFrame frame) &&;

  /// The failure underneath any context frames.
  const std::variant<IoError, Assertion>& inner() const noexcept { return inner_; }
  /// The I/O failure underneath any context frames, or nullptr for an Assertion.
  const IoError* io_error() const noexcept { return std::get_if<IoError>(&inner_); }
  /// Innermost first.
  const std::vector<ContextFrame>& frames() const noexcept { return frames_; }

  /// The failure alone when there is no context; with context, the failure and then each frame
  /// with where it was added, between two rules, one per line.
  std::string to_string() const;
  /// The same on one line, for logs and command-line messages: the frames outermost first, then the
  /// failure, joined by ": " ("while parsing field 'magic' in DatHeader: failed to fill whole
  /// buffer"). Source locations are left out.
  std::string to_one_line_string() const;
  /// A ReadError debug-prints as its text.
  std::string debug_string() const { return to_string(); }

  /// Equal when the underlying failure and every context frame agree, source locations included.
  friend bool operator==(const ReadError&, const ReadError&) = default;

 private:
  std::variant<IoError, Assertion> inner_;
  std::vector<ContextFrame> frames_;
};

/// Writes the error's to_string().
KELVANE_DAT_EXPORT std::ostream& operator<<(std::ostream& out, const ReadError& error);

}  // namespace kelvane_dat
