#!/usr/bin/env bash
# Line and branch coverage of the portable libraries under the native tests (gcovr, from Debian).
#   tools/coverage.sh [build-dir]     default build/coverage; prints gcovr's summary
# The build is the native one with coverage counters instead of the sanitizers, unoptimised.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/coverage}
# gcovr is for this by-hand measure only, so the test set-up does not install it.
command -v gcovr >/dev/null || { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends gcovr; } >&2
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
  -DVASTREL_NATIVE_CHECKS=coverage >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j "$(nproc)" --output-on-failure >"$build/ctest.log" 2>&1 ||
  { tail -30 "$build/ctest.log"; echo "coverage: a test failed" >&2; exit 1; }
# Only what the portable libraries compile from src/ counts; the tests themselves do not. The
# analyser's plain-double build compiles the same files to other lines, which gcovr cannot merge:
# it is left out.
gcovr --root . --filter 'src/' --object-directory "$build" --exclude-directories '.*_scalar\.dir.*' \
  --print-summary --exclude-unreachable-branches --exclude-throw-branches --txt "$build/coverage.txt" |
  tail -3
