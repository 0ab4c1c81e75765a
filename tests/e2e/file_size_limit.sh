#!/usr/bin/env bash
# Under a file-size limit (ulimit -f) each program reports the write that fails and ends
# with a status, instead of being killed by SIGXFSZ with its temporary file left behind;
# the files written before stay as they were.
#
#   file_size_limit.sh ZOT TABGEN CUMAVG SRC
set -u
zot=$1; tabgen=$2; cumavg=$3; src=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() {  # NAME STATUS WANTED FOLDER: the status, and no hidden temporary file left
  if [ "$2" != "$3" ]; then echo "$1: status $2, expected $3"; fail=1; fi
  if ls -A "$4" | grep -q '^\.'; then echo "$1: left $(ls -A "$4" | grep '^\.')"; fail=1; fi
}
mkdir "$tmp/repo" "$tmp/run"
"$tabgen" -o "$tmp/repo" "$src/examples/materials/gaas.mat" > /dev/null || exit 1
sum=$(cat "$tmp/repo/replam" "$tmp/repo/GAAS_E-bin" | cksum)
(ulimit -f 64; "$tabgen" -o "$tmp/repo" "$src/examples/materials/gaas.mat" > /dev/null 2> "$tmp/err")
check tabgen $? 1 "$tmp/repo"
grep -q 'File too large; nothing was replaced' "$tmp/err" || { cat "$tmp/err"; fail=1; }
[ "$(cat "$tmp/repo/replam" "$tmp/repo/GAAS_E-bin" | cksum)" = "$sum" ] || { echo "tabgen: repository changed"; fail=1; }

cd "$tmp/run"
seq 1 5000 > avirer
echo old > MoyMobilCumul.txt
(ulimit -f 16; echo 5000 | "$cumavg" > /dev/null 2> "$tmp/err")
check cumavg $? 2 .
grep -q 'File too large' "$tmp/err" && [ "$(cat MoyMobilCumul.txt)" = old ] || { cat "$tmp/err"; fail=1; }

cp "$src/data/synerr" "$src/data/zotmer" "$src/data/zothlp" .
ln -s repo/replam ../replam && ln -s repo/GAAS_E-bin ../GAAS_E-bin
printf '0\n1\n300.\nGAAS\n1e14\n' > m.mat
printf '200\n1\n1\nfield\n5.0\n0.0\n0.0\n0.5\n0.5\n2\n1\n1.0\n-\n0 0\n0\n0 0\n0\n-\nspectre.txt\nNON\n' > r.run
echo old > spectre.txt
(ulimit -f 16; printf 'CA\nm.mat\nr.run\nEXIT\n' | "$zot" > "$tmp/out" 2>&1)
check zot $? 1 .
grep -q 'I/O STATUS :           27 FICHIER : spectre.txt' "$tmp/out" && [ "$(cat spectre.txt)" = old ] \
  || { tail -5 "$tmp/out"; fail=1; }
exit $fail
