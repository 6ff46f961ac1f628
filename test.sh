#!/usr/bin/env bash
# Builds both presets and runs every test: the native (sanitised) suite, then the Windows suite under
# Wine. Installs what is missing on a Debian machine first.
set -uo pipefail
cd "$(dirname "$0")"
tools/testbed.sh install || exit 1
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset native >/dev/null || exit 1
cmake --build --preset native -j "$jobs" || exit 1
cmake --preset win >/dev/null || exit 1
cmake --build --preset win -j "$jobs" || exit 1

eval "$(tools/testbed.sh start)" || exit 1
trap 'tools/testbed.sh stop >/dev/null 2>&1' EXIT

ctest --preset native -j "$jobs"
native=$?
ctest --preset win -j "$jobs"
windows=$?
[ $native -eq 0 ] && [ $windows -eq 0 ]
