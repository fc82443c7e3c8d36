// Reads the input as a translation file a translator sent back: the first byte chooses the format
// (CSV, JSON Lines or XLIFF), the rest is the file. PO is read by libgettextpo, not by our code.
//
// Properties: a reader returns units or an error, never crashes or runs away. Units a reader
// returns, written again in the same format, read back as the same units; JSON Lines carries no
// source text, so a unit read from it has none either.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.hpp"
#include "translation/translation_codecs.hpp"

namespace {

using namespace kelvane_dat;
using cli::TranslationUnit;
using fuzz::require;

using Units = std::vector<TranslationUnit>;

void check_round_trip(std::string_view text, auto read, auto write, std::string_view format) {
  const std::expected<Units, std::string> units = read(text);
  if (!units) {
    require(!units.error().empty(), "a reader says what is wrong");
    return;
  }
  const std::string written = write(*units);
  const std::expected<Units, std::string> again = read(written);
  require(again.has_value() && *again == *units, format);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  constexpr std::uint32_t kLanguage = 1;
  switch (data[0] % 3) {
    case 0:
      check_round_trip(text, cli::read_csv, cli::write_csv, "CSV reads back what it read");
      break;
    case 1:
      check_round_trip(
          text, cli::read_json_lines,
          [](const Units& units) { return cli::write_json_lines(units, kLanguage); },
          "JSON Lines reads back what it read");
      break;
    default:
      check_round_trip(
          text, cli::read_xliff,
          [](const Units& units) { return cli::write_xliff(units, kLanguage); },
          "XLIFF reads back what it read");
      break;
  }
  return 0;
}
