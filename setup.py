"""Builds the package nkswarm with CMake, for pip install --no-build-isolation . (pyproject.toml).

The module is configured and built from the same sources as any CMake build, with the options
below, and CMake's own install rule (component "python") puts the package into the wheel, so
that both ways install the same files. setuptools' folders and the CMake build stay in
build/pip, beside a CMake build in build/, whose names they would otherwise share.
    CMAKE_ARGS                  more -D options, after ours (a later -D wins)
    CMAKE_BUILD_PARALLEL_LEVEL  compile jobs (default: every processor)
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
WORK = ROOT / "build" / "pip"


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(\s*nkswarm\s+VERSION\s+([0-9][0-9.]*)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        if self.inplace or getattr(self, "editable_mode", False):
            # The module would land in the source tree; a CMake build's build/python serves instead.
            sys.exit("nkswarm: no editable install; use PYTHONPATH=build/python after a CMake build")
        extra = shlex.split(os.environ.get("CMAKE_ARGS", ""))
        lib = Path(self.build_lib).resolve()
        build = Path(self.build_temp).resolve() / "cmake"
        args = [
            "-DCMAKE_BUILD_TYPE=Release",
            "-DNK_PYTHON=ON",
            "-DNK_VISUAL=OFF",
            "-DNK_BUILD_TESTS=OFF",
            "-DNK_BUILD_BENCH=OFF",
            # The interpreter pip runs: a venv's python finds the system's NumPy through
            # --system-site-packages, and the module gets this interpreter's suffix.
            "-DNK_PYTHON_EXECUTABLE=" + sys.executable,
            "-DNK_PYTHON_INSTALL_DIR=" + str(lib),
        ]
        try:
            import pybind11

            args.append("-Dpybind11_DIR=" + pybind11.get_cmake_dir())
        except ImportError:
            pass  # pybind11-dev's CMake files are found without it
        if shutil.which("ccache") and not any("CMAKE_CXX_COMPILER_LAUNCHER" in a for a in extra):
            args += ["-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), *args, *extra], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "nkswarm_python", "-j", jobs], check=True)
        # Only the package's own files into the wheel's folder, never into DESTDIR.
        env = {k: v for k, v in os.environ.items() if k != "DESTDIR"}
        subprocess.run(["cmake", "--install", str(build), "--component", "python"], check=True, env=env)
        built = Path(self.get_ext_fullpath(ext.name)).resolve()
        if not built.exists():
            sys.exit(f"nkswarm: CMake installed no {built.name} into {built.parent}"
                     " (an interpreter other than the one pip runs?)")


WORK.mkdir(parents=True, exist_ok=True)  # egg_info wants its folder to exist
setup(
    version=project_version(),
    # The package's files come from CMake's install rule, not from setuptools' own search.
    packages=[],
    ext_modules=[Extension("nkswarm._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": str(WORK)}, "egg_info": {"egg_base": str(WORK)}},
    zip_safe=False,
)
