#pragma once

// A string table entry as one line of JSON Lines: what `strings --json` prints and what a
// translation in JSON Lines holds, written by this one function so that the two never differ.

#include <cstdint>
#include <string>

#include "kelvane_dat/file_type/string_table.hpp"

namespace kelvane_dat::cli {

// {"table":"0x2300000A","language":1,"key":"0x014152D5","data_id":"0x00000000",
//  "strings":["Left Alt"],"variables":[],"var_name_table_worth_packing":false} and a line feed.
std::string string_entry_json_line(std::uint32_t table_id, std::uint32_t language,
                                   std::uint32_t key, const StringTableString& entry);

}  // namespace kelvane_dat::cli
