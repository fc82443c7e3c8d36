#pragma once

/// \file
/// Everything a program needs to read and write archives, for programs that would rather include
/// one header: the archive handle and its records, the writers, the errors, file types and string
/// tables, the record readers, the layout check and the version.

#include "kelvane_dat/archive_transaction.hpp"
#include "kelvane_dat/archive_writer.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/compress.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "kelvane_dat/decompress.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/file_type/dat_kind.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "kelvane_dat/file_view.hpp"
#include "kelvane_dat/io_error.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "kelvane_dat/packed_int.hpp"
#include "kelvane_dat/read_error.hpp"
#include "kelvane_dat/version.hpp"

/// \namespace kelvane_dat
/// The library: the archive handle DatDatabase and its records, the errors (DatError, Result),
/// file types, string tables and the record readers.
