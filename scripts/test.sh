#!/usr/bin/env bash
# The one test command: installs what is missing, configures, builds (warnings are
# errors) and runs every test. Extra arguments go to ctest, for example
#   scripts/test.sh -L unit        only the unit tests
#   scripts/test.sh -R Cfg         tests whose name matches
# BUILD_DIR (default: build) and JOBS (default: the number of cores) may be set;
# SANITIZE=1 builds with the address and undefined-behaviour sanitizers (and
# without the benchmarks), for example
#   SANITIZE=1 BUILD_DIR=build-asan scripts/test.sh -L unit
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}

options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMGMT_WERROR=ON)
if [ "${SANITIZE:-0}" = 1 ]; then
  options+=(-DMGMT_SANITIZE=ON -DMGMT_BUILD_BENCH=OFF)
  # A leak or undefined behaviour fails the test instead of scrolling past.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fi
# Configure's output is kept in the build folder: shown whole when it fails,
# and its warnings (e.g. a benchmark left out) shown always.
mkdir -p "$BUILD_DIR"
configure_log="$BUILD_DIR/configure.log"
if ! cmake -S . -B "$BUILD_DIR" "${options[@]}" >"$configure_log" 2>&1; then
  cat "$configure_log" >&2
  echo "test.sh: configure failed (output kept in $configure_log)" >&2
  exit 1
fi
grep -A4 "^CMake Warning" "$configure_log" >&2 || true
cmake --build "$BUILD_DIR" -j "$JOBS"
cd "$BUILD_DIR"
ctest --output-on-failure -j "$JOBS" "$@"
