#pragma once

/// \file
/// DatError, the one error every fallible call of the library returns, and Result, the
/// std::expected that carries it.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <ostream>
#include <string>
#include <variant>

#include "kelvane_dat/export.hpp"
#include "kelvane_dat/io_error.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat {

/// The library's one error type. Every fallible operation of the archive handle returns it;
/// I/O failures and record-reading failures convert into it implicitly, without added context.
class KELVANE_DAT_EXPORT DatError {
 public:
  /// An I/O failure of the archive file or of a byte cursor.
  struct Io {
    /// The failure.
    IoError error;
  };
  /// A record could not be decoded.
  struct BinRead {
    /// The failure, with the record fields that were being read.
    ReadError error;
  };
  /// The archive has no file with this id.
  struct NotFound {
    /// The id asked for.
    std::uint32_t file_id;
  };
  /// An id that must be unique occurs more than once.
  struct DuplicateId {
    /// The repeated id.
    std::uint32_t file_id;
  };
  /// An id that must be unique within a namespace occurs more than once in it.
  struct DuplicateNamespacedId {
    /// The namespace.
    std::string namespace_name;
    /// The repeated id.
    std::uint32_t file_id;
  };
  /// A marker does not hold the value its record requires.
  struct InvalidMagic {
    /// What was wrong.
    std::string text;
  };
  /// A version this library cannot read.
  struct UnsupportedVersion {
    /// The version found.
    std::uint32_t version;
  };
  /// A namespace name that is not valid.
  struct InvalidNamespace {
    /// What was wrong.
    std::string text;
  };
  /// The archive contradicts itself: a chain or directory that cannot be walked.
  struct Corruption {
    /// What was found, with offsets.
    std::string text;
  };
  /// A compressed file could not be expanded.
  struct DecompressionFailed {
    /// The file's id.
    std::uint32_t file_id;
  };
  /// A file could not be opened.
  struct PathError {
    /// The path as given.
    std::filesystem::path path;
    /// Why it could not be opened.
    IoError source;
  };
  /// Any other failure.
  struct Other {
    /// What failed.
    std::string text;
  };

  /// In declaration order; the index of an alternative is the variant's number.
  using Variant = std::variant<Io, BinRead, NotFound, DuplicateId, DuplicateNamespacedId,
                               InvalidMagic, UnsupportedVersion, InvalidNamespace, Corruption,
                               DecompressionFailed, PathError, Other>;

  /// An I/O failure, as Io; implicit, so `return std::unexpected(io_error)` works.
  DatError(IoError error) : v_(Io{error}) {}  // NOLINT: implicit on purpose
  /// A record-reading failure, as BinRead; implicit like the I/O one.
  DatError(ReadError error) : v_(BinRead{std::move(error)}) {}  // NOLINT: implicit on purpose

  /// No file `file_id` in the directory: what get_file and string_table return for an unknown id.
  static DatError not_found(std::uint32_t file_id) { return DatError(NotFound{file_id}); }
  /// `file_id` occurs twice where ids must be unique.
  static DatError duplicate_id(std::uint32_t file_id) { return DatError(DuplicateId{file_id}); }
  /// `file_id` occurs twice within the namespace `namespace_name`.
  static DatError duplicate_namespaced_id(std::string namespace_name, std::uint32_t file_id) {
    return DatError(DuplicateNamespacedId{std::move(namespace_name), file_id});
  }
  /// A marker that is not what its record requires; `text` says which and what was found.
  static DatError invalid_magic(std::string text) {
    return DatError(InvalidMagic{std::move(text)});
  }
  /// A record `version` this library cannot read.
  static DatError unsupported_version(std::uint32_t version) {
    return DatError(UnsupportedVersion{version});
  }
  /// A namespace name that is not valid; `text` says why.
  static DatError invalid_namespace(std::string text) {
    return DatError(InvalidNamespace{std::move(text)});
  }
  /// A chain or directory that cannot be walked; `text` names what was found, with offsets.
  static DatError corruption(std::string text) { return DatError(Corruption{std::move(text)}); }
  /// The compressed payload of file `file_id` could not be expanded.
  static DatError decompression_failed(std::uint32_t file_id) {
    return DatError(DecompressionFailed{file_id});
  }
  /// The file at `path` (as given) could not be opened, for the reason `source`.
  static DatError path_error(std::filesystem::path path, IoError source) {
    return DatError(PathError{std::move(path), source});
  }
  /// A failure none of the other alternatives describes.
  static DatError other(std::string text) { return DatError(Other{std::move(text)}); }

  /// The alternative this error holds, for std::visit.
  const Variant& variant() const noexcept { return v_; }
  /// Whether this error holds `Alternative` (e.g. `error.is<DatError::NotFound>()`).
  template <class Alternative>
  bool is() const noexcept {
    return std::holds_alternative<Alternative>(v_);
  }
  /// The `Alternative` this error holds, or nullptr when it holds another.
  template <class Alternative>
  const Alternative* get_if() const noexcept {
    return std::get_if<Alternative>(&v_);
  }

  /// The display text, e.g. "File ID 0000001A not found in provider".
  std::string to_string() const;
  /// The structural form, e.g. "NotFound(26)".
  std::string debug_string() const;

 private:
  template <class Alternative>
  explicit DatError(Alternative alternative) : v_(std::move(alternative)) {}

  Variant v_;
};

/// Writes the error's to_string().
KELVANE_DAT_EXPORT std::ostream& operator<<(std::ostream& out, const DatError& error);

/// What every fallible operation of the archive handle returns: its value or a DatError.
/// Marked `[[nodiscard]]` where returned, so a dropped error is a compiler warning.
template <class T>
using Result = std::expected<T, DatError>;

}  // namespace kelvane_dat
