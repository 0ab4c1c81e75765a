#!/usr/bin/env bash
# Builds zot when needed, then runs GaAs electrons at 300 K under 5 kV/cm from the example
# repository (examples/gaas: 10,000 particles, 10 ps of averaging) and shows the report.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash tools/install-deps.sh
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja > /dev/null
cmake --build build --target zot tabgen > /dev/null
cd examples/gaas
printf 'CA\ngaas.mat\ngaas.run\nEXIT\n' | "$top/build/zot"
echo
