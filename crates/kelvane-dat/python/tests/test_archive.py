import struct
from collections.abc import Mapping
from pathlib import Path

import pytest

import kelvane_dat

KNOWN_TABLE = 0x2300000A
KNOWN_ENTRIES = {0x014152D5: "Left Alt", 0x04CD833C: "Left Ctrl"}


def encoded_known_table() -> bytes:
    """The known table's bytes as the generator lays them out: the format written out by hand."""
    data = struct.pack("<IIBB", KNOWN_TABLE, 1, 0, len(KNOWN_ENTRIES))
    for key, text in KNOWN_ENTRIES.items():
        data += struct.pack("<IIIB", key, 0, 1, len(text)) + text.encode("utf-16-le")
        data += struct.pack("<IB", 0, 0)
    return data


def test_mapping_of_the_directory(sample_archive: Path) -> None:
    with kelvane_dat.open(sample_archive) as dat:
        assert isinstance(dat, Mapping)
        assert dat.kind == "Local"
        assert len(dat) == 417 == len(dat.keys()) == len(list(dat.items()))
        assert list(dat) == sorted(dat) == dat.ids()
        entry = dat[KNOWN_TABLE]
        assert (entry.id, entry.type, entry.offset, entry.size, entry.compressed) == (
            KNOWN_TABLE, "StringTable", 0x400, 61, True)
        assert (entry.timestamp, entry.version, entry.bit_flags) == (0x5F000000, 1, 1)
        assert dat.get(KNOWN_TABLE) is not None and dat.get(5, "none") == "none"


@pytest.mark.parametrize("key", ["0x2300000A", -1, 2**32, float(KNOWN_TABLE), None])
def test_keys_that_are_not_file_ids_are_absent(sample_archive: Path, key: object) -> None:
    with kelvane_dat.open(str(sample_archive)) as dat:
        assert key not in dat
        assert dat.get(key) is None  # type: ignore[arg-type]
        with pytest.raises(KeyError):
            dat[key]  # type: ignore[index]


@pytest.mark.parametrize(
    "type_name, count",
    [(None, 417), ("StringTable", 321), ("texture", 40), ("Audio", 12), ("Model", 0)],
)
def test_ids_of_one_type(sample_archive: Path, type_name: str | None, count: int) -> None:
    with kelvane_dat.open(sample_archive) as dat:
        ids = dat.ids(type=type_name)
        assert len(ids) == count and ids == sorted(ids)
        assert all(type_name is None or dat[i].type.lower() == type_name.lower() for i in ids)


def test_unknown_type_name(sample_archive: Path) -> None:
    with kelvane_dat.open(sample_archive) as dat, pytest.raises(ValueError, match="'Nope'"):
        dat.ids(type="Nope")


@pytest.mark.parametrize("mapped", [False, True])
def test_read_expands_compressed_and_returns_stored_as_is(sample_archive: Path, mapped: bool) -> None:
    with kelvane_dat.open(sample_archive, mapped=mapped) as dat:
        assert dat.read(KNOWN_TABLE) == encoded_known_table()
        stored = [entry for entry in dat.values() if not entry.compressed]
        assert stored and all(len(dat.read(entry.id)) == entry.size for entry in stored)


def test_string_table(sample_archive: Path) -> None:
    with kelvane_dat.open(sample_archive) as dat:
        table = dat.string_table(KNOWN_TABLE)
        assert (table.id, table.language) == (KNOWN_TABLE, 1)
        assert {key: entry.texts for key, entry in table.entries.items()} == {
            key: [text] for key, text in KNOWN_ENTRIES.items()}
        assert all(e.data_id == 0 and e.variables == [] for e in table.entries.values())
        for file_id in dat.ids(type="StringTable"):
            table = dat.string_table(file_id)
            assert table.id == file_id and list(table.entries) == sorted(table.entries)
