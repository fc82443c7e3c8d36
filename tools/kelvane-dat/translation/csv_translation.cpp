// CSV as RFC 4180 has it: CRLF after every record, a field quoted when it holds a comma, a quote,
// CR or LF, a quote inside doubled. Spreadsheets and Python's csv module read it back as written.

#include <algorithm>
#include <array>
#include <optional>
#include <span>

#include "archive.hpp"
#include "command_line.hpp"
#include "translation/translation_codecs.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::array<std::string_view, 5> kColumns = {"id", "source", "target", "data_id",
                                                      "variables"};

// Whether a field holding `c` is quoted. Tested byte by byte in a loop of the caller's, rather than
// with find_first_of, which looks each byte up in the set with a call.
bool needs_quotes(char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; }

void append_field(std::string& out, std::string_view field) {
  if (std::none_of(field.begin(), field.end(), needs_quotes)) {
    out += field;
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// What follows a unit's source in its record. Ids and variables never hold a character that needs
// quoting.
void append_record_end(std::string& out, std::string_view target, std::uint32_t data_id,
                       std::span<const std::uint32_t> variables) {
  out += ',';
  append_field(out, target);
  out += ',';
  append_id_text(out, data_id);
  out += ',';
  for (std::size_t i = 0; i < variables.size(); ++i) {
    if (i > 0) out += ' ';
    append_id_text(out, variables[i]);
  }
  out += "\r\n";
}

// One record's fields, each viewing the file's text. The list of views keeps its storage from
// record to record, so reading a file allocates only for its widest record.
class CsvRecord {
 public:
  std::size_t size() const { return fields_.size(); }
  std::string_view operator[](std::size_t i) const { return fields_[i]; }

 private:
  friend class CsvReader;

  std::vector<std::string_view> fields_;
};

using ByteSet = std::array<bool, 256>;

constexpr ByteSet byte_set(std::string_view bytes) {
  ByteSet set{};
  for (const char c : bytes) set[static_cast<unsigned char>(c)] = true;
  return set;
}

// What ends a run of plain bytes in a record, inside and outside quotes (a line end inside quotes
// is counted).
constexpr ByteSet kQuotedSpecial = byte_set("\"\n");
constexpr ByteSet kUnquotedSpecial = byte_set("\",\r\n");

// Splits RFC 4180 records; a bare LF also ends a record, as editors that rewrite line ends make.
// A field's text is left where it stands: a quoted field is unescaped in place, which only ever
// moves its bytes towards its start, so the fields before it are untouched. Only a byte that moves
// is written, so a file without escaped quotes is only read: a text mapped copy-on-write stays the
// file's pages.
class CsvReader {
 public:
  explicit CsvReader(std::span<char> text) : text_(text) {}

  // Reads the next record into `record`; false at the end, or an error naming the line.
  std::expected<bool, std::string> next(CsvRecord& record) {
    if (pos_ >= text_.size()) return false;
    record.fields_.clear();
    const std::size_t start_line = line_;
    std::size_t field = pos_;
    std::size_t end = pos_;  // where the field's next byte goes
    const auto close_field = [&] {
      record.fields_.emplace_back(text_.data() + field, end - field);
    };
    // Keeps the byte at `from` as the field's next one.
    const auto keep = [&](std::size_t from) {
      if (end != from) text_[end] = text_[from];
      ++end;
    };
    bool quoted = false;
    while (pos_ < text_.size()) {
      if (end == pos_) {
        // Nothing has moved: the bytes up to the next one that means something are the field's
        // where they stand.
        pos_ = quoted ? skip_to(pos_, kQuotedSpecial) : skip_to(pos_, kUnquotedSpecial);
        end = pos_;
        if (pos_ == text_.size()) break;
      }
      const char c = text_[pos_++];
      if (quoted) {
        if (c == '"' && pos_ < text_.size() && text_[pos_] == '"') {
          keep(pos_ - 1);
          ++pos_;
        } else if (c == '"') {
          quoted = false;
        } else {
          if (c == '\n') ++line_;
          keep(pos_ - 1);
        }
      } else if (c == '"' && end == field) {
        // The text starts after the quote, so one without escapes stays where it is.
        quoted = true;
        field = end = pos_;
      } else if (c == ',') {
        close_field();
        field = end = pos_;
      } else if (c == '\n' || (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n')) {
        if (c == '\r') ++pos_;
        ++line_;
        close_field();
        return true;
      } else {
        keep(pos_ - 1);
      }
    }
    if (quoted) return std::unexpected("line " + std::to_string(start_line) + ": unclosed quote");
    close_field();
    return true;
  }

  std::size_t line() const { return line_; }

 private:
  // The position of the first byte from `pos` on that is in `special`, or the end.
  std::size_t skip_to(std::size_t pos, const ByteSet& special) const {
    while (pos < text_.size() && !special[static_cast<unsigned char>(text_[pos])]) ++pos;
    return pos;
  }

  std::span<char> text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

// Appends the variables `field` lists to `variables`.
std::expected<void, std::string> parse_variables(std::string_view field,
                                                 std::vector<std::uint32_t>& variables) {
  while (!field.empty()) {
    const std::size_t end = field.find(' ');
    const auto variable = parse_file_id(field.substr(0, end));
    if (!variable) return std::unexpected("variables: " + variable.error());
    variables.push_back(*variable);
    field.remove_prefix(end == std::string_view::npos ? field.size() : end + 1);
  }
  return {};
}

}  // namespace

std::string_view csv_opening() { return "id,source,target,data_id,variables\r\n"; }

void append_csv(std::string& out, std::span<const TranslationUnit> units) {
  for (const TranslationUnit& unit : units) {
    append_unit_id(out, unit.id);
    out += ',';
    append_field(out, unit.source);
    append_record_end(out, unit.target, unit.data_id, unit.variables);
  }
}

void append_csv_table(std::string& out, std::uint32_t table_id, const StoredTableTexts& table) {
  for (const std::size_t entry : table.kept_entries()) {
    const auto texts = table.texts(entry);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      append_unit_id(out, {table_id, table.key(entry), static_cast<std::uint32_t>(i)});
      out += ',';
      // Decoded where it goes; quoted afterwards in the rare text that needs it.
      const std::size_t source = out.size();
      append_stored_text(out, texts[i]);
      if (std::any_of(out.begin() + static_cast<std::ptrdiff_t>(source), out.end(), needs_quotes)) {
        const std::string text = out.substr(source);
        out.resize(source);
        append_field(out, text);
      }
      append_record_end(out, {}, table.data_id(entry), table.variables(entry));
    }
  }
}

std::string write_csv(std::span<const TranslationUnit> units) {
  std::string out(csv_opening());
  append_csv(out, units);
  return out;
}

std::expected<CsvUnits, std::string> read_csv_in_place(std::span<char> text, CsvNotes notes) {
  // Spreadsheets add a BOM.
  if (std::string_view(text.data(), text.size()).starts_with("\xEF\xBB\xBF")) {
    text = text.subspan(3);
  }
  if (const auto utf8 = check_utf8({text.data(), text.size()}); !utf8) {
    return std::unexpected(utf8.error());
  }
  CsvReader reader(text);
  CsvRecord record;
  const auto header = reader.next(record);
  if (!header) return std::unexpected(header.error());
  // Columns by name, so a spreadsheet may reorder them or add its own.
  std::array<std::optional<std::size_t>, kColumns.size()> column;
  for (std::size_t i = 0; *header && i < record.size(); ++i) {
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
      if (record[i] == kColumns[c]) column[c] = i;
    }
  }
  if (!column[0] || !column[1] || !column[2]) {
    return std::unexpected<std::string>(
        "line 1: the header must name the columns id, source and target");
  }

  CsvUnits read;
  // A record per line, but for the header, as exported files have it: room made at once saves
  // copying the units at every doubling, and touching twice the memory. No more than a unit's
  // shortest record ("1/1/0" and a line end) fits, so a file of blank lines reserves no more than
  // its units would take.
  constexpr std::size_t kShortestRecord = 6;
  const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  const std::size_t units = std::min(lines, text.size() / kShortestRecord);
  read.units.reserve(units);
  if (notes == CsvNotes::Keep) read.notes.reserve(units);
  // Exported files name units in ascending order, which shows without a record of them that no
  // unit repeats. From the first unit out of that order on, each one's line is kept for the check
  // the other readers make (a repeat's later mention is never before that unit).
  std::size_t out_of_order = 0;
  std::vector<std::size_t> lines_out_of_order;
  std::vector<std::uint32_t> unkept_variables;
  while (true) {
    const std::size_t line = reader.line();
    const auto more = reader.next(record);
    if (!more) return std::unexpected(more.error());
    if (!*more) break;
    if (record.size() == 1 && record[0].empty()) continue;  // a blank line
    const auto field = [&](std::size_t c) -> std::string_view {
      return column[c] && *column[c] < record.size() ? record[*column[c]] : std::string_view();
    };
    const auto problem = [line](const std::string& what) {
      return std::unexpected("line " + std::to_string(line) + ": " + what);
    };
    const auto id = parse_unit_id(field(0));
    if (!id) return problem(id.error());
    if (out_of_order == 0 && !read.units.empty() && !(read.units.back().id < *id)) {
      out_of_order = read.units.size();
    }
    if (out_of_order != 0) lines_out_of_order.push_back(line);
    CsvUnits::Note note;
    if (const std::string_view data_id = field(3); !data_id.empty()) {
      const auto parsed = parse_file_id(data_id);
      if (!parsed) return problem("data_id: " + parsed.error());
      note.data_id = *parsed;
    }
    std::vector<std::uint32_t>& variables =
        notes == CsvNotes::Keep ? read.variables : unkept_variables;
    unkept_variables.clear();
    if (const auto parsed = parse_variables(field(4), variables); !parsed) {
      return problem(parsed.error());
    }
    note.variables_end = read.variables.size();
    read.units.push_back({.id = *id, .source = field(1), .target = field(2)});
    if (notes == CsvNotes::Keep) read.notes.push_back(note);
  }
  if (out_of_order != 0) {
    SeenUnitIds seen;
    seen.reserve(read.units.size());
    for (std::size_t i = 0; i < read.units.size(); ++i) {
      // The units before are in order, so none of them is a repeat and their lines go unused.
      seen.add(read.units[i].id, i < out_of_order ? 0 : lines_out_of_order[i - out_of_order]);
    }
    if (auto repeated = seen.repeated()) return std::unexpected(std::move(*repeated));
  }
  return read;
}

std::expected<std::vector<TranslationUnit>, std::string> read_csv(std::string_view text) {
  std::string copy(text);
  const std::expected<CsvUnits, std::string> read = read_csv_in_place(copy, CsvNotes::Keep);
  if (!read) return std::unexpected(read.error());
  std::vector<TranslationUnit> units;
  units.reserve(read->units.size());
  std::size_t variables_begin = 0;
  for (std::size_t i = 0; i < read->units.size(); ++i) {
    const UnitText& unit = read->units[i];
    const CsvUnits::Note& note = read->notes[i];
    const auto variables =
        std::span(read->variables).subspan(variables_begin, note.variables_end - variables_begin);
    variables_begin = note.variables_end;
    units.push_back({.id = unit.id,
                     .source = std::string(unit.source),
                     .target = std::string(unit.target),
                     .data_id = note.data_id,
                     .variables = {variables.begin(), variables.end()}});
  }
  return units;
}

}  // namespace kelvane_dat::cli
