#!/usr/bin/env bash
# The velocity-overshoot example runs as the docs say: zot on examples/gaas/ovrshoot.run
# (GaAs, 20 kV/cm switched on at t = 0, steps of 0.01 ps over 3 ps) writes one line per
# step, the velocity peaks at a few 1e7 cm/s within a few tenths of a ps and falls back
# to the steady state, and the plot script draws the file.
# usage: test_overshoot.sh ZOT SOURCE_DIR
set -u
zot=$(realpath "$1"); src=$(realpath "$2")
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/examples/gaas"
cp "$src/examples/replam" "$src/examples/GAAS_E-bin" "$tmp/examples/"
cp "$src/examples/gaas/gaas.mat" "$src/examples/gaas/ovrshoot.run" "$tmp/examples/gaas/"
cp "$src/data/synerr" "$src/data/zotmer" "$src/data/zothlp" "$tmp/examples/gaas/"
cd "$tmp/examples/gaas"
printf 'CA\ngaas.mat\novrshoot.run\nEXIT\n' | "$zot" > out 2> err
st=$?
fail=0
[ $st -eq 0 ] || { echo "zot ended with status $st"; cat err; fail=1; }
awk 'NR == 1 { if ($1 != "temps(ps)") bad = "header " $0; next }
     NF != 5 { bad = "line " NR " has " NF " fields"; next }
     { n++; if ($5 > vmax) { vmax = $5; tmax = $1 }; tlast = $1; vlast = $5 }
     END {
       if (bad != "") { print bad; exit 1 }
       if (n < 290 || tlast < 2.9 || tlast > 3.1) { print n " steps, last at " tlast " ps"; exit 1 }
       if (vmax < 2e7 || vmax > 1e8 || tmax < 0.1 || tmax > 0.6) { print "peak " vmax " cm/s at " tmax " ps"; exit 1 }
       if (vlast > vmax / 3) { print "no relaxation: " vlast " cm/s at the end"; exit 1 }
     }' ovrshoot.dyn || fail=1
if /usr/bin/python3 -c "import matplotlib" 2> /dev/null; then
  /usr/bin/python3 "$src/examples/plot_dynamic.py" ovrshoot.dyn ovrshoot.png > /dev/null || fail=1
  [ -s ovrshoot.png ] || { echo "no PNG written"; fail=1; }
fi
exit $fail
