#!/usr/bin/env bash
# Takes the README pictures in the test bed: the spectrum with a carrier at 1500 Hz, the decoder log with
# the stand-in decoder's stream, the messages pane, and the message browser filled by a stand-in run.
# Writes docs/*.png.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
caption="Corvane VASTREL GUI v$(sed -n 's/^project(vastrel_gui VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
cmake --build --preset win --target readme-shots vastrel-sim
eval "$(tools/testbed.sh start)"
trap '"$here/tools/testbed.sh" stop >/dev/null 2>&1' EXIT
work=build/shots
mkdir -p "$work"
cp build/win/bin/readme-shots.exe "$work/"
cp build/win/bin/vastrel-sim.exe "$work/vastrel.exe"
cd "$work"
../../tools/play_carrier.sh 1500 40 &
tone=$!
VASTREL_SHOT_DELAY=6 ../../tools/screenshot.sh ../../docs/screenshot.png "$caption" ./readme-shots.exe spectrum
pkill -P $tone 2>/dev/null || true
kill $tone 2>/dev/null || true
VASTREL_SHOT_DELAY=25 ../../tools/screenshot.sh ../../docs/decoder-log.png "$caption" ./readme-shots.exe decoder
VASTREL_SHOT_DELAY=3 ../../tools/screenshot.sh ../../docs/messages-pane.png "$caption" ./readme-shots.exe messages
# The browser: a fresh store filled by the stand-in decoder's scripted run (the script's path as Windows
# sees it; the front end hands its environment on to the decoder).
rm -f vastrel-messages.db vastrel-messages.db-wal vastrel-messages.db-shm
VASTREL_SIM_SCRIPT=$(winepath -w "$here/tools/readme_shots/browser_run.txt" 2>/dev/null) \
  VASTREL_SHOT_DELAY=12 ../../tools/screenshot.sh ../../docs/message-browser.png "$caption" ./readme-shots.exe browser
pkill -f "vastrel.exe" 2>/dev/null || true   # a stand-in decoder left by the killed front end
