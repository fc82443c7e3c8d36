#include "string_entry_json.hpp"

#include "archive.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

std::string string_entry_json_line(std::uint32_t table_id, std::uint32_t language,
                                   std::uint32_t key, const StringTableString& entry) {
  return json_line({{"table", id_text(table_id)},
                    {"language", language},
                    {"key", id_text(key)},
                    {"data_id", id_text(entry.data_id)},
                    {"strings", entry.strings},
                    {"variables", entry.variables},
                    {"var_name_table_worth_packing", entry.is_var_name_table_worth_packing}});
}

}  // namespace kelvane_dat::cli
