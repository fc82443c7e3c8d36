#include "internal/integer_parse.hpp"

#include <limits>

namespace case_runner::internal {

std::expected<std::uint64_t, std::string> parse_unsigned(std::string_view text) {
  if (text.empty()) return std::unexpected("cannot parse integer from empty string");
  std::string_view digits = text;
  if (digits.front() == '+') {
    digits.remove_prefix(1);
    if (digits.empty()) return std::unexpected("invalid digit found in string");
  }
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (const char c : digits) {
    const bool multiply_overflows = value > kMax / 10;
    if (c < '0' || c > '9') return std::unexpected("invalid digit found in string");
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (multiply_overflows || value * 10 > kMax - digit) {
      return std::unexpected("number too large to fit in target type");
    }
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace case_runner::internal
