#!/usr/bin/env bash
# The one test command: installs what is missing, configures, builds (warnings are
# errors) and runs every test. Extra arguments go to ctest, for example
#   scripts/test.sh -L unit        only the unit tests
#   scripts/test.sh -R Cfg         tests whose name matches
# BUILD_DIR (default: build) and JOBS (default: the number of cores) may be set.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMGMT_WERROR=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS"
cd "$BUILD_DIR"
ctest --output-on-failure -j "$JOBS" "$@"
