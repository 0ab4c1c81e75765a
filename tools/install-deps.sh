#!/usr/bin/env bash
# Install what the build and the tests need on a fresh Debian machine (compiler, CMake,
# Ninja, GoogleTest, Google Benchmark, numpy for the cross-check reference, pytest and matplotlib
# for the study tool, and Slurm with munge for the study tool's cluster test).
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
command -v clang-format >/dev/null || need+=(clang-format)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
# The independent reference of the cross-check tests runs on Debian's Python with numpy.
/usr/bin/python3 -c "import numpy" 2>/dev/null || need+=(python3-numpy)
/usr/bin/python3 -c "import pytest" 2>/dev/null || need+=(python3-pytest)
/usr/bin/python3 -c "import matplotlib" 2>/dev/null || need+=(python3-matplotlib)
command -v slurmctld >/dev/null || need+=(slurm-wlm)
command -v munged >/dev/null || need+=(munge)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get update -qq && $sudo_cmd apt-get install -y -qq "${need[@]}"
fi
