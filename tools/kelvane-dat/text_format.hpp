#pragma once

// Text the tool prints: JSON strings, aligned columns, bytes in hexadecimal.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane_dat::cli {

// `text` (UTF-8) as a JSON string in double quotes. Quote, backslash and the control characters
// below U+0020 are escaped (\n, \t, \r, \b, \f by name, the rest as \u00XX); everything else,
// non-ASCII included, is copied as it is, since the output is UTF-8 anyway.
std::string json_string(std::string_view text);

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
