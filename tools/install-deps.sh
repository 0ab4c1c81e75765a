#!/usr/bin/env bash
# Install what the build and the tests need on a fresh Debian machine (compiler, CMake,
# Ninja, GoogleTest, Google Benchmark, and numpy for the cross-check reference).
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
# The independent reference of the cross-check tests runs on Debian's Python with numpy.
/usr/bin/python3 -c "import numpy" 2>/dev/null || need+=(python3-numpy)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get update -qq && $sudo_cmd apt-get install -y -qq "${need[@]}"
fi
