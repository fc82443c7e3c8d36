"""Builds the extension of the kelvane_dat package with the project's CMake build.

The version is the CMake project's, so there is one place to change it.
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version() -> str:
    cmake_lists = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\(kelvane_dat VERSION (\S+)", cmake_lists)
    if match is None:
        raise RuntimeError("no project version in CMakeLists.txt")
    return match.group(1)


class CMakeExtension(Extension):
    def __init__(self, name: str) -> None:
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        extension_dir = Path(self.get_ext_fullpath(ext.name)).parent.resolve()
        build_dir = Path(self.build_temp).resolve() / "cmake"
        build_dir.mkdir(parents=True, exist_ok=True)
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DKELVANE_BUILD_PYTHON=ON",
            "-DKELVANE_BUILD_TESTS=OFF",
            "-DKELVANE_BUILD_PROGRAMS=OFF",
            # The extension carries the library inside it, so it needs no other file to load.
            "-DBUILD_SHARED_LIBS=OFF",
            # The interpreter running pip, whichever it is (a venv's included).
            f"-DPython_EXECUTABLE={sys.executable}",
            f"-DCMAKE_LIBRARY_OUTPUT_DIRECTORY={extension_dir}",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        # More configure arguments, as other CMake-built Python packages take them
        # (CMAKE_ARGS="-DKELVANE_CCACHE=ON" compiles through ccache).
        configure += shlex.split(os.environ.get("CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(
            ["cmake", "--build", str(build_dir), "--target", "_kelvane_dat", "--parallel", jobs],
            check=True,
        )


setup(
    version=project_version(),
    ext_modules=[CMakeExtension("kelvane_dat._kelvane_dat")],
    cmdclass={"build_ext": CMakeBuild},
)
