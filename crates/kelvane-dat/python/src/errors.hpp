#pragma once

// The library's errors as Python exceptions: DatError carries the library's display text,
// NotFound (a DatError and a KeyError) a missing file id, and an archive the operating system
// would not open is the OSError subclass its errno selects (FileNotFoundError, PermissionError...).

#include <pybind11/pybind11.h>

#include <utility>

#include "kelvane_dat/error.hpp"

namespace kelvane_dat::python {

// Creates DatError and NotFound and adds them to `module`.
void add_exceptions(pybind11::module_& module);

// Sets the Python exception for `error` and throws so that pybind11 raises it. Needs the GIL.
// `path` is the archive's path as the caller gave it, named by an OSError.
[[noreturn]] void raise_error(const DatError& error, pybind11::handle path = {});

// The value of `result`, or its error raised.
template <class T>
T value_or_raise(Result<T>&& result, pybind11::handle path = {}) {
  if (!result) raise_error(result.error(), path);
  return std::move(*result);
}

}  // namespace kelvane_dat::python
