#include "archive.hpp"

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "errors.hpp"
#include "records.hpp"

namespace py = pybind11;

namespace kelvane_dat::python {

namespace {

// The file id a mapping key names: an int from 0 to 2**32 - 1. Any other key names no file, as a
// key of the wrong type is simply absent from a dict.
std::optional<std::uint32_t> file_id_of(py::handle key) {
  py::detail::make_caster<std::uint32_t> id;
  if (!id.load(key, /*convert=*/false)) return std::nullopt;
  return static_cast<std::uint32_t>(id);
}

const DatFileEntry* find_entry(const DatDatabase& database, py::handle key) {
  const std::optional<std::uint32_t> id = file_id_of(key);
  return id ? database.find(*id) : nullptr;
}

FileEntry entry_of(const DatDatabase& database, const DatFileEntry& entry) {
  return FileEntry{entry, database.file_type(entry.id)};
}

std::optional<DatFileType> type_named(const std::optional<std::string>& name) {
  if (!name) return std::nullopt;
  const std::optional<DatFileType> type = file_type_from_name(*name);
  if (!type)
    throw py::value_error("unknown file type " + py::repr(py::str(*name)).cast<std::string>());
  return type;
}

Archive open_archive(const py::object& path, bool mapped) {
  // os.fspath raises the TypeError Python's own functions raise for a path of the wrong type.
  const auto native_path =
      py::module_::import("os").attr("fspath")(path).cast<std::filesystem::path>();
  Result<DatDatabase> database = [&] {
    py::gil_scoped_release unlocked;
    return DatDatabase::open(native_path, OpenOptions{.mapped = mapped});
  }();
  return Archive(value_or_raise(std::move(database), path));
}

const DatFileEntry& entry_or_raise(const DatDatabase& database, std::uint32_t id) {
  const DatFileEntry* entry = database.find(id);
  if (entry == nullptr) raise_error(DatError::not_found(id));
  return *entry;
}

// The writable, contiguous buffer an object exports, released when this ends.
class WritableBuffer {
 public:
  explicit WritableBuffer(const py::handle& object) {
    if (PyObject_GetBuffer(object.ptr(), &buffer_, PyBUF_WRITABLE | PyBUF_C_CONTIGUOUS) != 0) {
      throw py::error_already_set();
    }
  }
  WritableBuffer(const WritableBuffer&) = delete;
  WritableBuffer& operator=(const WritableBuffer&) = delete;
  ~WritableBuffer() { PyBuffer_Release(&buffer_); }

  std::span<std::uint8_t> bytes() const {
    return {static_cast<std::uint8_t*>(buffer_.buf), static_cast<std::size_t>(buffer_.len)};
  }

