#pragma once

// Just enough JSON to read back the tool's JSON Lines: objects, arrays, strings (all escapes,
// surrogate pairs included), numbers, true, false and null.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kelvane_dat::cli::testing {

struct JsonValue;
using JsonObject = std::map<std::string, JsonValue>;
using JsonArray = std::vector<JsonValue>;

struct JsonValue {
  std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> value;

  const std::string* string() const { return std::get_if<std::string>(&value); }
  const double* number() const { return std::get_if<double>(&value); }
  const JsonArray* array() const { return std::get_if<JsonArray>(&value); }
  const JsonObject* object() const { return std::get_if<JsonObject>(&value); }
};

// One complete JSON text; nullopt when it is not valid JSON or has anything after it.
std::optional<JsonValue> parse_json(std::string_view text);

}  // namespace kelvane_dat::cli::testing
