#include "text_pattern.hpp"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace kelvane_dat::cli {

struct TextPattern::Compiled {
  Compiled(pcre2_code* code_in) : code(code_in) {
    match_data = pcre2_match_data_create_from_pattern(code, nullptr);
  }
  Compiled(const Compiled&) = delete;
  Compiled& operator=(const Compiled&) = delete;
  ~Compiled() {
    pcre2_match_data_free(match_data);
    pcre2_code_free(code);
  }

  pcre2_code* code;
  pcre2_match_data* match_data;
};

std::expected<TextPattern, std::string> TextPattern::compile(std::string_view pattern,
                                                             PatternOptions options) {
  // The library decodes texts to valid UTF-8 (a lone surrogate becomes U+FFFD). PCRE2 10.42's JIT
  // misses matches ending in a four-byte character under PCRE2_MATCH_INVALID_UTF, so that option,
  // which only matters for invalid input, is left off.
  std::uint32_t flags = options.bytes ? 0 : PCRE2_UTF;
  if (options.ignore_case) flags |= PCRE2_CASELESS;
  // PCRE2_UCP (Unicode's \w, \d, \b) is refused beside PCRE2_LITERAL, and a plain string has no
  // classes anyway; in UTF mode its caseless match already folds by Unicode's rules.
  if (options.fixed) {
    flags |= PCRE2_LITERAL;
  } else if (options.ignore_case && !options.bytes) {
    flags |= PCRE2_UCP;
  }
  int error_code = 0;
  PCRE2_SIZE error_offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                   flags, &error_code, &error_offset, nullptr);
  if (code == nullptr) {
    PCRE2_UCHAR message[256];
    pcre2_get_error_message(error_code, message, sizeof message);
    return std::unexpected(std::string(reinterpret_cast<const char*>(message)) + " at offset " +
                           std::to_string(error_offset));
  }
  // Compiling to machine code is worth it for the thousands of texts searched; where the JIT is
  // not available the interpreter gives the same answers.
  pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  auto compiled = std::make_shared<Compiled>(code);
  if (compiled->match_data == nullptr) return std::unexpected("out of memory");
  return TextPattern(std::move(compiled));
}

bool TextPattern::matches(std::string_view text) const { return find(text, 0).has_value(); }

std::optional<TextPattern::Match> TextPattern::find(std::string_view text,
                                                    std::size_t start) const {
  const int result = pcre2_match(compiled_->code, reinterpret_cast<PCRE2_SPTR>(text.data()),
                                 text.size(), start, 0, compiled_->match_data, nullptr);
  if (result < 0) return std::nullopt;
  const PCRE2_SIZE* bounds = pcre2_get_ovector_pointer(compiled_->match_data);
  return Match{bounds[0], bounds[1] - bounds[0]};
}

}  // namespace kelvane_dat::cli
