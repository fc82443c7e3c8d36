import os
import subprocess
import sys
from pathlib import Path

import pytest

PYTHON_DIR = Path(__file__).resolve().parent.parent
README = PYTHON_DIR.parents[2] / "README.md"


def run(arguments: list[str], cwd: Path) -> subprocess.CompletedProcess[str]:
    environment = dict(os.environ, MYPYPATH=str(PYTHON_DIR))
    return subprocess.run([sys.executable, *arguments], cwd=cwd, env=environment, text=True,
                          capture_output=True)


@pytest.fixture
def readme_example(tmp_path: Path, sample_archive: Path) -> Path:
    """The README's Python example, beside the archive it names."""
    code = README.read_text(encoding="utf-8").split("```python\n", 1)[1].split("```", 1)[0]
    (tmp_path / "local_English.dat").symlink_to(sample_archive)
    example = tmp_path / "readme_example.py"
    example.write_text(code, encoding="utf-8")
    return example


@pytest.mark.parametrize("checker", [[], ["-m", "mypy", "--strict"]], ids=["runs", "mypy"])
def test_readme_example(readme_example: Path, checker: list[str]) -> None:
    result = run([*checker, str(readme_example)], cwd=readme_example.parent)
    assert result.returncode == 0, result.stdout + result.stderr


def test_stubs_match_the_module(tmp_path: Path) -> None:
    allowlist = PYTHON_DIR / "tests" / "stubtest_allowlist.txt"
    result = run(["-m", "mypy.stubtest", "--allowlist", str(allowlist), "kelvane_dat"], tmp_path)
    assert result.returncode == 0, result.stdout
