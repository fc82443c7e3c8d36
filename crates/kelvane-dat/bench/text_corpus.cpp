#include "text_corpus.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string_view>

namespace kelvane_dat::bench {

namespace {

// Common words first: drawn with weights falling off like word frequencies in prose.
constexpr std::string_view kWords[] = {
    "the",      "of",        "and",     "to",       "a",      "in",      "is",      "you",
    "that",     "it",        "he",      "was",      "for",    "on",      "are",     "as",
    "with",     "his",       "they",    "at",       "be",     "this",    "have",    "from",
    "or",       "one",       "had",     "by",       "word",   "but",     "not",     "what",
    "all",      "were",      "we",      "when",     "your",   "can",     "said",    "there",
    "use",      "an",        "each",    "which",    "she",    "do",      "how",     "their",
    "if",       "will",      "up",      "other",    "about",  "out",     "many",    "then",
    "them",     "these",     "so",      "some",     "her",    "would",   "make",    "like",
    "into",     "time",      "has",     "look",     "two",    "more",    "write",   "go",
    "see",      "number",    "no",      "way",      "could",  "people",  "my",      "than",
    "first",    "water",     "been",    "call",     "who",    "oil",     "its",     "now",
    "find",     "long",      "down",    "day",      "did",    "get",     "come",    "made",
    "may",      "part",      "over",    "new",      "sound",  "take",    "only",    "little",
    "work",     "know",      "place",   "year",     "live",   "me",      "back",    "give",
    "most",     "very",      "after",   "thing",    "our",    "just",    "name",    "good",
    "sentence", "man",       "think",   "say",      "great",  "where",   "help",    "through",
    "much",     "before",    "line",    "right",    "too",    "mean",    "old",     "any",
    "same",     "tell",      "boy",     "follow",   "came",   "want",    "show",    "also",
    "around",   "form",      "three",   "small",    "set",    "put",     "end",     "does",
    "another",  "well",      "large",   "must",     "big",    "even",    "such",    "because",
    "turn",     "here",      "why",     "ask",      "went",   "men",     "read",    "need",
    "land",     "different", "home",    "us",       "move",   "try",     "kind",    "hand",
    "picture",  "again",     "change",  "off",      "play",   "spell",   "air",     "away",
    "animal",   "house",     "point",   "page",     "letter", "mother",  "answer",  "found",
    "study",    "still",     "learn",   "should",   "world",  "high",    "every",   "near",
    "add",      "food",      "between", "own",      "below",  "country", "plant",   "last",
    "school",   "father",    "keep",    "tree",     "never",  "start",   "city",    "earth",
    "eye",      "light",     "thought", "head",     "under",  "story",   "saw",     "left",
    "river",    "forest",    "village", "mountain", "sword",  "market",  "silver",  "journey",
    "lantern",  "harbor",    "window",  "garden",   "bridge", "winter",  "morning",
};

// Words with characters beyond ASCII: accents, typographic punctuation, symbols, one emoji.
constexpr std::string_view kDecorated[] = {
    "caf\xC3\xA9",
    "na\xC3\xAFve",
    "r\xC3\xA9sum\xC3\xA9",
    "\xE2\x80\x94",
    "\xE2\x80\xA6",
    "\xE2\x80\x9Cyes\xE2\x80\x9D",
    "M\xC3\xBCnchen",
    "21\xC2\xB0"
    "C",
    "\xE2\x86\x92",
    "d\xC3\xA9j\xC3\xA0",
    "\xF0\x9F\x8E\x89",
    "\xC2\xA9",
};

}  // namespace

std::string english_like_text(std::size_t size, std::uint64_t seed, unsigned decorated_percent) {
  std::mt19937_64 random(seed);
  std::array<double, std::size(kWords)> weights{};
  for (std::size_t i = 0; i < weights.size(); ++i) weights[i] = 1.0 / static_cast<double>(i + 3);
  std::discrete_distribution<std::size_t> word(weights.begin(), weights.end());
  std::uniform_int_distribution<unsigned> percent(0, 99);
  std::uniform_int_distribution<int> sentence_length(4, 22);

  std::string text;
  text.reserve(size + 64);
  while (text.size() < size) {
    const int words = sentence_length(random);
    for (int w = 0; w < words; ++w) {
      std::string_view next = percent(random) < decorated_percent
                                  ? kDecorated[random() % std::size(kDecorated)]
                                  : kWords[word(random)];
      if (w == 0 && next[0] >= 'a' && next[0] <= 'z') {
        text.push_back(static_cast<char>(next[0] - 'a' + 'A'));
        next.remove_prefix(1);
      }
      text.append(next);
      if (w + 1 < words) text.append(percent(random) < 8 ? ", " : " ");
    }
    text.append(percent(random) < 15 ? "!\n" : ". ");
  }
  // Cut back to a character boundary at or before `size`.
  std::size_t end = size;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

std::vector<std::uint8_t> utf16le_bytes(const std::string& utf8) {
  const std::u16string units = utf8_to_utf16(utf8).value();
  std::vector<std::uint8_t> bytes;
  bytes.reserve(2 * units.size());
  for (const char16_t unit : units) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

std::vector<std::uint8_t> as_bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<StoredStringTable> text_archive_tables() {
  std::vector<StoredStringTable> tables;
  std::mt19937_64 random(31);
  std::lognormal_distribution<double> entry_count(std::log(40.0), 1.2);
  for (std::uint32_t id = 0x23000001; id < 0x23000001 + 400; ++id) {
    StoredStringTable table;
    table.id = id;
    const auto count = static_cast<std::size_t>(std::clamp(entry_count(random), 1.0, 3000.0));
    for (std::size_t i = 0; i < count; ++i) {
      StoredStringTableEntry entry;
      entry.key = static_cast<std::uint32_t>(random());
      const std::size_t variants = random() % 10 == 0 ? 2 + random() % 3 : 1;
      for (std::size_t v = 0; v < variants; ++v) {
        const unsigned kind = static_cast<unsigned>(random() % 10);
        const std::size_t length = kind < 6   ? 4 + random() % 20
                                   : kind < 9 ? 30 + random() % 90
                                              : 200 + random() % 800;
        entry.texts.push_back(utf8_to_utf16(english_like_text(length, random())).value());
      }
      if (random() % 5 == 0) entry.variables.push_back(static_cast<std::uint32_t>(random()));
      table.entries.push_back(std::move(entry));
    }
    tables.push_back(std::move(table));
  }
  return tables;
}

}  // namespace kelvane_dat::bench
