#pragma once

// The formats of translation_file.hpp one by one, for its dispatch and for their tests. Writers of
// text formats return the file's bytes and readers take them; PO goes through libgettextpo, which
// reads and writes files itself.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "translation/translation_unit.hpp"

namespace kelvane_dat::cli {

std::string write_csv(const std::vector<TranslationUnit>& units);
std::expected<std::vector<TranslationUnit>, std::string> read_csv(std::string_view text);

// `language` is the tables' language code, which each line carries.
std::string write_json_lines(const std::vector<TranslationUnit>& units, std::uint32_t language);
std::expected<std::vector<TranslationUnit>, std::string> read_json_lines(std::string_view text);

std::string write_xliff(const std::vector<TranslationUnit>& units, std::uint32_t source_language);
std::expected<std::vector<TranslationUnit>, std::string> read_xliff(std::string_view text);

// `path` "-" is standard output.
std::expected<void, std::string> write_po(const std::vector<TranslationUnit>& units,
                                          const std::filesystem::path& path);
std::expected<std::vector<TranslationUnit>, std::string> read_po(const std::filesystem::path& path);

}  // namespace kelvane_dat::cli
