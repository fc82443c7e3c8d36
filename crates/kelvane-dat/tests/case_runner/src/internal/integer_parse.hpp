#pragma once

// Parsing of unsigned decimal numbers from the command line and the environment, with the
// error texts that the messages quote: an optional leading '+', then digits only, checked
// left to right (the first problem found is the one reported).

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace case_runner::internal {

// Errors: "cannot parse integer from empty string", "invalid digit found in string",
// "number too large to fit in target type".
std::expected<std::uint64_t, std::string> parse_unsigned(std::string_view text);

}  // namespace case_runner::internal
