#pragma once

// Text the tool prints: JSON, aligned columns, counts.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "nlohmann/json.hpp"

namespace kelvane_dat::cli {

// Every JSON the tool writes goes through nlohmann/json, keys in the order they were added.
using Json = nlohmann::ordered_json;

// `value` on one line, compact, with a line feed: a record of JSON Lines, or a whole document.
// Bytes that are not UTF-8 become U+FFFD instead of failing the output.
std::string json_line(const Json& value);

// A text, or texts, quoted as JSON: how the text output shows texts, so that any byte in them
// stays visible and on one line.
std::string json_quoted(const Json& value);

// Seconds since 1970-01-01 UTC as ISO 8601 in UTC: "2020-07-04T04:05:30Z".
std::string iso8601_utc(std::uint32_t seconds);

// "1 file", "2 files"; `many` replaces the plural when adding an s does not make it ("entries").
std::string counted(std::uint64_t count, std::string_view one, std::string_view many = {});

// Rows of cells printed in columns two spaces apart, each as wide as its widest cell. Cells are
// left-aligned unless their column is marked right-aligned; the last column is never padded.
class Columns {
 public:
  explicit Columns(std::vector<bool> right_aligned) : right_aligned_(std::move(right_aligned)) {}

  void add_row(std::vector<std::string> cells);
  // Every row, each ending in a line feed.
  std::string render() const;

 private:
  std::vector<bool> right_aligned_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace kelvane_dat::cli
