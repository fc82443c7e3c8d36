#pragma once

// Everything the library offers, for programs that would rather include one header.

#include "kelvane_dat/block_chain.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "kelvane_dat/debug_format.hpp"
#include "kelvane_dat/decompress.hpp"
#include "kelvane_dat/endian.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/export.hpp"
#include "kelvane_dat/file_descriptor.hpp"
#include "kelvane_dat/file_type/dat_kind.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "kelvane_dat/io_error.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "kelvane_dat/packed_int.hpp"
#include "kelvane_dat/read_error.hpp"
#include "kelvane_dat/version.hpp"
