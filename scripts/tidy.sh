#!/usr/bin/env bash
# clang-tidy with the tree's .clang-tidy over the compile database of a build:
#   scripts/tidy.sh            every C/C++ source of the build
#   scripts/tidy.sh REV        the sources changed since REV (a changed header
#                              brings in the sources of its folder)
# BUILD_DIR (default: build, configured here when it has no compile database)
# and JOBS (default: the number of cores) may be set. Prints each finding once
# (the whole output is kept in BUILD_DIR/tidy.log) and exits 1 when there are
# any. The whole tree takes a while (about 15 s a file per core); CI checks only
# what a change touched.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}
command -v clang-tidy >/dev/null || { echo "tidy.sh: clang-tidy is missing (scripts/setup.sh)" >&2; exit 1; }

if [ ! -f "$BUILD_DIR/compile_commands.json" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$BUILD_DIR.configure.log" 2>&1 ||
    { cat "$BUILD_DIR.configure.log" >&2; exit 1; }
fi
# Every source the build compiles, relative to the tree.
mapfile -t all < <(python3 - "$BUILD_DIR/compile_commands.json" "$PWD" <<'PY'
import json, os, sys
root = sys.argv[2]
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.relpath(os.path.join(entry["directory"], entry["file"]), root)
    if not path.startswith("..") and path not in seen:
        seen.add(path)
        print(path)
PY
)

if [ $# -ge 1 ]; then
  # A changed source, or any source in the folder of a changed header (one
  # lookup per source: the tree has hundreds of both).
  declare -A changedFile=() headerDir=()
  while IFS= read -r c; do
    changedFile[$c]=1
    [[ $c == *.h || $c == *.hpp ]] && headerDir[${c%/*}]=1
  done < <(git diff --name-only --diff-filter=d "$1" -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
  files=()
  for f in "${all[@]}"; do
    if [ -n "${changedFile[$f]:-}" ] || [ -n "${headerDir[${f%/*}]:-}" ]; then
      files+=("$f")
    fi
  done
else
  files=("${all[@]}")
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "tidy.sh: no source to check"
  exit 0
fi

log="$BUILD_DIR/tidy.log"
echo "tidy.sh: ${#files[@]} files, $JOBS at a time"
printf '%s\n' "${files[@]}" |
  xargs -P "$JOBS" -n 1 clang-tidy -p "$BUILD_DIR" --quiet >"$log" 2>/dev/null || true
# A finding in a header is reported by every source that includes it: once here.
findings=$(grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error): ' "$log" | sort -u || true)
if [ -n "$findings" ]; then
  echo "$findings"
  echo "tidy.sh: $(echo "$findings" | wc -l) findings (details in $log)" >&2
  exit 1
fi
echo "tidy.sh: no findings"
