#!/usr/bin/env bash
# Layout check of the C++ sources against .clang-format.
# Usage: tools/format-check.sh [--fix] [FILE...]
#   Without --fix: lists every file whose layout differs, with the number of lines that
#   would change, and exits 1 if there is any (0 when all match).
#   With --fix: rewrites those files in place.
#   Without FILE: every .cpp, .hpp and .ipp file git tracks.
set -euo pipefail
cd "$(dirname "$0")/.."

fix=0
if [ "${1:-}" = "--fix" ]; then fix=1; shift; fi
if ! command -v clang-format >/dev/null; then
  echo "format-check: clang-format not found (install the clang-format package)" >&2
  exit 2
fi
if [ $# -gt 0 ]; then files=("$@"); else mapfile -t files < <(git ls-files '*.cpp' '*.hpp' '*.ipp'); fi

differ=0
lines=0
for f in "${files[@]}"; do
  if [ $fix -eq 1 ]; then
    clang-format --style=file -i "$f"
    continue
  fi
  n=$(clang-format --style=file "$f" | diff "$f" - | grep -c '^<' || true)
  if [ "$n" -gt 0 ]; then
    echo "$f: $n lines"
    differ=$((differ + 1))
    lines=$((lines + n))
  fi
done
if [ $fix -eq 0 ] && [ $differ -gt 0 ]; then
  echo "format-check: $differ files differ from .clang-format ($lines lines); tools/format-check.sh --fix applies it" >&2
  exit 1
fi
exit 0
