#include "errors.hpp"

#include <Python.h>
#include <pybind11/stl/filesystem.h>

#include "kelvane_dat/io_error.hpp"

namespace py = pybind11;

namespace kelvane_dat::python {

namespace {

// Created once by add_exceptions and owned by the module for the life of the process.
PyObject* dat_error_type = nullptr;
PyObject* not_found_type = nullptr;

}  // namespace

void add_exceptions(py::module_& module) {
  dat_error_type = PyErr_NewExceptionWithDoc("kelvane_dat.DatError",
                                             "An archive could not be read; the text says why.",
                                             PyExc_Exception, nullptr);
  if (dat_error_type == nullptr) throw py::error_already_set();
  const py::tuple bases = py::make_tuple(py::handle(dat_error_type), py::handle(PyExc_KeyError));
  not_found_type = PyErr_NewExceptionWithDoc(
      "kelvane_dat.NotFound", "The archive has no file with that id.", bases.ptr(), nullptr);
  if (not_found_type == nullptr) throw py::error_already_set();
  // KeyError's str() is the repr of its argument; a NotFound reads like every other DatError.
  py::handle(not_found_type).attr("__str__") = py::handle(PyExc_BaseException).attr("__str__");
  module.add_object("DatError", py::handle(dat_error_type));
  module.add_object("NotFound", py::handle(not_found_type));
}

void raise_error(const DatError& error, py::handle path) {
  if (const auto* open_failure = error.get_if<DatError::PathError>();
      open_failure != nullptr && open_failure->source.kind() == IoError::Kind::Os) {
    const int code = open_failure->source.os_code();
    // OSError's constructor picks the subclass that matches the errno.
    const py::object path_object =
        path ? py::reinterpret_borrow<py::object>(path) : py::cast(open_failure->path);
    const py::object exception =
        py::handle(PyExc_OSError)(code, system_error_message(code), path_object);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
    throw py::error_already_set();
  }
  PyObject* type = error.is<DatError::NotFound>() ? not_found_type : dat_error_type;
  PyErr_SetString(type, error.to_string().c_str());
  throw py::error_already_set();
}

}  // namespace kelvane_dat::python
