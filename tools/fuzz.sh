#!/usr/bin/env bash
# Build the fuzz targets with clang (libFuzzer + AddressSanitizer + UndefinedBehaviorSanitizer)
# in build-fuzz and run each of them, one after the other, for the given number of seconds.
# Reports executions and crashes per target; exits nonzero when a target crashed, hung,
# ran out of memory or could not be built.
#
# Usage: tools/fuzz.sh SECONDS [TARGET...]
#   Crash inputs are kept in build-fuzz/artifacts/<target>/, the growing corpus in
#   build-fuzz/corpus/<target>/ (seeded from fuzz/corpus/<target>/).
#   Replay one input: build-fuzz/fuzz/<target> <file>
set -uo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: tools/fuzz.sh SECONDS [TARGET...]" >&2
  exit 64
fi
seconds=$1; shift
all_targets=(fuzz_fields fuzz_session fuzz_datafiles fuzz_table fuzz_search fuzz_messages fuzz_cumavg fuzz_material)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

# Toolchain: clang and its runtime libraries (libFuzzer, sanitizers).
need=()
command -v clang++ >/dev/null || need+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get update -qq && $sudo_cmd apt-get install -y -qq "${need[@]}" || {
    echo "fuzz: cannot install ${need[*]}" >&2; exit 2; }
fi

build=build-fuzz
flags="-g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
if ! CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DZOT_FUZZ=ON -DBUILD_TESTING=OFF \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="$flags" > "$build.configure.log" 2>&1; then
  cat "$build.configure.log"; echo "fuzz: configure failed" >&2; exit 2
fi
rm -f "$build.configure.log"

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
work=$src/$build/tmp
mkdir -p "$work"
export TMPDIR=$work

status=0
summary=()
for t in "${targets[@]}"; do
  if ! cmake --build "$build" --target "$t" > "$build/$t.build.log" 2>&1; then
    tail -30 "$build/$t.build.log"
    summary+=("$(printf '%-16s BUILD FAILED' "$t")"); status=1; continue
  fi
  # Absolute paths: the targets work in a directory of their own.
  corpus=$src/$build/corpus/$t; art=$src/$build/artifacts/$t; logs=$src/$build/logs/$t
  mkdir -p "$corpus" "$art" "$logs"
  rm -f "$logs"/run*.log
  seeds=(); [ -d fuzz/corpus/$t ] && seeds=("$src/fuzz/corpus/$t")
  # The material descriptions are seeded from the shipped ones themselves.
  [ "$t" = fuzz_material ] && seeds=("$src/examples/materials")
  dict=(); [ -f fuzz/dict/$t.dict ] && dict=(-dict="$src/fuzz/dict/$t.dict")
  execs=0; crashes=0; hangs=0; ooms=0; round=0
  start=$(date +%s); left=$seconds
  # A crash stops libFuzzer; start it again with the time that is left (at most 5 findings).
  while [ "$left" -gt 0 ] && [ $((crashes + hangs + ooms)) -lt 5 ]; do
    round=$((round + 1)); log=$logs/run$round.log
    "$build/fuzz/$t" -max_total_time="$left" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
      -print_final_stats=1 -artifact_prefix="$art/" "${dict[@]}" "$corpus" "${seeds[@]}" \
      > "$log" 2>&1
    rc=$?
    n=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    execs=$((execs + ${n:-0}))
    if [ $rc -ne 0 ]; then
      if ! grep -q -E 'Test unit written|SUMMARY|deadly signal' "$log"; then
        echo "== $t: the fuzzer failed to run:"; tail -5 "$log"; status=1; break
      elif grep -q 'ERROR: libFuzzer: timeout' "$log"; then hangs=$((hangs + 1))
      elif grep -q 'out-of-memory' "$log"; then ooms=$((ooms + 1))
      else crashes=$((crashes + 1)); fi
      echo "== $t: finding in $log"; grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -5
    fi
    left=$((seconds - ($(date +%s) - start)))
    rm -rf "$work"/zotfuzz-*
  done
  cov=$(grep -o 'cov: [0-9]*' "$logs/run$round.log" | tail -1 | grep -o '[0-9]*')
  summary+=("$(printf '%-16s %10d executions  %d crashes  %d hangs  %d out-of-memory  cov %s  corpus %d' \
    "$t" "$execs" "$crashes" "$hangs" "$ooms" "${cov:-?}" "$(ls "$corpus" | wc -l)")")
  [ $((crashes + hangs + ooms)) -gt 0 ] && status=1
done

echo "== fuzz summary ($seconds s per target)"
printf '%s\n' "${summary[@]}"
exit $status
