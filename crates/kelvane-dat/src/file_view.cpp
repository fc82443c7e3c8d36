#include "kelvane_dat/file_view.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kelvane_dat {

// Moving a vector hands over its buffer, so slices into `owned_` stay valid in the new view.
FileView::FileView(FileView&& other) noexcept
    : slices_(std::move(other.slices_)),
      owned_(std::move(other.owned_)),
      size_(std::exchange(other.size_, 0)) {
  other.slices_.clear();
  other.owned_.clear();
}

FileView& FileView::operator=(FileView&& other) noexcept {
  slices_ = std::move(other.slices_);
  owned_ = std::move(other.owned_);
  size_ = std::exchange(other.size_, 0);
  other.slices_.clear();
  other.owned_.clear();
  return *this;
}

std::vector<std::uint8_t> FileView::to_vector() const {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(size_);
  for (const Slice slice : slices_) bytes.insert(bytes.end(), slice.begin(), slice.end());
  return bytes;
}

bool FileView::operator==(const FileView& other) const noexcept {
  const FileView& a = *this;
  const FileView& b = other;
  if (a.size() != b.size()) return false;
  // Walks both slicings at once, comparing the longest run both have left each time.
  const Slice* a_slice = a.begin();
  const Slice* b_slice = b.begin();
  std::size_t a_at = 0;
  std::size_t b_at = 0;
  while (a_slice != a.end() && b_slice != b.end()) {
    const std::size_t run = std::min(a_slice->size() - a_at, b_slice->size() - b_at);
    if (std::memcmp(a_slice->data() + a_at, b_slice->data() + b_at, run) != 0) return false;
    a_at += run;
    b_at += run;
    if (a_at == a_slice->size()) {
      ++a_slice;
      a_at = 0;
    }
    if (b_at == b_slice->size()) {
      ++b_slice;
      b_at = 0;
    }
  }
  return true;
}

}  // namespace kelvane_dat
