import os
import subprocess
from pathlib import Path

import pytest


@pytest.fixture(scope="session")
def sample_archive(tmp_path_factory: pytest.TempPathFactory) -> Path:
    """The check program's sample archive, written by the test support's generator."""
    tool = os.environ.get("KELVANE_SAMPLE_TOOL")
    if not tool:
        pytest.fail("KELVANE_SAMPLE_TOOL must name make_sample_archive (CTest sets it)")
    path = tmp_path_factory.mktemp("archives") / "local_English.dat"
    subprocess.run([tool, str(path)], check=True, stdout=subprocess.DEVNULL)
    return path
