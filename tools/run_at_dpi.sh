#!/usr/bin/env bash
# Runs a Windows test program at another screen DPI: in a copy of the test bed's Wine prefix whose
# LogPixels is set to that DPI, with a wine server of its own. The test bed's prefix, and every test
# running in it meanwhile, keeps its 96 DPI; the copy is made once and kept under build/.
#   tools/run_at_dpi.sh <dpi> <program.exe> [arguments...]
# Needs the test bed's environment (eval "$(tools/testbed.sh start)"). The program finds the DPI it
# should see in VASTREL_EXPECT_DPI.
set -euo pipefail
dpi=$1
shift
here=$(cd "$(dirname "$0")/.." && pwd)
base=${WINEPREFIX:-$here/build/wineprefix}
copy="$here/build/wineprefix-dpi$dpi"
if [ ! -f "$copy/system.reg" ]; then
  rm -rf "$copy.tmp"
  cp -a "$base" "$copy.tmp"
  mv "$copy.tmp" "$copy"
fi
export WINEPREFIX="$copy"
# Only the copy's own server goes at the end.
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
  wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
done
VASTREL_EXPECT_DPI=$dpi wine "$@"
