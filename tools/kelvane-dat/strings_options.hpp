#pragma once

// Options the strings subcommands that export and import translations share.

#include <optional>
#include <string>

#include "command_line.hpp"
#include "translation/translation_file.hpp"

namespace kelvane_dat::cli {

// -f, --format po|xliff|csv|json; a name no format has is a usage error naming the formats.
CLI::Option* add_translation_format_option(CLI::App& app, std::optional<TranslationFormat>& format,
                                           std::string help);

// -o, --output NEW.dat, required: the new archive the command writes.
CLI::Option* add_new_archive_option(CLI::App& app, std::string& output);

}  // namespace kelvane_dat::cli
