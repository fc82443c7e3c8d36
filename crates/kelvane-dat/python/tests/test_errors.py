import contextlib
import errno
import random
from pathlib import Path
from typing import Callable

import pytest

import kelvane_dat

MISSING = 0x0600FFFE


@pytest.mark.parametrize(
    "lookup",
    [lambda dat: dat[MISSING], lambda dat: dat.read(MISSING), lambda dat: dat.string_table(MISSING)],
    ids=["getitem", "read", "string_table"],
)
def test_missing_id_is_not_found(
    sample_archive: Path, lookup: Callable[[kelvane_dat.Archive], object]
) -> None:
    with kelvane_dat.open(sample_archive) as dat, pytest.raises(kelvane_dat.NotFound) as raised:
        lookup(dat)
    assert isinstance(raised.value, KeyError) and isinstance(raised.value, kelvane_dat.DatError)
    assert str(raised.value) == "File ID 0600FFFE not found in provider"


def test_open_failure_is_the_oserror_of_its_errno(tmp_path: Path) -> None:
    missing = tmp_path / "absent.dat"
    with pytest.raises(FileNotFoundError) as raised:
        kelvane_dat.open(missing)
    assert raised.value.errno == errno.ENOENT and raised.value.filename == missing
    with pytest.raises(TypeError):
        kelvane_dat.open(None)  # type: ignore[arg-type]


@pytest.mark.parametrize(
    "damage, message",
    [
        (lambda image: b"", "While parsing field 'magic' in DatHeader"),
        (lambda image: image[:0x150], "While parsing field 'subset' in DatHeader"),
        (lambda image: image[: len(image) // 2], "IO error: failed to fill whole buffer"),
        (
            lambda image: image[:0x144] + bytes(4) + image[0x148:],
            "Corruption detected: block at offset 0x00173000 points to 0x00173400 but block size 0"
            " leaves no room for payload",
        ),
    ],
    ids=["empty", "short-header", "half", "block-size-0"],
)
def test_damaged_archive_raises_dat_error(
    sample_archive: Path, tmp_path: Path, damage: Callable[[bytes], bytes], message: str
) -> None:
    path = tmp_path / "damaged.dat"
    path.write_bytes(damage(sample_archive.read_bytes()))
    with pytest.raises(kelvane_dat.DatError) as raised:
        with kelvane_dat.open(path) as dat:
            for file_id in dat:
                dat.read(file_id)
    assert message in str(raised.value)


def test_read_refuses_a_short_expansion_unless_not_strict(sample_archive: Path, tmp_path: Path) -> None:
    with kelvane_dat.open(sample_archive) as dat:
        file_id, entry = next((i, e) for i, e in dat.items() if e.compressed)
    # The payload's declared size follows the first block's 4-byte pointer.
    image = bytearray(sample_archive.read_bytes())
    declared = int.from_bytes(image[entry.offset + 4 : entry.offset + 8], "little") + 1000
    image[entry.offset + 4 : entry.offset + 8] = declared.to_bytes(4, "little")
    path = tmp_path / "short.dat"
    path.write_bytes(image)
    with kelvane_dat.open(path) as dat:
        yielded = len(dat.read(file_id, strict=False))
        assert yielded < declared
        with pytest.raises(kelvane_dat.DatError) as raised:
            dat.read(file_id)
    assert str(raised.value) == (
        f"Corruption detected: file {file_id:08X}: the compressed payload yields {yielded} of the"
        f" {declared} bytes it declares"
    )


@pytest.mark.parametrize("seed", range(8))
def test_scrambled_archive_reads_or_raises(sample_archive: Path, tmp_path: Path, seed: int) -> None:
    image = bytearray(sample_archive.read_bytes())
    scramble = random.Random(seed)
    for _ in range(200):
        image[scramble.randrange(0x140, len(image))] = scramble.randrange(256)
    path = tmp_path / "scrambled.dat"
    path.write_bytes(image)
    with contextlib.suppress(kelvane_dat.DatError), kelvane_dat.open(path) as dat:
        for file_id in dat.ids(type="StringTable"):
            with contextlib.suppress(kelvane_dat.DatError):
                dat.string_table(file_id)


def test_closed_archive_refuses_every_use(sample_archive: Path) -> None:
    dat = kelvane_dat.open(sample_archive)
    dat.close()
    assert dat.closed
    for use in (len, list, lambda d: d.kind, lambda d: d.read(1), lambda d: 1 in d):
        with pytest.raises(ValueError, match="closed archive"):
            use(dat)
