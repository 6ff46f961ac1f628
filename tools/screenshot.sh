#!/usr/bin/env bash
# Starts a Windows program under Wine in the test display and writes a PNG of its window.
#   tools/screenshot.sh OUT.png "WINDOW TITLE" PROGRAM.exe [ARGS...]
# With VASTREL_SHOT_KEEP=1 the program is left running (its pid is printed). With VASTREL_SHOT_SCREEN=1
# the picture is the screen within the window's rectangle, so that popups over it (a tooltip) show;
# with VASTREL_SHOT_CROP=WxH+X+Y it is that region of the screen (a notification beside the window).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$1; title=$2; shift 2
eval "$("$here/tools/testbed.sh" env)"
wine "$@" >/dev/null 2>&1 &
pid=$!
win=""
for _ in $(seq 1 300); do
  win=$(xdotool search --name "^${title}\$" 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
if [ -z "$win" ]; then echo "screenshot: no window titled '$title'" >&2; kill $pid 2>/dev/null || true; exit 1; fi
sleep "${VASTREL_SHOT_DELAY:-1.5}"   # let the first paints settle before the picture
if [ -n "${VASTREL_SHOT_CROP:-}" ]; then
  import -window root -crop "$VASTREL_SHOT_CROP" +repage "$out"   # a region of the screen, WxH+X+Y
elif [ "${VASTREL_SHOT_SCREEN:-0}" = 1 ]; then
  eval "$(xdotool getwindowgeometry --shell "$win")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
else
  import -window "$win" "$out"
fi
if [ "${VASTREL_SHOT_KEEP:-0}" = 1 ]; then echo $pid; else kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; fi
echo "screenshot: $out" >&2
