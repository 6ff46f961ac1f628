#!/usr/bin/env bash
# Takes the README pictures in the test bed: the spectrum with a carrier at 1500 Hz, the decoder log with
# the stand-in decoder's stream, the messages pane, the spectrum with the pointer readout over the
# carrier, the message browser filled by a stand-in run, and the Reception pane. Writes docs/*.png.
#   tools/readme_shots.sh [stage...]   stages: spectrum decoder messages readout browser board map alert reception
#                                      (default: all)
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
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(spectrum decoder messages readout browser board map alert reception)
# A carrier at 1500 Hz in the sound card while `shot` takes a picture of a spectrum stage.
with_carrier() {
  ../../tools/play_carrier.sh 1500 40 &
  local tone=$!
  "$@"
  pkill -P $tone 2>/dev/null || true
  kill $tone 2>/dev/null || true
  wait $tone 2>/dev/null || true
}
for stage in "${stages[@]}"; do
  case $stage in
    spectrum)
      with_carrier env VASTREL_SHOT_DELAY=6 ../../tools/screenshot.sh ../../docs/screenshot.png "$caption" \
        ./readme-shots.exe spectrum ;;
    decoder)
      VASTREL_SHOT_DELAY=25 ../../tools/screenshot.sh ../../docs/decoder-log.png "$caption" ./readme-shots.exe decoder
      pkill -f "vastrel.exe" 2>/dev/null || true ;;  # a stand-in decoder left by the killed front end
    messages)
      VASTREL_SHOT_DELAY=3 ../../tools/screenshot.sh ../../docs/messages-pane.png "$caption" ./readme-shots.exe messages ;;
    readout)
      # The stage puts the pointer on the carrier 4 s in; the tooltip is a window of its own, so the
      # picture is the window's rectangle of the screen.
      with_carrier env VASTREL_SHOT_DELAY=7 VASTREL_SHOT_SCREEN=1 ../../tools/screenshot.sh \
        ../../docs/spectrum-readout.png "$caption" ./readme-shots.exe readout ;;
    browser)
      # A fresh store filled by the stand-in decoder's scripted run (the script's path as Windows sees
      # it; the front end hands its environment on to the decoder).
      rm -f vastrel-messages.db vastrel-messages.db-wal vastrel-messages.db-shm
      VASTREL_SIM_SCRIPT=$(winepath -w "$here/tools/readme_shots/browser_run.txt" 2>/dev/null) \
        VASTREL_SHOT_DELAY=12 ../../tools/screenshot.sh ../../docs/message-browser.png "$caption" ./readme-shots.exe browser
      pkill -f "vastrel.exe" 2>/dev/null || true ;;  # a stand-in decoder left by the killed front end
    board | map)
      rm -f vastrel-messages.db vastrel-messages.db-wal vastrel-messages.db-shm
      VASTREL_SIM_SCRIPT=$(winepath -w "$here/tools/readme_shots/browser_run.txt" 2>/dev/null) \
        VASTREL_SHOT_DELAY=14 ../../tools/screenshot.sh "../../docs/$stage.png" "$caption" ./readme-shots.exe "$stage"
      pkill -f "vastrel.exe" 2>/dev/null || true ;;
    alert)
      # The same run: its distress and urgency messages raise alerts, and the tray's notification of
      # the last shows at the top left of the screen, beside the window.
      rm -f vastrel-messages.db vastrel-messages.db-wal vastrel-messages.db-shm
      VASTREL_SIM_SCRIPT=$(winepath -w "$here/tools/readme_shots/browser_run.txt" 2>/dev/null) \
        VASTREL_SHOT_DELAY=12 VASTREL_SHOT_CROP=1040x560+0+0 ../../tools/screenshot.sh ../../docs/alert.png "$caption" \
        ./readme-shots.exe browser
      pkill -f "vastrel.exe" 2>/dev/null || true ;;
    reception)
      VASTREL_SHOT_DELAY=4 ../../tools/screenshot.sh ../../docs/reception-pane.png "$caption" ./readme-shots.exe reception ;;
    *) echo "readme_shots: no stage '$stage'" >&2; exit 2 ;;
  esac
done
