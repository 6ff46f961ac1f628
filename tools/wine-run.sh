#!/usr/bin/env bash
# Runs a Windows program under Wine in the test bed's prefix and display; exit code passes through.
here=$(cd "$(dirname "$0")/.." && pwd)
eval "$("$here/tools/testbed.sh" env)"
# Make sure the Wine server and its service processes run detached from our output first: if the
# program below had to start them, they would inherit the caller's output pipe (ctest's) and hold
# it open for the server's whole lifetime, so the caller would wait for a test that has ended.
wineserver -p 600 </dev/null >/dev/null 2>&1
wine cmd.exe /c exit </dev/null >/dev/null 2>&1
exec wine "$@"
