#!/usr/bin/env python3
"""test_pip_install.py NKSWARM: pip install --no-build-isolation --no-index . from a copy of the
source tree into a fresh venv (--system-site-packages) builds the module, which imports from
outside the tree, runs examples/basic.cfg to the program's output, carries the program's release
number, and leaves again with pip uninstall. The copy gains nothing outside build/.
Exits 77 (skipped) when this interpreter lacks venv, pip, setuptools or wheel.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
ROOT = Path(__file__).resolve().parents[3]
SKIP = 77

# Runs in the venv's interpreter, in a folder outside the tree.
PROBE = """
import importlib.metadata, json, sys
import nkswarm
r = nkswarm.run(sys.argv[1], stats=False)
json.dump({"package": nkswarm.__file__, "core": nkswarm._core.__file__, "version": nkswarm.__version__,
           "dist": importlib.metadata.version("nkswarm"), "report": r.report}, sys.stdout)
"""


def tree_files():
    """The tree as git sees it (tracked, or new and not ignored): never a build folder."""
    try:
        out = subprocess.run(["git", "-C", str(ROOT), "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                             capture_output=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError):  # not a checkout
        return [p.relative_to(ROOT) for p in ROOT.rglob("*")
                if not p.is_dir() and not p.relative_to(ROOT).parts[0].startswith(("build", ".git"))]
    return [Path(p) for p in out.decode().split("\0") if p and (ROOT / p).exists()]


def copy_tree(dest):
    for rel in tree_files():
        (dest / rel).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(ROOT / rel, dest / rel, follow_symlinks=False)


def outside_build(tree):
    return sorted(str(p.relative_to(tree)) for p in tree.rglob("*") if p.relative_to(tree).parts[0] != "build")


def run(cmd, **kw):
    r = subprocess.run([str(c) for c in cmd], capture_output=True, text=True, **kw)
    if r.returncode:
        sys.exit(f"failed ({r.returncode}): {' '.join(map(str, cmd))}\n{r.stdout}{r.stderr}")
    return r.stdout


def main():
    program = Path(sys.argv[1]).resolve()
    try:
        import ensurepip  # noqa: F401  (Debian: python3-venv)
    except ImportError:
        print("skipped: no venv for", sys.executable, "(scripts/install-deps.sh --python)")
        return SKIP
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME", "PIP_USER")}
    with tempfile.TemporaryDirectory(prefix="nkswarm-pip-") as tmp:
        tmp = Path(tmp)
        venv, src, elsewhere = tmp / "venv", tmp / "src", tmp / "elsewhere"
        elsewhere.mkdir()
        run([sys.executable, "-m", "venv", "--system-site-packages", venv])
        python = venv / "bin" / "python"
        missing = subprocess.run([python, "-c", "import setuptools, wheel, pip"], capture_output=True, text=True, env=env)
        if missing.returncode:
            print("skipped: the venv lacks a build tool:", missing.stderr.strip().splitlines()[-1])
            return SKIP

        copy_tree(src)
        before = outside_build(src)
        # The copy's path changes every time: ccache sees paths below it as relative, and hits.
        env.setdefault("CCACHE_BASEDIR", str(src))
        env.setdefault("CMAKE_BUILD_PARALLEL_LEVEL", "2")  # the test's PROCESSORS in CTest
        run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--no-cache-dir",
             "--disable-pip-version-check", "."], cwd=src, env=env)
        after = outside_build(src)
        assert after == before, f"pip wrote outside build/: {sorted(set(after) - set(before))}"

        got = json.loads(run([python, "-c", PROBE, ROOT / "examples" / "basic.cfg"], cwd=elsewhere, env=env))
        site = Path(run([python, "-c", "import sysconfig; print(sysconfig.get_path('platlib'))"], env=env).strip())
        for key in ("package", "core"):
            assert Path(got[key]).resolve().is_relative_to(site.resolve()), f"{key} imported from {got[key]}, not {site}"
        expected = run([program, "basic.cfg"], cwd=ROOT / "examples")
        assert got["report"] == expected, f"module printed {got['report']!r}, the program {expected!r}"
        release = run([program, "--version"]).split()[-1].split("+")[0]
        assert got["dist"] == release and got["version"].split("+")[0] == release, \
            f"versions: package {got['dist']}, module {got['version']}, program {release}"

        run([python, "-m", "pip", "uninstall", "-y", "--disable-pip-version-check", "nkswarm"], env=env)
        gone = subprocess.run([python, "-c", "import nkswarm"], cwd=elsewhere, capture_output=True, env=env)
        assert gone.returncode, "nkswarm still imports after pip uninstall"
        assert not (site / "nkswarm").exists(), f"pip uninstall left {site / 'nkswarm'}"
    print("pip install: module built, imported from the venv and equal to the program on basic.cfg")
    return 0


if __name__ == "__main__":
    sys.exit(main())
