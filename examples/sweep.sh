#!/usr/bin/env bash
# Velocity-field sweep of one shipped material: one zot run per field, all cores in use,
# then a CSV of drift velocity, mean energy and valley occupation and a PNG of the
# velocity-field curve beside the measured reference.
#
#   bash examples/sweep.sh [gaas|si|inp] [particles]      (default: gaas 10000)
#
# Results go to examples/<material>/sw/: one report per field (<field>.out),
# sweep.csv and sweep.png. The build folder is build/ unless ZOT_BUILD_DIR names another.
set -euo pipefail
mat=${1:-gaas}
npart=${2:-10000}
top=$(cd "$(dirname "$0")/.." && pwd)
case $mat in
  gaas) fields="0.5 1 2 3 3.5 4 4.5 5 6 7 8 10 15 20 30 50"; axis=x; nvinit=1 ;;
  si)   fields="0.5 1 2 3 5 7 10 15 20 30 50"; axis=111; nvinit=3 ;;
  inp)  fields="0.5 1 2 4 6 8 10 12 15 20 30 50"; axis=x; nvinit=1 ;;
  *) echo "usage: bash examples/sweep.sh [gaas|si|inp] [particles]" >&2; exit 2 ;;
esac
case $npart in ''|*[!0-9]*) echo "particles: a whole number from 1 to 50000" >&2; exit 2 ;; esac

cd "$top"
bash tools/install-deps.sh
build=${ZOT_BUILD_DIR:-build}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja > /dev/null
cmake --build "$build" --target zot > /dev/null
zot=$(cd "$build" && pwd)/zot
# Debian's own interpreter, which python3-matplotlib serves.
py=/usr/bin/python3
[ -x "$py" ] || py=python3
if ! "$py" -c 'import matplotlib' 2> /dev/null; then
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get update -qq && $sudo_cmd apt-get install -y -qq python3-matplotlib > /dev/null
fi

cd "examples/$mat"
rm -rf sw
mkdir sw
for f in $fields; do
  if [ "$axis" = 111 ]; then
    c=$(awk -v f="$f" 'BEGIN { printf "%.6f", f / sqrt(3) }'); ex=$c; ey=$c; ez=$c
  else
    ex=$f; ey=0; ez=0
  fi
  # Run data file: 20 records (see docs/materials.md).
  printf '%s\n%s\n1\nfield (kV/cm)\n%s\n%s\n%s\n0.5\n0.5\n20\n10\n20.0\n-\n0 0\n0\n0 0\n0\n-\nNON\nNON\n' \
    "$npart" "$nvinit" "$ex" "$ey" "$ez" > "sw/$f.run"
done
echo "$mat: ${npart} particles, fields (kV/cm): $fields"
printf '%s\n' $fields | xargs -P "$(nproc)" -I{} sh -c \
  "printf 'CA\n$mat.mat\nsw/{}.run\nEXIT\n' | '$zot' > 'sw/{}.out' 2>&1 || true"
"$py" "$top/examples/sweep_plot.py" "$mat" sw
