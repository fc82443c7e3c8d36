from pathlib import Path

import pytest

import kelvane_dat


def make(path: Path) -> None:
    with kelvane_dat.create(path, block_size=256) as new:
        new.add(1, b"plain bytes " * 40)
        new.add(2, b"abc" * 500, compress=True, timestamp=7, version=3)


def test_created_archive_reads_back(tmp_path: Path) -> None:
    path = tmp_path / "new.dat"
    make(path)
    with kelvane_dat.open(path) as dat:
        assert sorted(dat) == [1, 2]
        assert dat.read(1) == b"plain bytes " * 40
        assert dat.read(2) == b"abc" * 500
        entry = dat[2]
        assert (entry.compressed, entry.timestamp, entry.version) == (True, 7, 3)
        assert entry.size < 1500


def test_create_left_by_an_exception_writes_nothing(tmp_path: Path) -> None:
    path = tmp_path / "new.dat"
    with pytest.raises(RuntimeError):
        with kelvane_dat.create(path) as new:
            new.add(1, b"x")
            raise RuntimeError("stop")
    assert list(tmp_path.iterdir()) == []


def test_edit_commits_puts_and_removes(tmp_path: Path) -> None:
    path = tmp_path / "a.dat"
    make(path)
    with kelvane_dat.edit(path) as txn:
        txn.put(3, b"new", compress=True)
        txn.put(1, b"replaced")
        txn.remove(2)
        with pytest.raises(kelvane_dat.NotFound):
            txn.remove(99)
    with kelvane_dat.open(path) as dat:
        assert {file_id: dat.read(file_id) for file_id in dat} == {1: b"replaced", 3: b"new"}


def test_edit_left_by_an_exception_changes_nothing(tmp_path: Path) -> None:
    path = tmp_path / "a.dat"
    make(path)
    before = path.read_bytes()
    with pytest.raises(RuntimeError):
        with kelvane_dat.edit(path) as txn:
            txn.put(3, b"new")
            raise RuntimeError("stop")
    assert path.read_bytes() == before


def test_second_editor_is_refused(tmp_path: Path) -> None:
    path = tmp_path / "a.dat"
    make(path)
    with kelvane_dat.edit(path):
        with pytest.raises(kelvane_dat.DatError, match="archive is locked by another writer"):
            kelvane_dat.edit(path)
