#!/usr/bin/env bash
# Runs a Windows test program at another screen DPI, in the test bed's own Wine prefix: LogPixels is
# set to that DPI for the program's run and put back afterwards (also when the run fails). A program
# reads it when it starts, so only processes started meanwhile see it; ctest runs these tests alone
# (RUN_SERIAL), so that no other test ever sees another DPI.
#   tools/run_at_dpi.sh <dpi> <program.exe> [arguments...]
# Needs the test bed's environment (eval "$(tools/testbed.sh start)"). The program finds the DPI it
# should see in VASTREL_EXPECT_DPI.
set -uo pipefail
dpi=$1
shift
keys=('HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts')
declare -A before
for key in "${keys[@]}"; do
  before[$key]=$(wine reg query "$key" /v LogPixels 2>/dev/null | tr -d '\r' | awk '/LogPixels/ {print $3}')
done
restore() {
  for key in "${keys[@]}"; do
    if [ -n "${before[$key]}" ]; then
      wine reg add "$key" /v LogPixels /t REG_DWORD /d "$((${before[$key]}))" /f >/dev/null 2>&1
    else
      wine reg delete "$key" /v LogPixels /f >/dev/null 2>&1
    fi
  done
}
trap restore EXIT
for key in "${keys[@]}"; do
  wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
done
VASTREL_EXPECT_DPI=$dpi wine "$@"
