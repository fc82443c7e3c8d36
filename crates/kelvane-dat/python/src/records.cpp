#include "records.hpp"

#include <pybind11/stl.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "detail/debug_format.hpp"

namespace py = pybind11;

namespace kelvane_dat::python {

PyStringTable to_python(StringTable&& table) {
  std::vector<std::uint32_t> keys;
  keys.reserve(table.strings.size());
  for (const auto& [key, entry] : table.strings) keys.push_back(key);
  std::sort(keys.begin(), keys.end());
  py::dict entries;
  for (const std::uint32_t key : keys) entries[py::int_(key)] = std::move(table.strings.at(key));
  return PyStringTable{table.id, table.language, std::move(entries)};
}

void add_records(py::module_& module) {
  py::class_<FileEntry>(module, "FileEntry", "A directory entry: where a file is stored.")
      .def_property_readonly("id", [](const FileEntry& file) { return file.entry.id; })
      .def_property_readonly("offset", [](const FileEntry& file) { return file.entry.offset; })
      .def_property_readonly("size", [](const FileEntry& file) { return file.entry.size; })
      .def_property_readonly("compressed",
                             [](const FileEntry& file) { return file.entry.is_compressed(); })
      .def_property_readonly("timestamp",
                             [](const FileEntry& file) { return file.entry.timestamp; })
      .def_property_readonly("version", [](const FileEntry& file) { return file.entry.version; })
      .def_property_readonly("bit_flags",
                             [](const FileEntry& file) { return file.entry.bit_flags; })
      .def_property_readonly(
          "type", [](const FileEntry& file) { return std::string(to_string(file.type)); })
      .def("__repr__", [](const FileEntry& file) {
        return "FileEntry(id=" + hex0x8(file.entry.id) +
               ", type=" + std::string(to_string(file.type)) +
               ", offset=" + hex0x8(file.entry.offset) +
               ", size=" + std::to_string(file.entry.size) +
               ", compressed=" + (file.entry.is_compressed() ? "True" : "False") + ")";
      });

  py::class_<PyStringTable> table(module, "StringTable", "A decoded string table.");
  table.def_readonly("id", &PyStringTable::id)
      .def_readonly("language", &PyStringTable::language)
      .def_readonly("entries", &PyStringTable::entries)
      .def("__repr__", [](const PyStringTable& self) {
        return "StringTable(id=" + hex0x8(self.id) + ", language=" + std::to_string(self.language) +
               ", " + std::to_string(self.entries.size()) + " entries)";
      });

  py::class_<StringTableString>(table, "Entry", "One key's texts in a string table.")
      .def_readonly("texts", &StringTableString::strings)
      .def_readonly("data_id", &StringTableString::data_id)
      .def_readonly("variables", &StringTableString::variables)
      .def_readonly("is_var_name_table_worth_packing",
                    &StringTableString::is_var_name_table_worth_packing)
      .def("__repr__", [](const StringTableString& entry) {
        return "Entry(texts=" + py::repr(py::cast(entry.strings)).cast<std::string>() +
               ", data_id=" + hex0x8(entry.data_id) +
               ", variables=" + py::repr(py::cast(entry.variables)).cast<std::string>() + ")";
      });
}

}  // namespace kelvane_dat::python
