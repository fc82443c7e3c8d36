"""Reading every file of the 512 MiB fetch archive from Python, against get_file from C++.

    fetch_bench.py FETCH_BASELINE [--repetitions N]

FETCH_BASELINE is the fetch_baseline program of the benchmark suite: it writes the archive (or
finds it in KELVANE_BENCH_DATA) and times its own pass with get_file. The repetitions of the two
sides alternate, in random order, each after reading the archive into the page cache, and both are
timed in CPU seconds of their own process. Prints the medians and their ratio against the goal.
"""

import argparse
import random
import statistics
import subprocess
import time

import kelvane_dat

GOAL = 0.9


def warm_page_cache(path: str) -> None:
    with open(path, "rb") as file:
        while file.read(1 << 20):
            pass


def python_pass(path: str) -> float:
    with kelvane_dat.open(path) as dat:
        ids = dat.ids()
        warm_page_cache(path)
        start = time.process_time()
        for file_id in ids:
            dat.read(file_id)
        return time.process_time() - start


def cpp_pass(baseline: str, path: str) -> float:
    result = subprocess.run([baseline, "time", path], check=True, capture_output=True, text=True)
    return float(result.stdout)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("fetch_baseline")
    parser.add_argument("--repetitions", type=int, default=5)
    options = parser.parse_args()

    described = subprocess.run([options.fetch_baseline, "archive"], check=True,
                               capture_output=True, text=True).stdout.split()
    path, files, content_bytes = described[0], int(described[1]), int(described[2])
    print(f"archive: {path}, {files} files, {content_bytes / 2**20:.0f} MiB of content")

    seconds: dict[str, list[float]] = {"python": [], "c++": []}
    sides = {"python": lambda: python_pass(path),
             "c++": lambda: cpp_pass(options.fetch_baseline, path)}
    for _ in range(options.repetitions):
        for side in random.sample(list(sides), k=len(sides)):
            seconds[side].append(sides[side]())

    rates = {side: content_bytes / statistics.median(times) / 1e9
             for side, times in seconds.items()}
    ratio = rates["python"] / rates["c++"]
    print(f"Archive.read from Python  {rates['python']:6.2f} GB/s  (median of "
          f"{options.repetitions})")
    print(f"get_file from C++         {rates['c++']:6.2f} GB/s")
    verdict = "met" if ratio >= GOAL else "missed"
    print(f"ratio {ratio:.2f}, goal >= {GOAL}: {verdict}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
