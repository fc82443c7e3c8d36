import threading
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import kelvane_dat


def test_threads_read_one_archive_at_once(sample_archive: Path) -> None:
    with kelvane_dat.open(sample_archive) as dat:
        expected = {file_id: dat.read(file_id) for file_id in dat}
        with ThreadPoolExecutor(max_workers=4) as pool:
            rounds = list(pool.map(lambda _: {i: dat.read(i) for i in dat}, range(8)))
    assert all(contents == expected for contents in rounds)


def test_close_while_threads_read(sample_archive: Path) -> None:
    dat = kelvane_dat.open(sample_archive)
    ids = list(dat)
    started = threading.Barrier(5)
    outcomes: list[str] = []

    def read_until_closed() -> None:
        started.wait()
        try:
            for _ in range(50):
                for file_id in ids:
                    dat.read(file_id)
            outcomes.append("finished")
        except ValueError:
            outcomes.append("closed")

    threads = [threading.Thread(target=read_until_closed) for _ in range(4)]
    for thread in threads:
        thread.start()
    started.wait()
    dat.close()
    for thread in threads:
        thread.join()
    assert outcomes == ["closed"] * 4
