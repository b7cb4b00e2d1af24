#!/usr/bin/env bash
# Fails when a tracked C/C++ file differs from what clang-format makes of it with
# the tree's .clang-format; names the files and shows the first differences.
# The object-broker API headers (broker/include) keep their own layout and are
# not checked.
#   scripts/check-format.sh          check (CI runs this)
#   scripts/check-format.sh --fix    format those files in place
set -euo pipefail
cd "$(dirname "$0")/.."

command -v clang-format >/dev/null || { echo "check-format: clang-format is missing (scripts/setup.sh)" >&2; exit 1; }
mapfile -t files < <(git ls-files -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' ':!:broker/include/**')
[ ${#files[@]} -gt 0 ] || exit 0

if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi

report=$(mktemp)
trap 'rm -f "$report"' EXIT
if ! clang-format --dry-run -Werror "${files[@]}" 2>"$report"; then
  echo "check-format: these files are not formatted (scripts/check-format.sh --fix):" >&2
  grep -oE '^[^:]+:[0-9]+:[0-9]+: error' "$report" | cut -d: -f1 | sort -u | sed 's/^/  /' >&2
  head -n 30 "$report" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted as .clang-format says"
