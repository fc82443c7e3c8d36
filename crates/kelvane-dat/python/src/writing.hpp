#pragma once

// kelvane_dat.create and kelvane_dat.edit: writing a new archive and changing one in place, each a
// context manager that finishes (or commits) when its block ends normally and leaves the file as
// it was when the block ends by an exception.

#include <pybind11/pybind11.h>

namespace kelvane_dat::python {

// Adds ArchiveWriter, Transaction, create() and edit() to `module`.
void add_writing(pybind11::module_& module);

}  // namespace kelvane_dat::python
