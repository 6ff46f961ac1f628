#!/usr/bin/env bash
# Plays something like a receiver's audio into the test bed's sound card: a carrier about 1200 Hz
# wide (white noise through a band filter, as a 1200 baud signal looks on the spectrum) over a weak
# noise floor. A lone sine would hardly show: a spectrum column shows the lowest level among the
# frequencies it covers, so anything narrower than a column sinks into the floor.
#   tools/play_carrier.sh [centre Hz, default 1500] [seconds, default 60]
# Needs the test bed's environment (eval "$(tools/testbed.sh start)").
set -euo pipefail
centre=${1:-1500}
seconds=${2:-60}
sink=${VASTREL_SINK:-vastrel_null}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
low=$((centre - 600)); high=$((centre + 600))
[ "$low" -gt 0 ] || low=1
sox -q -n -r 48000 -c 1 -b 16 "$tmp/carrier.wav" synth "$seconds" whitenoise sinc -n 8191 "$low-$high" gain -n -6
sox -q -n -r 48000 -c 1 -b 16 "$tmp/floor.wav" synth "$seconds" pinknoise gain -n -24
sox -q -m "$tmp/carrier.wav" "$tmp/floor.wav" -c 2 "$tmp/both.wav"
paplay -d "$sink" "$tmp/both.wav"
