#!/usr/bin/env bash
# The test bed: packages, an X display, a Wine prefix under build/, and a PulseAudio daemon with a
# null sink whose monitor is the default capture source.
#
#   tools/testbed.sh install      install what is missing (idempotent), pinned sources included
#   tools/testbed.sh start        start what is not running; prints 'export' lines for eval
#   tools/testbed.sh stop         stop only what 'start' started
#   tools/testbed.sh env          print the 'export' lines without starting anything
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
state="$here/build/testbed"
prefix="$here/build/wineprefix"
display_num=${VASTREL_DISPLAY:-97}
sink=vastrel_null

need_pkgs() {
  local missing=()
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
  command -v cmake >/dev/null || missing+=(cmake)
  command -v ninja >/dev/null || missing+=(ninja-build)
  command -v g++ >/dev/null || missing+=(g++)
  command -v wine >/dev/null || missing+=(wine wine64)
  [ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
  # Wine's own fonts and the X extensions it uses, which come only as recommendations: without
  # them a fresh machine draws every window in a stand-in font.
  [ -f /usr/share/wine/fonts/tahoma.ttf ] || missing+=(fonts-wine)
  local lib=/usr/lib/x86_64-linux-gnu
  [ -e $lib/libXi.so.6 ] || missing+=(libxi6)
  [ -e $lib/libXcursor.so.1 ] || missing+=(libxcursor1)
  [ -e $lib/libXcomposite.so.1 ] || missing+=(libxcomposite1)
  [ -e $lib/libXrandr.so.2 ] || missing+=(libxrandr2)
  [ -e $lib/libXrender.so.1 ] || missing+=(libxrender1)
  command -v Xvfb >/dev/null || missing+=(xvfb)
  command -v xauth >/dev/null || missing+=(xauth)
  command -v pulseaudio >/dev/null || missing+=(pulseaudio)
  command -v pactl >/dev/null || missing+=(pulseaudio-utils)
  command -v sox >/dev/null || missing+=(sox)
  [ -x /usr/bin/convert ] || missing+=(imagemagick)
  command -v xdotool >/dev/null || missing+=(xdotool)
  command -v pgrep >/dev/null || missing+=(procps)
  [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
  command -v python3 >/dev/null || missing+=(python3)  # turns the land data into the map's ring file at build time
  command -v sqlite3 >/dev/null || missing+=(sqlite3)  # Debian's own shell reads the message database in a test
  [ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
  [ -f /usr/include/fftw3.h ] || missing+=(libfftw3-dev)
  [ -f /usr/include/nlohmann/json.hpp ] || missing+=(nlohmann-json3-dev)  # the feed's datagrams and the JSON Lines export
  printf '%s\n' "${missing[@]}"
}

cmd_install() {
  local pkgs
  pkgs=$(need_pkgs | sort -u | tr '\n' ' ')
  if [ -n "${pkgs// /}" ]; then
    echo "testbed: installing $pkgs" >&2
    local sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get update -q >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $pkgs >&2
  fi
  # Sources that Debian does not package in the pinned version (the SQLite amalgamation).
  "$here/tools/deps.sh"
}

exports() {
  echo "export DISPLAY=:$display_num"
  echo "export WINEPREFIX='$prefix'"
  echo "export WINEDEBUG=-all"
  echo "export WINEDLLOVERRIDES='mscoree,mshtml='"
  echo "export PULSE_SERVER='unix:$state/pulse/native'"
  echo "export VASTREL_SINK=$sink"
}

# A real connection, not the socket file: a server that died (or a machine restored from an image
# of one that ran) leaves /tmp/.X11-unix/X<n> and the lock file behind.
display_up() { DISPLAY=:$display_num timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1; }

cmd_start() {
  mkdir -p "$state"
  eval "$(exports)"
  local started=""
  if ! display_up; then
    started="$started xvfb"
    # Nothing answers on the display, so its lock and socket are stale (a reused pid in the lock
    # would make Xvfb refuse to start).
    rm -f "/tmp/.X$display_num-lock" "/tmp/.X11-unix/X$display_num" 2>/dev/null || true
    Xvfb ":$display_num" -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
    echo $! > "$state/xvfb.pid"
    for _ in $(seq 1 100); do display_up && break; sleep 0.1; done
    display_up || { echo "testbed: Xvfb :$display_num did not start (see $state/xvfb.log)" >&2; return 1; }
  fi
  if ! pactl info >/dev/null 2>&1; then
    started="$started pulse"
    mkdir -p "$state/pulse"
    # Run as whoever we are (root in CI); a private runtime dir keeps it apart from any desktop daemon.
    XDG_RUNTIME_DIR="$state/pulse" HOME="$state/pulse" pulseaudio --daemonize=no --exit-idle-time=-1 \
      --disallow-exit --disable-shm -n \
      -L "module-native-protocol-unix auth-anonymous=1 socket=$state/pulse/native" \
      -L "module-null-sink sink_name=$sink rate=48000 channels=2" \
      -L "module-always-sink" >"$state/pulse.log" 2>&1 &
    echo $! > "$state/pulse.pid"
    for _ in $(seq 1 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
    pactl set-default-sink "$sink" >/dev/null 2>&1 || true
    pactl set-default-source "$sink.monitor" >/dev/null 2>&1 || true
  fi
  if [ ! -f "$prefix/system.reg" ]; then
    echo "testbed: creating the Wine prefix (first time only)" >&2
    wineboot -i >"$state/wineboot.log" 2>&1 || true
    wineserver -w || true
  fi
  # Keep one wineserver alive for the whole run so every test program starts quickly.
  # The marker outlives a wineserver that was killed with the machine's processes.
  if [ -f "$state/wineserver.started" ] && ! pgrep -x wineserver >/dev/null 2>&1 && ! pgrep -f '/wineserver' >/dev/null 2>&1; then
    rm -f "$state/wineserver.started"
  fi
  if [ ! -f "$state/wineserver.started" ]; then
    wineserver -p 600 >/dev/null 2>&1 && touch "$state/wineserver.started" || true
    started="$started wineserver"
  fi
  # Start Wine's own service processes now, detached from our output: started by the first test
  # instead, they would inherit ctest's output pipe and keep it open long after the test ended.
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
  exports
  # 'stop' in the same environment stops only these.
  echo "export VASTREL_TESTBED_STARTED='${started# }'"
}

owned() {  # was $1 started by the 'start' whose environment we have (or, run by hand, by any)?
  [ -z "${VASTREL_TESTBED_STARTED+x}" ] && return 0
  [[ " $VASTREL_TESTBED_STARTED " == *" $1 "* ]]
}

cmd_stop() {
  local keep_started=${VASTREL_TESTBED_STARTED-__unset__}
  eval "$(exports)"
  [ "$keep_started" = __unset__ ] && unset VASTREL_TESTBED_STARTED || VASTREL_TESTBED_STARTED=$keep_started
  if owned wineserver && [ -f "$state/wineserver.started" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -f "$state/wineserver.started"
  fi
  for p in pulse xvfb; do
    if owned $p && [ -f "$state/$p.pid" ]; then
      kill "$(cat "$state/$p.pid")" 2>/dev/null || true
      rm -f "$state/$p.pid"
    fi
  done
}

case "${1:-}" in
  install) cmd_install ;;
  start) cmd_start ;;
  stop) cmd_stop ;;
  env) exports ;;
  *) echo "usage: $0 install|start|stop|env" >&2; exit 2 ;;
esac
