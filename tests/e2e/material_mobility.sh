#!/usr/bin/env bash
# End-to-end run of one shipped material: tabgen writes its table into a fresh repository,
# zot runs a low field on it, and the mobility must lie within a tolerance of the measured
# value (docs/validation.md).
#
#   material_mobility.sh ZOT TABGEN SRC MATERIAL.mat CARRIER(1|2) DOPING FIELD(kV/cm) MOBILITY TOL
set -u
zot=$1; tabgen=$2; src=$3; mat=$4; carrier=$5; doping=$6; field=$7; want=$8; tol=$9
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$tabgen" -o "$tmp" "$src/examples/materials/$mat" > "$tmp/tabgen.out" || { cat "$tmp/tabgen.out"; exit 1; }
name=$(awk '$1 == "material" { print $2 }' "$src/examples/materials/$mat")
mkdir "$tmp/run"
cp "$src/data/synerr" "$src/data/zotmer" "$src/data/zothlp" "$tmp/run/"
cd "$tmp/run"
printf '0\n%s\n300.\n%s\n%s\n' "$carrier" "$name" "$doping" > m.mat
printf '2000\n1\n1\nfield\n%s\n0.0\n0.0\n0.5\n0.5\n20\n10\n20.0\n-\n0 0\n0\n0 0\n0\n-\nNON\nNON\n' "$field" > r.run
printf 'CA\nm.mat\nr.run\nEXIT\n' | "$zot" > out 2>&1
mu=$(awk -F= '/Mobilite \[cm2\/Vs\]/ { v = $2 } END { print v + 0 }' out)
if awk -v m="$mu" -v w="$want" -v t="$tol" 'BEGIN { exit !(m > w * (1 - t) && m < w * (1 + t)) }'; then
  echo "$mat: mobility $mu cm2/Vs (measured $want)"
else
  echo "$mat: mobility $mu cm2/Vs, measured $want, tolerance $tol"; tail -30 out; exit 1
fi
