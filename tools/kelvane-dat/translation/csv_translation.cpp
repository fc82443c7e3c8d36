// CSV as RFC 4180 has it: CRLF after every record, a field quoted when it holds a comma, a quote,
// CR or LF, a quote inside doubled. Spreadsheets and Python's csv module read it back as written.

#include <array>
#include <optional>

#include "archive.hpp"
#include "command_line.hpp"
#include "translation/translation_codecs.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::array<std::string_view, 5> kColumns = {"id", "source", "target", "data_id",
                                                      "variables"};

void append_field(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
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

void append_record(std::string& out, const std::array<std::string_view, kColumns.size()>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ',';
    append_field(out, fields[i]);
  }
  out += "\r\n";
}

std::string variables_field(const std::vector<std::uint32_t>& variables) {
  std::string out;
  for (const std::uint32_t variable : variables)
    out += (out.empty() ? "" : " ") + id_text(variable);
  return out;
}

// One record's fields. Their strings keep their storage from record to record, so reading a file
// allocates only for the longest field of each column.
class CsvRecord {
 public:
  std::size_t size() const { return size_; }
  std::string_view operator[](std::size_t i) const { return fields_[i]; }

 private:
  friend class CsvReader;

  void start_field() {
    if (size_ == fields_.size()) fields_.emplace_back();
    fields_[size_++].clear();
  }
  std::string& back() { return fields_[size_ - 1]; }

  std::vector<std::string> fields_;
  std::size_t size_ = 0;
};

// Splits RFC 4180 records; a bare LF also ends a record, as editors that rewrite line ends make.
class CsvReader {
 public:
  explicit CsvReader(std::string_view text) : text_(text) {}

  // Reads the next record into `record`; false at the end, or an error naming the line.
  std::expected<bool, std::string> next(CsvRecord& record) {
    if (pos_ >= text_.size()) return false;
    record.size_ = 0;
    record.start_field();
    const std::size_t start_line = line_;
    bool quoted = false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (quoted) {
        if (c == '"' && pos_ < text_.size() && text_[pos_] == '"') {
          record.back() += '"';
          ++pos_;
        } else if (c == '"') {
          quoted = false;
        } else {
          if (c == '\n') ++line_;
          record.back() += c;
        }
      } else if (c == '"' && record.back().empty()) {
        quoted = true;
      } else if (c == ',') {
        record.start_field();
      } else if (c == '\n' || (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n')) {
        if (c == '\r') ++pos_;
        ++line_;
        return true;
      } else {
        record.back() += c;
      }
    }
    if (quoted) return std::unexpected("line " + std::to_string(start_line) + ": unclosed quote");
    return true;
  }

  std::size_t line() const { return line_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

std::expected<std::vector<std::uint32_t>, std::string> parse_variables(std::string_view field) {
  std::vector<std::uint32_t> variables;
  while (!field.empty()) {
    const std::size_t end = field.find(' ');
    const auto variable = parse_file_id(field.substr(0, end));
    if (!variable) return std::unexpected("variables: " + variable.error());
    variables.push_back(*variable);
    field.remove_prefix(end == std::string_view::npos ? field.size() : end + 1);
  }
  return variables;
}

}  // namespace

std::string_view csv_opening() { return "id,source,target,data_id,variables\r\n"; }

void append_csv(std::string& out, std::span<const TranslationUnit> units) {
  for (const TranslationUnit& unit : units) {
    append_record(out, {unit_id_text(unit.id), unit.source, unit.target, id_text(unit.data_id),
                        variables_field(unit.variables)});
  }
}

std::string write_csv(std::span<const TranslationUnit> units) {
  std::string out(csv_opening());
  append_csv(out, units);
  return out;
}

std::expected<std::vector<TranslationUnit>, std::string> read_csv(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // spreadsheets add a BOM
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

  std::vector<TranslationUnit> units;
  SeenUnitIds seen;
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
    seen.add(*id, line);
    TranslationUnit unit{
        .id = *id, .source = std::string(field(1)), .target = std::string(field(2))};
    if (const std::string_view data_id = field(3); !data_id.empty()) {
      const auto parsed = parse_file_id(data_id);
      if (!parsed) return problem("data_id: " + parsed.error());
      unit.data_id = *parsed;
    }
    auto variables = parse_variables(field(4));
    if (!variables) return problem(variables.error());
    unit.variables = std::move(*variables);
    units.push_back(std::move(unit));
  }
  if (auto repeated = seen.repeated()) return std::unexpected(std::move(*repeated));
  return units;
}

}  // namespace kelvane_dat::cli
