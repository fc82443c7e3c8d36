#pragma once

// A small pull reader for the XML that translation tools write: elements, attributes, text with
// the predefined and numeric character references, CDATA, comments and processing instructions.
// A document type declaration is refused rather than expanded, so no entity can grow the input.
// Names keep their prefixes; local_name() drops them.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane_dat::cli {

struct XmlEvent {
  enum class Kind : std::uint8_t { Start, End, Text, Finish };
  Kind kind = Kind::Finish;
  std::string name{};                                             // Start, End
  std::vector<std::pair<std::string, std::string>> attributes{};  // Start
  std::string text{};                                             // Text, references resolved
  std::size_t line = 1;

  // The value of the attribute `name`, or nullptr.
  const std::string* attribute(std::string_view attribute_name) const;
};

// The name without its namespace prefix.
std::string_view local_name(std::string_view name);

class XmlReader {
 public:
  explicit XmlReader(std::string_view text) : text_(text) {}

  // The next event; a self-closing element gives Start then End. Fails on malformed input and on
  // an end tag that does not close the open element.
  std::expected<XmlEvent, std::string> next();

 private:
  std::expected<std::string, std::string> resolve_references(std::string_view raw) const;
  std::expected<XmlEvent, std::string> start_tag();
  std::unexpected<std::string> error(std::string_view what) const;
  void advance(std::size_t count);

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  std::vector<std::string> open_;
  bool pending_end_ = false;
};

}  // namespace kelvane_dat::cli
