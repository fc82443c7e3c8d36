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


def largest_stored(dat: kelvane_dat.Archive) -> kelvane_dat.FileEntry:
    return max((entry for entry in dat.values() if not entry.compressed), key=lambda e: e.size)


@pytest.mark.parametrize("mapped", [False, True])
def test_read_into_fills_a_callers_buffer(sample_archive: Path, mapped: bool) -> None:
    with kelvane_dat.open(sample_archive, mapped=mapped) as dat:
        stored = largest_stored(dat)
        for file_id in (KNOWN_TABLE, stored.id):
            expected = dat.read(file_id)
            grown = bytearray(b"old")
            assert dat.read_into(file_id, grown) == len(expected) and grown == expected
            roomy = bytearray(len(expected) + 5)
            assert dat.read_into(file_id, memoryview(roomy)) == len(expected)
            assert roomy[:len(expected)] == expected and roomy[len(expected):] == bytes(5)
            with pytest.raises(kelvane_dat.DatError, match="cannot hold the"):
                dat.read_into(file_id, memoryview(bytearray(len(expected) - 1)))
        with pytest.raises(BufferError):
            dat.read_into(stored.id, b"read-only")  # type: ignore[arg-type]
        with pytest.raises(kelvane_dat.NotFound):
            dat.read_into(0x0600FFFE, bytearray())


@pytest.mark.parametrize("mapped", [False, True])
def test_view_slices_a_mapped_file_in_place(sample_archive: Path, mapped: bool) -> None:
    dat = kelvane_dat.open(sample_archive, mapped=mapped)
    stored = largest_stored(dat)
    views = dat.view(stored.id)
    expanded = dat.view(KNOWN_TABLE)
    expected = dat.read(stored.id)
    assert all(view.readonly for view in views)
    # In place, one slice per block; otherwise one slice holding the bytes.
    assert (len(views) > 1) == mapped and len(expanded) == 1
    assert b"".join(views) == expected and bytes(expanded[0]) == dat.read(KNOWN_TABLE)
    # The views keep the mapping alive after the archive is closed and gone.
    dat.close()
    del dat
    assert b"".join(views) == expected
    with pytest.raises(TypeError):
        views[0][0] = 0  # type: ignore[index]
