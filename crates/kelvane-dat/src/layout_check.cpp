#include "kelvane_dat/layout_check.hpp"

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <span>

#include "detail/chain_walk.hpp"
#include "detail/dat_database_internals.hpp"
#include "detail/debug_format.hpp"
#include "detail/endian.hpp"
#include "detail/layout_claims.hpp"

namespace kelvane_dat {

namespace {

using detail::kPointerSize;
// Nothing may claim the bytes up to the end of the header: the 0x140 bytes before it are reserved.
constexpr std::uint64_t kHeaderEnd = DatHeader::kFileOffset + DatHeader::kEncodedSize;

// Disjoint claimed ranges of the file, by start. A contiguous chain extends its last range rather
// than adding one, so a freshly written archive costs a range per chain.
class ClaimedRanges {
 public:
  struct Meeting {
    LayoutOwner owner;
    std::uint64_t start;
    std::uint64_t end;
  };

  // The first claimed range that [start, end) meets, cut to [start, end).
  std::optional<Meeting> first_meeting(std::uint64_t start, std::uint64_t end) const {
    auto next = ranges_.upper_bound(start);
    if (next != ranges_.begin()) {
      const auto before = std::prev(next);
      if (before->second.end > start) return cut(*before, start, end);
    }
    if (next != ranges_.end() && next->first < end) return cut(*next, start, end);
    return std::nullopt;
  }

  // [start, end) must meet no claimed range.
  void claim(std::uint64_t start, std::uint64_t end, LayoutOwner owner) {
    if (start == end) return;
    auto next = ranges_.lower_bound(start);
    if (next != ranges_.begin()) {
      Range& before = std::prev(next)->second;
      if (before.end == start && before.owner == owner) {
        before.end = end;
        return;
      }
    }
    ranges_.emplace_hint(next, start, Range{end, owner});
  }

  std::vector<detail::ClaimedRange> ranges() const {
    std::vector<detail::ClaimedRange> out;
    out.reserve(ranges_.size());
    for (const auto& [start, range] : ranges_) out.push_back({start, range.end});
    return out;
  }

  // Bytes claimed by owners of `kind`.
  std::uint64_t bytes_of(LayoutOwner::Kind kind) const {
    std::uint64_t total = 0;
    for (const auto& [start, range] : ranges_) {
      if (range.owner.kind == kind) total += range.end - start;
    }
    return total;
  }

 private:
  struct Range {
    std::uint64_t end;
    LayoutOwner owner;
  };

  static Meeting cut(const std::pair<const std::uint64_t, Range>& range, std::uint64_t start,
                     std::uint64_t end) {
    return {range.second.owner, std::max(range.first, start), std::min(range.second.end, end)};
  }

  std::map<std::uint64_t, Range> ranges_;
};

// Block pointers, read ahead while blocks follow each other in the file (as freshly written chains
// do, and chains walked in storage order) so they cost a read per window rather than per block; a
// jump reads just the pointer.
class PointerReader {
 public:
  PointerReader(PositionedReader file, std::uint64_t file_length)
      : file_(file), file_length_(file_length) {}

  // The caller has checked that the pointer lies within the file.
  std::expected<std::uint32_t, IoError> read(std::uint64_t block) {
    if (block < start_ || block + kPointerSize > start_ + length_) {
      const std::uint64_t wanted = block == expected_next_ ? kWindow : kPointerSize;
      const auto length = static_cast<std::size_t>(std::min(wanted, file_length_ - block));
      length_ = 0;
      if (auto read = file_.read_exact_at_compat(std::span(window_).first(length), block); !read) {
        return std::unexpected(read.error());
      }
      start_ = block;
      length_ = length;
    }
    return load_le32(window_.data() + (block - start_));
  }

  // Where the next block would start if it followed the one just walked in the file, whether in
  // the same chain or as the first block of the chain stored next.
  void note_contiguous_next(std::uint64_t offset) { expected_next_ = offset; }

 private:
  static constexpr std::size_t kWindow = 64 * 1024;

  PositionedReader file_;
  std::uint64_t file_length_;
  std::array<std::uint8_t, kWindow> window_;
  std::uint64_t start_ = 0;
  std::size_t length_ = 0;
  std::uint64_t expected_next_ = std::numeric_limits<std::uint64_t>::max();
};

class LayoutWalk {
 public:
  explicit LayoutWalk(const DatDatabase& archive)
      : geometry_(detail::DatDatabaseInternals::chain_geometry(archive)),
        pointers_(detail::DatDatabaseInternals::reader(archive), geometry_.file_length) {
    claims_.claim(0, std::min(kHeaderEnd, geometry_.file_length), LayoutOwner{});
  }

