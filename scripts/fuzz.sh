#!/usr/bin/env bash
# Builds every libFuzzer program of the tree with clang (BUILD_DIR, default
# build-fuzz) and runs each one for SECONDS (default 60) on a copy of its seed
# corpus, one after the other:
#   scripts/fuzz.sh [SECONDS]
# Fails when one finds a crash, a leak, undefined behaviour or a time-out; the
# input that did it is kept in BUILD_DIR/fuzz-artifacts and the run's output in
# BUILD_DIR/fuzz-NAME.log. New modules register their fuzzers with
# mgmt_add_fuzzer (cmake/MgmtTargets.cmake) and need nothing here.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
BUILD_DIR=${BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-$(nproc)}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2; }

scripts/setup.sh

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
mkdir -p "$BUILD_DIR"
configure_log="$BUILD_DIR/configure.log"
if ! cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DMGMT_FUZZ=ON -DMGMT_BUILD_BENCH=OFF >"$configure_log" 2>&1; then
  cat "$configure_log" >&2
  echo "fuzz.sh: configure failed (output kept in $configure_log)" >&2
  exit 1
fi
cmake --build "$BUILD_DIR" -j "$JOBS" --target mgmt_fuzzers

artifacts="$BUILD_DIR/fuzz-artifacts"
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
while IFS='=' read -r name program corpus; do
  [ -n "$name" ] || continue
  # New inputs go to a copy: the seed corpus in the source tree stays as it is.
  mkdir -p "$work/$name"
  cp -r "$corpus/." "$work/$name/"
  log="$BUILD_DIR/fuzz-$name.log"
  echo "fuzz.sh: $name for ${seconds}s"
  if "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$work/$name" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$log" | sed 's/^/  /' || true
  else
    echo "fuzz.sh: $name failed; the end of $log:" >&2
    tail -n 40 "$log" >&2
    failed=1
  fi
done <"$BUILD_DIR/fuzzers.list"
exit $failed
