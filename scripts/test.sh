#!/usr/bin/env bash
# Builds everything in the dev preset (debug, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs the whole test suite; non-zero when
# anything fails. Extra arguments go to ctest (e.g. -R SerialPosix).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset dev
cmake --build --preset dev
ctest --preset dev --parallel "$(nproc)" --timeout 300 "$@"
