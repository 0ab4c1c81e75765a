#!/usr/bin/env bash
# Runs one end-to-end case against the real binaries.
#
# A case folder holds:
#   stdin             the commands and answers typed by the user
#   args              optional: the command-line arguments (one line, split at blanks)
#   program           optional: "cumavg" to run cumavg instead of zot
#   setup/            copied into a fresh temporary folder T; the program runs in T/run,
#                     so the catalogue and table files sit one level up (T/replam, T/NAME-bin)
#   no_data_files     optional: do not copy the message and help files into T/run
#   prepare           optional: a bash script run in T before the program (e.g. to make a FIFO)
#   expected_stdout   standard output, byte for byte (the banner date written as <DATE>)
#   expected_status   optional: the exit status (default 0)
#   stdout_to         optional: "full" runs the program with standard output on /dev/full,
#                     "closed" with standard output closed (no standard output is compared)
#   expected_stderr   optional: standard error, byte for byte
#   expected/         files compared byte for byte against T (e.g. expected/run/bruit)
#   absent            optional: paths relative to T that must not exist afterwards
set -u
zot=$1; cumavg=$2; src=$3; case_dir=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/run"
if [ -d "$case_dir/setup" ]; then cp -R "$case_dir/setup/." "$tmp/"; fi
if [ ! -e "$case_dir/no_data_files" ]; then
  cp "$src/data/synerr" "$src/data/zotmer" "$src/data/zothlp" "$tmp/run/"
fi
if [ -f "$case_dir/prepare" ] && ! (cd "$tmp" && bash "$case_dir/prepare"); then
  echo "prepare failed"; exit 1
fi
prog=$zot
if [ -f "$case_dir/program" ] && [ "$(cat "$case_dir/program")" = cumavg ]; then prog=$cumavg; fi

args=()
if [ -f "$case_dir/args" ]; then read -r -a args < "$case_dir/args"; fi
stdout_to=file
[ -f "$case_dir/stdout_to" ] && stdout_to=$(tr -d ' \n' < "$case_dir/stdout_to")
run_prog() { (cd "$tmp/run" && "$prog" ${args[@]+"${args[@]}"} < "$case_dir/stdin" 2> "$tmp/stderr"); }
case $stdout_to in
  full) run_prog > /dev/full; status=$?; : > "$tmp/stdout.raw" ;;
  closed) run_prog >&-; status=$?; : > "$tmp/stdout.raw" ;;
  *) run_prog > "$tmp/stdout.raw"; status=$? ;;
esac

# Mask the banner date, checking its shape.
sed -E 's/^( ZOT 3\.3 Thu Jan  1 01:00:00   )[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}  $/\1<DATE>/' \
  "$tmp/stdout.raw" > "$tmp/stdout"

fail=0
want_status=0
[ -f "$case_dir/expected_status" ] && want_status=$(tr -d ' \n' < "$case_dir/expected_status")
if [ "$status" != "$want_status" ]; then
  echo "exit status $status, expected $want_status"; fail=1
fi
if [ -f "$case_dir/expected_stdout" ] && ! cmp -s "$tmp/stdout" "$case_dir/expected_stdout"; then
  echo "standard output differs:"; diff "$case_dir/expected_stdout" "$tmp/stdout" | head -40; fail=1
fi
if [ -f "$case_dir/expected_stderr" ] && ! cmp -s "$tmp/stderr" "$case_dir/expected_stderr"; then
  echo "standard error differs:"; diff "$case_dir/expected_stderr" "$tmp/stderr" | head -20; fail=1
fi
if [ -d "$case_dir/expected" ]; then
  while IFS= read -r -d '' f; do
    rel=${f#"$case_dir/expected/"}
    if [ ! -f "$tmp/$rel" ]; then echo "missing file $rel"; fail=1
    elif ! cmp -s "$f" "$tmp/$rel"; then echo "file $rel differs"; diff "$f" "$tmp/$rel" | head -20; fail=1; fi
  done < <(find "$case_dir/expected" -type f -print0)
fi
if [ -f "$case_dir/absent" ]; then
  while IFS= read -r rel; do
    [ -z "$rel" ] && continue
    if [ -e "$tmp/$rel" ]; then echo "file $rel should not exist"; fail=1; fi
  done < "$case_dir/absent"
fi
if [ $fail -ne 0 ]; then echo "--- stderr:"; head -20 "$tmp/stderr"; fi
exit $fail
