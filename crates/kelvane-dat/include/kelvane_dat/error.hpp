#pragma once

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

// The library's one error type. Every fallible operation of the archive handle returns it;
// I/O failures and record-reading failures convert into it implicitly, without added context.
class KELVANE_DAT_EXPORT DatError {
 public:
  struct Io {
    IoError error;
  };
  struct BinRead {
    ReadError error;
  };
  struct NotFound {
    std::uint32_t file_id;
  };
  struct DuplicateId {
    std::uint32_t file_id;
  };
  struct DuplicateNamespacedId {
    std::string namespace_name;
    std::uint32_t file_id;
  };
  struct InvalidMagic {
    std::string text;
  };
  struct UnsupportedVersion {
    std::uint32_t version;
  };
  struct InvalidNamespace {
    std::string text;
  };
  struct Corruption {
    std::string text;
  };
  struct DecompressionFailed {
    std::uint32_t file_id;
  };
  struct PathError {
    std::filesystem::path path;
    IoError source;
  };
  struct Other {
    std::string text;
  };

  // In declaration order; the index of an alternative is the variant's number.
  using Variant = std::variant<Io, BinRead, NotFound, DuplicateId, DuplicateNamespacedId,
                               InvalidMagic, UnsupportedVersion, InvalidNamespace, Corruption,
                               DecompressionFailed, PathError, Other>;

  DatError(IoError error) : v_(Io{error}) {}                    // NOLINT: implicit on purpose
  DatError(ReadError error) : v_(BinRead{std::move(error)}) {}  // NOLINT: implicit on purpose

  static DatError not_found(std::uint32_t file_id) { return DatError(NotFound{file_id}); }
  static DatError duplicate_id(std::uint32_t file_id) { return DatError(DuplicateId{file_id}); }
  static DatError duplicate_namespaced_id(std::string namespace_name, std::uint32_t file_id) {
    return DatError(DuplicateNamespacedId{std::move(namespace_name), file_id});
  }
  static DatError invalid_magic(std::string text) {
    return DatError(InvalidMagic{std::move(text)});
  }
  static DatError unsupported_version(std::uint32_t version) {
    return DatError(UnsupportedVersion{version});
  }
  static DatError invalid_namespace(std::string text) {
    return DatError(InvalidNamespace{std::move(text)});
  }
  static DatError corruption(std::string text) { return DatError(Corruption{std::move(text)}); }
  static DatError decompression_failed(std::uint32_t file_id) {
    return DatError(DecompressionFailed{file_id});
  }
  static DatError path_error(std::filesystem::path path, IoError source) {
    return DatError(PathError{std::move(path), source});
  }
  static DatError other(std::string text) { return DatError(Other{std::move(text)}); }

  const Variant& variant() const noexcept { return v_; }
  template <class Alternative>
  bool is() const noexcept {
    return std::holds_alternative<Alternative>(v_);
  }
  template <class Alternative>
  const Alternative* get_if() const noexcept {
    return std::get_if<Alternative>(&v_);
  }

  // The display text, e.g. "File ID 0000001A not found in provider".
  std::string to_string() const;
  // The structural form, e.g. "NotFound(26)".
  std::string debug_string() const;

 private:
  template <class Alternative>
  explicit DatError(Alternative alternative) : v_(std::move(alternative)) {}

  Variant v_;
};

KELVANE_DAT_EXPORT std::ostream& operator<<(std::ostream& out, const DatError& error);

template <class T>
using Result = std::expected<T, DatError>;

}  // namespace kelvane_dat