 private:
  Py_buffer buffer_{};
};

// Fills `room` with the file's bytes without the GIL; the count, or the error raised.
std::size_t fill(const DatDatabase& database, std::uint32_t id, std::span<std::uint8_t> room) {
  Result<std::size_t> filled = [&] {
    py::gil_scoped_release unlocked;
    return database.get_file_to(id, room);
  }();
  return value_or_raise(std::move(filled));
}

std::vector<std::uint8_t> fetch(const DatDatabase& database, std::uint32_t id, bool strict) {
  Result<std::vector<std::uint8_t>> data = [&] {
    py::gil_scoped_release unlocked;
    return strict ? database.get_file_checked(id) : database.get_file(id);
  }();
  return value_or_raise(std::move(data));
}

py::bytes read_file(const Archive& archive, std::uint32_t id, bool strict) {
  const std::shared_ptr<const DatDatabase> database = archive.database();
  const DatFileEntry& entry = entry_or_raise(*database, id);
  if (entry.is_compressed()) {
    // An expansion's length is known only once it is made: it is copied into the bytes.
    const std::vector<std::uint8_t> bytes = fetch(*database, id, strict);
    return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  // A stored file's length is in the directory: the bytes object is made at that length and filled
  // in place, before anything else can see it.
  auto bytes = py::reinterpret_steal<py::bytes>(PyBytes_FromStringAndSize(nullptr, entry.size));
  if (!bytes) throw py::error_already_set();
  fill(*database, id,
       {reinterpret_cast<std::uint8_t*>(PyBytes_AS_STRING(bytes.ptr())), std::size_t{entry.size}});
  return bytes;
}

std::size_t read_into(const Archive& archive, std::uint32_t id, const py::object& buffer) {
  const std::shared_ptr<const DatDatabase> database = archive.database();
  const DatFileEntry& entry = entry_or_raise(*database, id);
  if (PyByteArray_Check(buffer.ptr())) {
    // A bytearray takes the file's length, as a vector does in get_file_into.
    if (entry.is_compressed()) {
      const std::vector<std::uint8_t> bytes = fetch(*database, id, false);
      if (PyByteArray_Resize(buffer.ptr(), static_cast<Py_ssize_t>(bytes.size())) != 0) {
        throw py::error_already_set();
      }
      std::copy(bytes.begin(), bytes.end(), PyByteArray_AS_STRING(buffer.ptr()));
      return bytes.size();
    }
    if (PyByteArray_Resize(buffer.ptr(), static_cast<Py_ssize_t>(entry.size)) != 0) {
      throw py::error_already_set();
    }
  }
  // Exported for the whole read, so no other thread can resize it meanwhile.
  const WritableBuffer writable(buffer);
  return fill(*database, id, writable.bytes());
}

// What the memoryviews of one view keep alive: the handle, whose mapping the slices lie in once
// the archive is closed, and the view, which holds the bytes it copied.
struct ViewedFile {
  std::shared_ptr<const DatDatabase> database;
  FileView view;
};

// One slice of a view, exported read-only through the buffer protocol.
struct ViewSlice {
  std::shared_ptr<const ViewedFile> file;
  FileView::Slice bytes;
};

py::list view_file(const Archive& archive, std::uint32_t id) {
  std::shared_ptr<const DatDatabase> database = archive.database();
  Result<FileView> view = [&] {
    py::gil_scoped_release unlocked;
    return database->view_file(id);
  }();
  const auto file = std::make_shared<const ViewedFile>(
      ViewedFile{std::move(database), value_or_raise(std::move(view))});
  py::list slices;
  for (const FileView::Slice slice : file->view) {
    slices.append(py::memoryview(py::cast(ViewSlice{file, slice})));
  }
  return slices;
}

PyStringTable read_string_table(const Archive& archive, std::uint32_t id) {
  const std::shared_ptr<const DatDatabase> database = archive.database();
  Result<StringTable> table = [&] {
    py::gil_scoped_release unlocked;
    return database->string_table(id);
  }();
  return to_python(value_or_raise(std::move(table)));
}

FileEntry get_entry(const Archive& archive, const py::handle& key) {
  const auto database = archive.database();
  const std::optional<std::uint32_t> id = file_id_of(key);
  if (id) {
    if (const DatFileEntry* entry = database->find(*id)) return entry_of(*database, *entry);
    raise_error(DatError::not_found(*id));
  }
  PyErr_SetObject(PyExc_KeyError, key.ptr());
  throw py::error_already_set();
}

}  // namespace

std::shared_ptr<const DatDatabase> Archive::database() const {
  if (!database_) throw py::value_error("I/O operation on closed archive");
  return database_;
}

void add_archive(py::module_& module) {
  py::class_<ViewSlice>(module, "_ViewSlice", py::buffer_protocol())
      .def_buffer([](const ViewSlice& slice) {
        return py::buffer_info(slice.bytes.data(), static_cast<py::ssize_t>(slice.bytes.size()));
      });
  const py::module_ abc = py::module_::import("collections.abc");
  py::class_<Archive>(module, "Archive",
                      "An open archive: a read-only mapping of file id to FileEntry.")
      .def_property_readonly("kind",
                             [](const Archive& archive) {
                               return std::string(to_string(archive.database()->dat_kind()));
                             })
      .def_property_readonly("closed", &Archive::closed)
      .def("close", &Archive::close)
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](Archive& archive, const py::args&) { archive.close(); })
      .def("__len__", [](const Archive& archive) { return archive.database()->files().size(); })
      .def("__contains__",
           [](const Archive& archive, const py::handle& key) {
             return find_entry(*archive.database(), key) != nullptr;
           })
      .def("__getitem__", &get_entry)
      .def(
          "get",
          [](const Archive& archive, const py::handle& key, const py::object& fallback) {
            const auto database = archive.database();
            const DatFileEntry* entry = find_entry(*database, key);
            return entry != nullptr ? py::cast(entry_of(*database, *entry)) : fallback;
          },
          py::arg("key"), py::arg("default") = py::none())
      .def("__iter__",
           [](const Archive& archive) { return py::iter(py::cast(archive.database()->ids())); })
      .def("keys", [abc](py::object self) { return abc.attr("KeysView")(self); })
      .def("values", [abc](py::object self) { return abc.attr("ValuesView")(self); })
      .def("items", [abc](py::object self) { return abc.attr("ItemsView")(self); })
      .def(
          "ids",
          [](const Archive& archive, const std::optional<std::string>& type) {
            return archive.database()->ids(type_named(type));
          },
          py::kw_only(), py::arg("type") = py::none(),
          "File ids in ascending order, all of them or those of one type (its name).")
      .def("read", &read_file, py::arg("file_id"), py::kw_only(), py::arg("strict") = true,
           "The file's bytes, expanded when it is stored compressed. Strict, a compressed payload\n"
           "that expands to fewer bytes than it declares raises DatError; with strict=False the\n"
           "bytes expanded before the damage are returned, as the format has it.")
      .def("read_into", &read_into, py::arg("file_id"), py::arg("buffer"),
           "Writes the file's bytes to the start of a writable buffer and returns their count;\n"
           "a bytearray is first resized to the file's length. DatError when the buffer is too\n"
           "short. To reuse one buffer for files of varied sizes, pass a memoryview of it.")
      .def("view", &view_file, py::arg("file_id"),
           "The file's bytes as read-only memoryviews, one per slice: on a mapped archive a file\n"
           "stored uncompressed is viewed where it lies, one slice per block, without a copy;\n"
           "otherwise one slice holds its bytes. The views keep the archive's mapping alive.")
      .def("string_table", &read_string_table, py::arg("file_id"),
           "The string table stored as the file, decoded.")
      .def("__repr__", [](const Archive& archive) -> std::string {
        if (archive.closed()) return "<kelvane_dat.Archive (closed)>";
        const auto database = archive.database();
        return "<kelvane_dat.Archive " + std::string(to_string(database->dat_kind())) + ", " +
               std::to_string(database->files().size()) + " files>";
      });

  module.def("open", &open_archive, py::arg("path"), py::kw_only(), py::arg("mapped") = false,
             "Opens the archive at `path` (str or os.PathLike) and reads its directory. With\n"
             "mapped=True the file is mapped read-only and read from memory: the same bytes and\n"
             "errors, but a truncation of the file by another process while it is open ends the\n"
             "process with SIGBUS.");
}

}  // namespace kelvane_dat::python
