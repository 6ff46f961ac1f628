#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that not every Windows has.
set -euo pipefail
exe=$1
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|ole32|oleaut32|shell32|advapi32|msvcrt|dsound|uxtheme|shlwapi|version|winmm|imm32|rpcrt4|ws2_32)\.dll$'
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no import table read from $exe"; exit 1; }
bad=0
for d in $dlls; do
  if [[ ! $d =~ $allowed ]]; then echo "unexpected import: $d"; bad=1; fi
done
echo "imports: $(echo $dlls | tr '\n' ' ')"
exit $bad
