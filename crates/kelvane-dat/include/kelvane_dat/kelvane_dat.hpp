#pragma once

/// \file
/// Everything a program needs to read archives, for programs that would rather include one header:
/// the archive handle and its records, the errors, file types and string tables, the record readers
/// and the version. Helpers the library uses internally (endian loads, the chain walk and its
/// reader view, the file layer, text helpers) have headers of their own and are not included here.

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "kelvane_dat/decompress.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/file_type/dat_kind.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "kelvane_dat/io_error.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "kelvane_dat/packed_int.hpp"
#include "kelvane_dat/read_error.hpp"
#include "kelvane_dat/version.hpp"

/// \namespace kelvane_dat
/// The library: the archive handle DatDatabase and its records, the errors (DatError, Result),
/// file types, string tables and the record readers.