  // Claims the blocks of one chain until its size is gathered, it meets a claimed range, or it
  // cannot be followed.
  Result<void> walk(LayoutOwner owner, std::uint32_t offset, std::uint32_t size) {
    const std::uint32_t block_size = geometry_.block_size;
    std::uint32_t remaining = size;
    std::uint32_t current = offset;
    while (remaining > 0) {
      if (std::uint64_t{current} + kPointerSize > geometry_.file_length) return {};
      const auto next = pointers_.read(current);
      if (!next) return std::unexpected(next.error());
      // A block the walks cannot follow (its payload start beyond 32 bits, no room for payload)
      // ends the chain here; fetching its file reports why.
      const auto step = detail::chain_step(current, *next, remaining, block_size);
      if (!step) return {};
      const std::uint64_t read_end = step->payload_start + step->share;
      const std::uint64_t end = std::min(read_end, geometry_.file_length);
      if (const auto met = claims_.first_meeting(current, end)) {
        overlaps_.push_back(LayoutOverlap{met->owner, owner, static_cast<std::uint32_t>(met->start),
                                          met->end - met->start});
        return {};
      }
      claims_.claim(current, end, owner);
      if (end < read_end) return {};
      pointers_.note_contiguous_next(std::uint64_t{current} + block_size);
      remaining -= step->share;
      current = step->next;
    }
    return {};
  }

  std::vector<detail::ClaimedRange> claimed_ranges() const { return claims_.ranges(); }

  ArchiveLayout finish() && {
    ArchiveLayout layout;
    layout.overlaps = std::move(overlaps_);
    layout.file_bytes = claims_.bytes_of(LayoutOwner::Kind::File);
    layout.directory_bytes = claims_.bytes_of(LayoutOwner::Kind::DirectoryNode);
    const std::uint64_t header_bytes = claims_.bytes_of(LayoutOwner::Kind::Header);
    layout.unclaimed_bytes =
        geometry_.file_length - header_bytes - layout.file_bytes - layout.directory_bytes;
    return layout;
  }

 private:
  ChainGeometry geometry_;
  PointerReader pointers_;
  ClaimedRanges claims_;
  std::vector<LayoutOverlap> overlaps_;
};

}  // namespace

std::string LayoutOwner::to_string() const {
  switch (kind) {
    case Kind::Header:
      return "the header";
    case Kind::DirectoryNode:
      return "directory node " + hex0x8(value);
    case Kind::File:
      return "file " + hex0x8(value);
  }
  std::unreachable();
}

std::string LayoutOverlap::to_string() const {
  const std::string bytes = std::to_string(length) + (length == 1 ? " byte" : " bytes");
  if (first == second) {
    return second.to_string() + " claims " + bytes + " at " + hex0x8(offset) + " twice";
  }
  return second.to_string() + " and " + first.to_string() + " both claim " + bytes + " at " +
         hex0x8(offset);
}

namespace detail {

Result<std::pair<ArchiveLayout, std::vector<ClaimedRange>>> check_layout_with_claims(
    const DatDatabase& archive) {
  LayoutWalk walk(archive);
  for (const std::uint32_t node : detail::DatDatabaseInternals::directory_nodes(archive)) {
    const auto walked =
        walk.walk({LayoutOwner::Kind::DirectoryNode, node}, node, DatDatabase::kNodeSize);
    if (!walked) return std::unexpected(walked.error());
  }
  // In storage order: overlaps are listed front to back and, of entries sharing a chain, the
  // lowest id claims it.
  for (const std::uint32_t id : archive.ids_in_storage_order()) {
    const DatFileEntry& entry = *archive.find(id);
    const auto walked = walk.walk({LayoutOwner::Kind::File, id}, entry.offset, entry.size);
    if (!walked) return std::unexpected(walked.error());
  }
  std::vector<ClaimedRange> claimed = walk.claimed_ranges();
  return std::pair(std::move(walk).finish(), std::move(claimed));
}

}  // namespace detail

Result<ArchiveLayout> check_layout(const DatDatabase& archive) {
  auto checked = detail::check_layout_with_claims(archive);
  if (!checked) return std::unexpected(checked.error());
  return std::move(checked->first);
}

}  // namespace kelvane_dat
