#pragma once

// The values an archive hands to Python: directory entries and decoded string tables.

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string_view>

#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "kelvane_dat/file_type/string_table.hpp"

namespace kelvane_dat::python {

// A directory entry with the type its archive gives the id, which the entry alone cannot tell.
struct FileEntry {
  DatFileEntry entry;
  DatFileType type;
};

// A decoded string table whose entries are already Python objects, keyed in ascending order, so
// that every look at `entries` sees the same dict.
struct PyStringTable {
  std::uint32_t id;
  std::uint32_t language;
  pybind11::dict entries;
};

PyStringTable to_python(StringTable&& table);

// Adds FileEntry, StringTable and StringTable.Entry to `module`.
void add_records(pybind11::module_& module);

}  // namespace kelvane_dat::python
