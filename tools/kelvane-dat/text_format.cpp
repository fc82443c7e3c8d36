#include "text_format.hpp"

#include <algorithm>
#include <cstdio>

namespace kelvane_dat::cli {

std::string json_string(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  for (const char c : text) {
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\t':
        out.append("\\t");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\f':
        out.append("\\f");
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
          out.append(escape);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
  return out;
}

void Columns::add_row(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }

std::string Columns::render() const {
  std::vector<std::size_t> widths;
  for (const auto& row : rows_) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string out;
  for (const auto& row : rows_) {
    for (std::size_t column = 0; column < row.size(); ++column) {
      const std::string& cell = row[column];
      const std::size_t padding = widths[column] - cell.size();
      const bool right = column < right_aligned_.size() && right_aligned_[column];
      const bool last = column + 1 == row.size();
      if (column > 0) out.append("  ");
      if (right) out.append(padding, ' ');
      out.append(cell);
      if (!right && !last) out.append(padding, ' ');
    }
    out.push_back('\n');
  }
  return out;
}

}  // namespace kelvane_dat::cli
