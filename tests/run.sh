#!/usr/bin/env bash
# Build everything and run the whole test suite (unit and end-to-end tests, then the study tool's).
# Usage: bash tests/run.sh [build-dir] [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
# The layout of every C++ source against .clang-format (tools/format-check.sh --fix applies it).
bash tools/format-check.sh
build=${1:-build}; shift || true
cmake -S . -B "$build" -G Ninja "$@" > /dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600
# The study tool (pytest; its Slurm test starts a local cluster, ZOT_STUDY_NO_SLURM=1 skips it).
ZOT_BUILD_DIR=$(cd "$build" && pwd) PYTHONDONTWRITEBYTECODE=1 \
  /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/study
