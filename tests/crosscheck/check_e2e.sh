#!/usr/bin/env bash
# Runs the Python reference on the end-to-end cases that consist of runs (names starting
# with run_, input_, acc_input_ or tabgen_) and compares its output with their expected
# standard output, status and files.  Usage: check_e2e.sh SOURCE_DIR [PYTHON]
set -u
src=$(realpath "$1"); py=${2:-/usr/bin/python3}
fail=0
for c in "$src"/tests/e2e/cases/{run_,input_,acc_input_,tabgen_}*; do
  [ -f "$c/stdin" ] || continue
  n=$(basename "$c"); tmp=$(mktemp -d); mkdir -p "$tmp/run"
  [ -d "$c/setup" ] && cp -R "$c/setup/." "$tmp/"
  [ -e "$c/no_data_files" ] || cp "$src/data/synerr" "$src/data/zotmer" "$src/data/zothlp" "$tmp/run/"
  (cd "$tmp/run" && "$py" "$src/tests/crosscheck/zot_ref.py" < "$c/stdin" > "$tmp/out" 2> "$tmp/err"); st=$?
  want=0; [ -f "$c/expected_status" ] && want=$(tr -d ' \n' < "$c/expected_status")
  bad=""
  [ "$st" = "$want" ] || bad="$bad status($st/$want)"
  [ -f "$c/expected_stdout" ] && ! cmp -s "$tmp/out" "$c/expected_stdout" && bad="$bad stdout"
  if [ -d "$c/expected" ]; then
    for f in $(cd "$c/expected" && find . -type f); do cmp -s "$c/expected/$f" "$tmp/$f" || bad="$bad $f"; done
  fi
  if [ -n "$bad" ]; then echo "$n differs:$bad"; fail=1; else echo "$n agrees"; fi
  rm -rf "$tmp"
done
exit $fail
