#include "writing.hpp"

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "archive.hpp"
#include "errors.hpp"
#include "kelvane_dat/archive_transaction.hpp"
#include "kelvane_dat/archive_writer.hpp"

namespace py = pybind11;

namespace kelvane_dat::python {

namespace {

std::filesystem::path native_path(const py::object& path) {
  // os.fspath raises the TypeError Python's own functions raise for a path of the wrong type.
  return py::module_::import("os").attr("fspath")(path).cast<std::filesystem::path>();
}

std::span<const std::uint8_t> bytes_of(const py::bytes& data) {
  const std::string_view view = data;
  return {reinterpret_cast<const std::uint8_t*>(view.data()), view.size()};
}

// Raises ValueError once the writer or transaction is done, as a closed Python file does.
template <class T>
T& open_or_raise(std::optional<T>& held, const char* what) {
  if (!held) throw py::value_error(std::string(what) + " is finished");
  return *held;
}

class PyArchiveWriter {
 public:
  PyArchiveWriter(ArchiveWriter writer, py::object path)
      : writer_(std::move(writer)), path_(std::move(path)) {}

  void add(std::uint32_t id, const py::bytes& data, bool compress, std::uint32_t timestamp,
           std::uint32_t version) {
    ArchiveWriter& writer = open_or_raise(writer_, "the archive writer");
    const auto bytes = bytes_of(data);
    Result<void> added = [&] {
      py::gil_scoped_release unlocked;
      return writer.add(id, bytes, FileOptions{compress, timestamp, version});
    }();
    if (!added) raise_error(added.error(), path_);
  }

  // finish() when the block ended normally; otherwise dropping the writer removes its file.
  void exit(const py::object& exception_type) {
    if (!writer_) return;
    ArchiveWriter writer = std::move(*writer_);
    writer_.reset();
    if (!exception_type.is_none()) return;
    Result<void> finished = [&] {
      py::gil_scoped_release unlocked;
      return writer.finish();
    }();
    if (!finished) raise_error(finished.error(), path_);
  }

 private:
  std::optional<ArchiveWriter> writer_;
  py::object path_;
};

class PyTransaction {
 public:
  PyTransaction(ArchiveTransaction transaction, py::object path)
      : transaction_(std::move(transaction)), path_(std::move(path)) {}

  void put(std::uint32_t id, const py::bytes& data, bool compress, std::uint32_t timestamp,
           std::uint32_t version) {
    ArchiveTransaction& txn = open_or_raise(transaction_, "the transaction");
    const auto bytes = bytes_of(data);
    Result<void> put = [&] {
      py::gil_scoped_release unlocked;
      return txn.put(id, bytes, FileOptions{compress, timestamp, version});
    }();
    if (!put) raise_error(put.error(), path_);
  }

  void remove(std::uint32_t id) {
    Result<void> removed = open_or_raise(transaction_, "the transaction").remove(id);
    if (!removed) raise_error(removed.error(), path_);
  }

  // commit() when the block ended normally; otherwise the changes are dropped with the lock.
  void exit(const py::object& exception_type) {
    if (!transaction_) return;
    ArchiveTransaction txn = std::move(*transaction_);
    transaction_.reset();
    if (!exception_type.is_none()) return;
    Result<void> committed = [&] {
      py::gil_scoped_release unlocked;
      return txn.commit();
    }();
    if (!committed) raise_error(committed.error(), path_);
  }

 private:
  std::optional<ArchiveTransaction> transaction_;
  py::object path_;
};

PyArchiveWriter create(const py::object& path, std::uint32_t block_size,
                       const std::optional<const Archive*>& like) {
  DatHeader header;
  if (like && *like != nullptr) {
    header = (*like)->database()->header();
  } else {
    header.magic = DatHeader::kMagic;
    header.block_size = block_size;
  }
  return PyArchiveWriter(value_or_raise(ArchiveWriter::create(native_path(path), header), path),
                         path);
}

PyTransaction edit(const py::object& path) {
  Result<ArchiveTransaction> opened = [&] {
    const auto native = native_path(path);
    py::gil_scoped_release unlocked;
    return ArchiveTransaction::open(native);
  }();
  return PyTransaction(value_or_raise(std::move(opened), path), path);
}

}  // namespace

void add_writing(py::module_& module) {
  py::class_<PyArchiveWriter>(module, "ArchiveWriter",
                              "A new archive being written; finished when its with block ends.")
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](PyArchiveWriter& writer, const py::object& type, const py::object&,
                          const py::object&) { writer.exit(type); })
      .def("add", &PyArchiveWriter::add, py::arg("file_id"), py::arg("data"), py::kw_only(),
           py::arg("compress") = false, py::arg("timestamp") = 0, py::arg("version") = 0,
           "Stores `data` as file `file_id`, compressed when asked.");
  py::class_<PyTransaction>(module, "Transaction",
                            "Changes to an archive, committed when its with block ends normally.")
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](PyTransaction& txn, const py::object& type, const py::object&,
                          const py::object&) { txn.exit(type); })
      .def("put", &PyTransaction::put, py::arg("file_id"), py::arg("data"), py::kw_only(),
           py::arg("compress") = false, py::arg("timestamp") = 0, py::arg("version") = 0,
           "Adds or replaces file `file_id`.")
      .def("remove", &PyTransaction::remove, py::arg("file_id"),
           "Removes file `file_id`; NotFound when there is none.");

  module.def("create", &create, py::arg("path"), py::kw_only(), py::arg("block_size") = 1024,
             py::arg("like") = py::none(),
             "Starts a new archive at `path`, written under a temporary name and renamed into\n"
             "place when the with block ends normally. The header is copied from the open\n"
             "archive `like`, block size included, or made with the marker and `block_size`.");
  module.def("edit", &edit, py::arg("path"),
             "Opens the archive at `path` for changing, with its writer's lock. The changes are\n"
             "committed when the with block ends normally, all at once; an exception leaves the\n"
             "archive as it was.");
}

}  // namespace kelvane_dat::python
