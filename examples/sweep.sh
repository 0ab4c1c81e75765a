#!/usr/bin/env bash
# Velocity-field curve of one shipped material at 300 K, with the study tool (docs/studies.md):
# writes a study file, runs it on every core, then plots it beside the measured reference.
# These are the runs of docs/validation.md, on the full shipped tables (no table ladder).
#
#   bash examples/sweep.sh [gaas|si|inp] [particles]      (default: gaas 10000)
#
# Results in examples/<material>/sw/ (sw-<particles>/ for another count): study.toml, results.csv, results.json, plot.png, plot.svg
# and one run directory per field under runs/. A rerun resumes: the fields already done are
# kept. The build folder is build/ unless ZOT_BUILD_DIR names another.
set -euo pipefail
mat=${1:-gaas}
npart=${2:-10000}
case $mat in
  gaas) fields="0.5, 1, 2, 3, 3.5, 4, 4.5, 5, 6, 7, 8, 10, 15, 20, 30, 50"; dir="<100>" ;;
  si)   fields="0.5, 1, 2, 3, 5, 7, 10, 15, 20, 30, 50"; dir="<111>" ;;
  inp)  fields="0.5, 1, 2, 4, 6, 8, 10, 12, 15, 20, 30, 50"; dir="<100>" ;;
  *) echo "usage: bash examples/sweep.sh [gaas|si|inp] [particles]" >&2; exit 2 ;;
esac
case $npart in ''|*[!0-9]*) echo "particles: a whole number from 1 to 50000" >&2; exit 2 ;; esac
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=${ZOT_BUILD_DIR:-build}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja > /dev/null
cmake --build "$build" --target zot tabgen > /dev/null
out=examples/$mat/sw
[ "$npart" = 10000 ] || out=examples/$mat/sw-$npart
mkdir -p "$out"
# ladder_eV = []: every run on the shipped table's own top, as the runs of docs/validation.md.
cat > "$out/study.toml" <<TOML
ladder_eV = []

[run]
particles = $npart

[[series]]
material = "$mat"
temperature_K = 300
field_kV_cm = [$fields]
direction = "$dir"
TOML
export ZOT_BUILD_DIR=$build
status=0
/usr/bin/python3 study/zot-study run "$out/study.toml" --out "$out" || status=$?
/usr/bin/python3 study/zot-study plot "$out" || status=1
exit $status
