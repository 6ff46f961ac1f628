#!/usr/bin/env bash
# Runs a Windows program under Wine in the test bed's prefix and display; exit code passes through.
here=$(cd "$(dirname "$0")/.." && pwd)
eval "$("$here/tools/testbed.sh" env)"
if [ -n "${VASTREL_KEEP_ENV:-}" ]; then :; fi
exec wine "$@"
