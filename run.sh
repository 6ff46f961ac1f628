#!/usr/bin/env bash
# Builds the program and starts it under Wine with the stand-in decoder beside it (as vastrel.exe in
# the working directory build/run). Without a display it runs in Xvfb and takes a screenshot.
set -euo pipefail
cd "$(dirname "$0")"
tools/testbed.sh install
cmake --preset win >/dev/null
cmake --build --preset win --target vastrel-gui vastrel-sim

run=build/run
mkdir -p "$run"
cp build/win/bin/vastrel-gui.exe "$run/"
# The stand-in decoder keeps the real decoder's contract; it is a demo copy, never shipped.
cp build/win/bin/vastrel-sim.exe "$run/vastrel.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
  cd "$run"
  exec wine vastrel-gui.exe
fi

echo "run.sh: no display; starting the program in Xvfb for a screenshot"
eval "$(tools/testbed.sh start)"
trap 'tools/testbed.sh stop >/dev/null 2>&1' EXIT
version=$(sed -n 's/^project(vastrel_gui VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
(cd "$run" && ../../tools/screenshot.sh ../screenshot.png "Corvane VASTREL GUI v$version" ./vastrel-gui.exe)
echo "run.sh: screenshot written to build/screenshot.png"
