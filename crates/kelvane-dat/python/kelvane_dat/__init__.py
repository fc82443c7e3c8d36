"""Reads and writes the block-structured data archives of the Kelvane game client.

A thin layer over the C++ library kelvane_dat: the reading, the checks and the error texts are the
library's own.
"""

from collections.abc import Mapping

from ._kelvane_dat import (
    Archive,
    ArchiveWriter,
    DatError,
    FileEntry,
    NotFound,
    StringTable,
    Transaction,
    create,
    edit,
    open,
)

__all__ = [
    "Archive",
    "ArchiveWriter",
    "DatError",
    "FileEntry",
    "NotFound",
    "StringTable",
    "Transaction",
    "create",
    "edit",
    "open",
]

# The extension type cannot inherit the mapping mixins; registering makes isinstance(archive,
# Mapping) true, and Archive defines every Mapping method itself.
Mapping.register(Archive)
