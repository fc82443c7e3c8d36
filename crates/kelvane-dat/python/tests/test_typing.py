import os
import subprocess
import sys
from pathlib import Path

PYTHON_DIR = Path(__file__).resolve().parent.parent
EXAMPLE = PYTHON_DIR / "examples" / "readme_example.py"


def run(*arguments: str) -> subprocess.CompletedProcess[str]:
    environment = dict(os.environ, MYPYPATH=str(PYTHON_DIR))
    return subprocess.run([sys.executable, *arguments], env=environment, text=True,
                          capture_output=True)


def test_readme_example_runs(sample_archive: Path) -> None:
    result = run(str(EXAMPLE), str(sample_archive))
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        "Local 417 True",
        "StringTable 62 True",
        "0x014152D5 ['Left Alt'] 0 []",
        "0x04CD833C ['Left Ctrl'] 0 []",
        "321 string tables; 80 bytes in 0x2300000A",
    ]


def test_readme_example_passes_mypy_strict() -> None:
    result = run("-m", "mypy", "--strict", str(EXAMPLE))
    assert result.returncode == 0, result.stdout


def test_stubs_match_the_module() -> None:
    allowlist = PYTHON_DIR / "tests" / "stubtest_allowlist.txt"
    result = run("-m", "mypy.stubtest", "--allowlist", str(allowlist), "kelvane_dat")
    assert result.returncode == 0, result.stdout
