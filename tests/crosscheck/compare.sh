#!/usr/bin/env bash
# Runs one crosscheck scenario through zot and through the Python reference, and
# compares standard output (banner date masked), exit status and every file the
# two runs leave in their run directory.
#
# usage: compare.sh ZOT_BINARY SOURCE_DIR SCENARIO_DIR [PYTHON]
# A scenario folder holds `stdin` (commands and answers) and the data files of the
# run (copied into the run directory), and optionally `tables/` (its own catalogue
# and table files, copied beside the standard ones).  The catalogue and the table files of
# tests/data/tables sit one level above the run directory.
set -u
zot=$(realpath "$1"); src=$(realpath "$2"); sc=$(realpath "$3"); py=${4:-/usr/bin/python3}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for side in zot ref; do
  mkdir -p "$tmp/$side/run"
  cp "$src/tests/data/tables/replam" "$src"/tests/data/tables/*-bin "$tmp/$side/"
  # a scenario may bring its own catalogue and table files
  if [ -d "$sc/tables" ]; then cp "$sc"/tables/* "$tmp/$side/"; fi
  (cd "$sc" && find . -mindepth 1 -maxdepth 1 ! -name stdin ! -name tables -exec cp -R {} "$tmp/$side/run/" \;)
done
for side in zot ref; do cp "$src/data/synerr" "$src/data/zotmer" "$src/data/zothlp" "$tmp/$side/run/"; done
(cd "$tmp/zot/run" && "$zot" < "$sc/stdin" > "$tmp/zot.raw" 2> "$tmp/zot.err"); zs=$?
(cd "$tmp/ref/run" && "$py" "$here/zot_ref.py" < "$sc/stdin" > "$tmp/ref.out" 2> "$tmp/ref.err"); rs=$?
for side in zot ref; do rm -f "$tmp/$side/run/synerr" "$tmp/$side/run/zotmer" "$tmp/$side/run/zothlp"; done
sed -E 's/^( ZOT 3\.3 Thu Jan  1 01:00:00   )[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}  (.*)$/\1<DATE>\2/' \
  "$tmp/zot.raw" > "$tmp/zot.out"
fail=0
if [ "$zs" != "$rs" ]; then echo "exit status: zot $zs, reference $rs"; fail=1; fi
if ! cmp -s "$tmp/zot.out" "$tmp/ref.out"; then
  echo "standard output differs (< zot, > reference):"
  diff "$tmp/zot.out" "$tmp/ref.out" | head -${DIFF_LINES:-30}; fail=1
fi
# files left by either side in its run directory
for f in $( (cd "$tmp/zot/run" && find . -type f; cd "$tmp/ref/run" && find . -type f) | sort -u); do
  if [ ! -f "$tmp/zot/run/$f" ]; then echo "file $f: written by the reference only"; fail=1
  elif [ ! -f "$tmp/ref/run/$f" ]; then echo "file $f: written by zot only"; fail=1
  elif ! cmp -s "$tmp/zot/run/$f" "$tmp/ref/run/$f"; then
    echo "file $f differs:"; diff <(od -c "$tmp/zot/run/$f") <(od -c "$tmp/ref/run/$f") | head -10; fail=1
  fi
done
if [ -n "${KEEP:-}" ]; then rm -rf "$KEEP"; cp -R "$tmp" "$KEEP"; fi
if [ $fail -ne 0 ]; then echo "--- zot stderr:"; head -5 "$tmp/zot.err"; echo "--- reference stderr:"; tail -5 "$tmp/ref.err"; fi
exit $fail
