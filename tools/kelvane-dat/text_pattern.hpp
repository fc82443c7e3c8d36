#pragma once

// What grep looks for in a text: a PCRE2 regular expression over UTF-8, or a fixed string; or, in
// a file that holds no text, the same over bytes.

#include <cstddef>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane_dat::cli {

struct PatternOptions {
  // The pattern is a plain string, no character in it special.
  bool fixed = false;
  // Case folded by Unicode's rules, not only ASCII's (by ASCII's alone when matching bytes).
  bool ignore_case = false;
  // Matched against bytes, not UTF-8 characters: each byte of the pattern stands for itself, so
  // a pattern's UTF-8 finds the same UTF-8 in binary data, and "." is any one byte.
  bool bytes = false;
};

class TextPattern {
 public:
  // The error reads as PCRE2 words it, with the offset in the pattern where it stopped:
  // "missing closing parenthesis at offset 4".
  static std::expected<TextPattern, std::string> compile(std::string_view pattern,
                                                         PatternOptions options);

  // Whether the pattern matches anywhere in `text`, which must be valid UTF-8 unless the pattern
  // matches bytes (a text that is not never matches). Not for concurrent use: the match state is
  // reused.
  bool matches(std::string_view text) const;

  struct Match {
    std::size_t offset = 0;
    std::size_t size = 0;
  };
  // The first match starting at or after byte `start` of `text`, which must be valid UTF-8 with
  // `start` on a character boundary unless the pattern matches bytes. Same caveat as matches.
  std::optional<Match> find(std::string_view text, std::size_t start) const;

 private:
  struct Compiled;
  explicit TextPattern(std::shared_ptr<Compiled> compiled) : compiled_(std::move(compiled)) {}

  std::shared_ptr<Compiled> compiled_;
};

}  // namespace kelvane_dat::cli
