#include "strings_options.hpp"

namespace kelvane_dat::cli {

CLI::Option* add_translation_format_option(CLI::App& app, std::optional<TranslationFormat>& format,
                                           std::string help) {
  return app
      .add_option_function<std::string>(
          "-f,--format",
          [&format](const std::string& name) {
            format = translation_format_from_name(name);
            if (!format) {
              throw CLI::ValidationError("unknown format '" + name +
                                         "'; the formats are po, xliff, csv, json");
            }
          },
          std::move(help))
      ->type_name("FORMAT");
}

CLI::Option* add_new_archive_option(CLI::App& app, std::string& output) {
  return app.add_option("-o,--output", output, "the new archive to write")
      ->required()
      ->type_name("NEW.dat");
}

}  // namespace kelvane_dat::cli
