#!/usr/bin/env bash
# The one test command: installs what is missing, configures, builds (warnings are
# errors) and runs every test. Extra arguments go to ctest, for example
#   scripts/test.sh -L unit        only the unit tests
#   scripts/test.sh -R Cfg         tests whose name matches
# BUILD_DIR (default: build), JOBS (default: the number of cores) and TARGET
# (default: all) may be set; SANITIZE=1 builds with the address and
# undefined-behaviour sanitizers and, unless TARGET says otherwise, only the test
# programs labelled "unit"; SANITIZE=thread with ThreadSanitizer and only those
# labelled "threaded" (both without the benchmarks):
#   SANITIZE=1 BUILD_DIR=build-asan scripts/test.sh -L unit
#   SANITIZE=thread BUILD_DIR=build-tsan scripts/test.sh -L threaded
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}

TARGET=${TARGET:-}

options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMGMT_WERROR=ON)
if command -v ccache >/dev/null; then
  options+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
case "${SANITIZE:-0}" in
  0) ;;
  1)
    options+=(-DMGMT_SANITIZE=ON -DMGMT_BUILD_BENCH=OFF)
    # CI runs only the unit tests this way: build just those (and what they start).
    [ -z "$TARGET" ] && TARGET=mgmt_unit_tests
    # A leak or undefined behaviour fails the test instead of scrolling past.
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
    ;;
  thread)
    options+=(-DMGMT_SANITIZE=thread -DMGMT_BUILD_BENCH=OFF)
    [ -z "$TARGET" ] && TARGET=mgmt_threaded_tests
    export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
    ;;
  *) echo "test.sh: SANITIZE is 1 or thread" >&2; exit 2 ;;
esac
TARGET=${TARGET:-all}
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
cmake --build "$BUILD_DIR" -j "$JOBS" --target "$TARGET"
cd "$BUILD_DIR"
ctest --output-on-failure -j "$JOBS" "$@"
