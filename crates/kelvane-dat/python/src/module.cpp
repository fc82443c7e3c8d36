// The extension module behind the kelvane_dat package: the library itself, its behaviour and its
// errors, with no reading of its own.

#include <pybind11/pybind11.h>

#include "archive.hpp"
#include "errors.hpp"
#include "records.hpp"
#include "writing.hpp"

PYBIND11_MODULE(_kelvane_dat, module) {
  module.doc() = "Reads and writes the block-structured data archives of the Kelvane game client.";
  kelvane_dat::python::add_exceptions(module);
  kelvane_dat::python::add_records(module);
  kelvane_dat::python::add_archive(module);
  kelvane_dat::python::add_writing(module);
}
