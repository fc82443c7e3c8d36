#include "text_format.hpp"

#include <algorithm>
#include <cstdio>

namespace kelvane_dat::cli {

std::string json_quoted(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string json_line(const Json& value) { return json_quoted(value) + "\n"; }

std::string iso8601_utc(std::uint32_t seconds) {
  // Days to a civil date by Howard Hinnant's algorithm, so no C library time zone state is
  // touched (gmtime is not thread-safe and Windows lacks gmtime_r).
  const std::int64_t days = seconds / 86400 + 719468;
  const std::int64_t era = days / 146097;
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t month_index = (5 * day_of_year + 2) / 153;
  const std::int64_t day = day_of_year - (153 * month_index + 2) / 5 + 1;
  const std::int64_t month = month_index < 10 ? month_index + 3 : month_index - 9;
  const std::int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  const std::uint32_t in_day = seconds % 86400;
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02u:%02u:%02uZ",
                static_cast<long long>(year), static_cast<long long>(month),
                static_cast<long long>(day), in_day / 3600, in_day / 60 % 60, in_day % 60);
  return text;
}

std::string counted(std::uint64_t count, std::string_view one, std::string_view many) {
  std::string text = std::to_string(count) + " ";
  if (count == 1) return text.append(one);
  return many.empty() ? text.append(one).append("s") : text.append(many);
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
