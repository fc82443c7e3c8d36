#pragma once

// kelvane_dat.Archive: an open archive as a read-only mapping of file id to FileEntry, plus the
// reads. Reads release the GIL, so Python threads read one archive at once, as the handle's
// positioned reads allow.

#include <pybind11/pybind11.h>

#include <memory>

#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::python {

class Archive {
 public:
  explicit Archive(DatDatabase database)
      : database_(std::make_shared<const DatDatabase>(std::move(database))) {}

  // The open handle. A read holds its own reference while the GIL is released, so closing the
  // archive meanwhile cannot free the handle under it; the file closes when the last read ends.
  // ValueError once closed, as for a closed Python file.
  std::shared_ptr<const DatDatabase> database() const;
  bool closed() const noexcept { return database_ == nullptr; }
  void close() noexcept { database_.reset(); }

 private:
  std::shared_ptr<const DatDatabase> database_;
};

// Adds Archive and open() to `module`.
void add_archive(pybind11::module_& module);

}  // namespace kelvane_dat::python
