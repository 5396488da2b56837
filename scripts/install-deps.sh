#!/usr/bin/env bash
# Installs the Debian packages the build needs, skipping those already installed.
#   scripts/install-deps.sh            core: compiler, CMake, tinyxml2, zlib, JSON, tests
#   scripts/install-deps.sh --visual   also Qt 5, VTK 9 and Xvfb for visual mode
#   scripts/install-deps.sh --plot     also matplotlib for scripts/plot.py (the system's python3)
#   scripts/install-deps.sh --python   also pybind11, NumPy, pytest and matplotlib for the Python
#                                      module, its tests and its example, pandas and tqdm for
#                                      its tables and sweeps (the system's python3), and venv, pip,
#                                      setuptools and wheel for pip install --no-build-isolation .
#   scripts/install-deps.sh --docs     also Sphinx and MyST, for the documentation site
#   scripts/install-deps.sh --all      everything the full test suite uses
set -euo pipefail

core=(g++ make cmake pkg-config git libgtest-dev libgmock-dev libbenchmark-dev libtinyxml2-dev zlib1g-dev
      nlohmann-json3-dev)
visual=(qtbase5-dev libvtk9-qt-dev libvtk9-dev libx11-dev xvfb xauth)
plot=(python3-matplotlib)
python=(pybind11-dev python3-dev python3-numpy python3-pytest python3-matplotlib python3-pandas python3-tqdm
        python3-venv python3-pip python3-setuptools python3-wheel python3-pybind11)
docs=(python3-sphinx python3-myst-parser)
extra=(valgrind clang clang-format clang-tidy libclang-rt-14-dev python3 parallel slurm-wlm munge time linux-perf ccache)

want=("${core[@]}")
for arg in "$@"; do
  case "$arg" in
    --visual) want+=("${visual[@]}") ;;
    --plot) want+=("${plot[@]}") ;;
    --python) want+=("${python[@]}") ;;
    --docs) want+=("${docs[@]}") ;;
    --all) want+=("${visual[@]}" "${plot[@]}" "${python[@]}" "${docs[@]}" "${extra[@]}") ;;
    *) echo "usage: $0 [--visual|--plot|--python|--docs|--all]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
