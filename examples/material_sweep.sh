#!/usr/bin/env bash
# Velocity-field table of one material description: tabgen writes its table into a
# scratch repository, zot runs one stationary simulation per field (two at a time), and a
# table of field, drift velocity, mobility, mean energy and valley occupation is printed.
#
#   bash examples/material_sweep.sh MATERIAL.mat "FIELDS (kV/cm)" [particles]
#
# The carrier, temperature and doping come from the description; the field is along x.
# The build folder is build/ unless ZOT_BUILD_DIR names another.
set -euo pipefail
mat=${1:?usage: material_sweep.sh MATERIAL.mat \"FIELDS\" [particles]}
fields=${2:?usage: material_sweep.sh MATERIAL.mat \"FIELDS\" [particles]}
npart=${3:-10000}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZOT_BUILD_DIR:-$top/build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/tabgen" -o "$tmp" "$mat" > /dev/null
field_of() { awk -v k="$1" '$1 == k { print $2; exit }' "$mat"; }
name=$(field_of material); temp=$(field_of temperature); doping=$(field_of doping)
carrier=1; [ "$(field_of carrier)" = holes ] && carrier=2
for f in $fields; do
  d="$tmp/f$f"; mkdir "$d"
  cp "$top/data/synerr" "$top/data/zotmer" "$top/data/zothlp" "$d/"
  printf '0\n%s\n%s\n%s\n%s\n' "$carrier" "$temp" "$name" "$doping" > "$d/m.mat"
  printf '%s\n1\n1\nfield\n%s\n0.0\n0.0\n0.5\n0.5\n20\n10\n20.0\n-\n0 0\n0\n0 0\n0\n-\nNON\nNON\n' \
    "$npart" "$f" > "$d/r.run"
done
printf '%s\n' $fields | xargs -P 2 -I{} sh -c "cd '$tmp/f{}' && printf 'CA\nm.mat\nr.run\nEXIT\n' | '$build/zot' > out 2>&1 || true"
echo "$mat: $name, $npart particles"
printf '%10s %12s %10s %10s  %s\n' "E (kV/cm)" "v (cm/s)" "mu" "<E> (eV)" "valleys (%)"
for f in $fields; do
  awk -v f="$f" '
    /3\) Moyennes finales/ { p = 1 }
    p && /Vitesses moyennes/ { split($0, a, "="); split(a[2], v, " "); vx = v[1] }
    p && /Mobilite/ { split($0, a, "="); mu = a[2] + 0 }
    p && /Energie cinetique moyenne/ { split($0, a, "="); en = a[2] + 0 }
    p && /Repartition par vallees/ { sub(/.*:/, ""); val = $0 }
    END { if (p) printf "%10s %12.3e %10.0f %10.4f %s\n", f, vx < 0 ? -vx : vx, mu, en, val
          else printf "%10s  (run failed)\n", f }' "$tmp/f$f/out"
done
