#pragma once

/// \file
/// A stored file's bytes where they already lie: DatDatabase::view_file.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "kelvane_dat/export.hpp"

namespace kelvane_dat {

class DatDatabase;

/// The bytes of one file as a range of slices, for callers that only look at them (compare them,
/// hash them, check them) and need no copy of their own.
///
/// In an archive opened mapped, a file stored uncompressed is viewed in place: each slice is the
/// payload of one of its blocks (or the run that follows a zero pointer) inside the mapping, and
/// stays valid while the handle lives (moving the handle keeps the mapping). Otherwise the view
/// holds the bytes get_file would return, expanded when compressed, as one slice. Move-only.
class KELVANE_DAT_EXPORT FileView {
 public:
  /// One run of the file's bytes; never empty.
  using Slice = std::span<const std::uint8_t>;

  /// The view of an empty file.
  FileView() noexcept = default;
  /// Takes over the slices of `other`, which is left viewing an empty file.
  FileView(FileView&& other) noexcept;
  /// Takes over the slices of `other`, which is left viewing an empty file.
  FileView& operator=(FileView&& other) noexcept;
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;
  ~FileView() = default;

  /// The slices in order: their concatenation is the file.
  std::span<const Slice> slices() const noexcept { return slices_; }
  /// The first slice, so a view is a range of spans.
  const Slice* begin() const noexcept { return slices_.data(); }
  /// Past the last slice.
  const Slice* end() const noexcept { return slices_.data() + slices_.size(); }
  /// The file's length in bytes.
  std::size_t size() const noexcept { return size_; }
  /// A copy of the file's bytes in one buffer.
  std::vector<std::uint8_t> to_vector() const;

  /// Whether two views hold the same bytes, however each is sliced.
  bool operator==(const FileView& other) const noexcept;

 private:
  friend class DatDatabase;

  std::vector<Slice> slices_;
  // The bytes, when they are not viewed in place.
  std::vector<std::uint8_t> owned_;
  std::size_t size_ = 0;
};

}  // namespace kelvane_dat
