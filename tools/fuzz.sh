#!/usr/bin/env bash
# Builds the decoder fuzz target with libFuzzer (clang++-14) and runs it; for long runs by hand.
#
#   tools/fuzz.sh [libFuzzer options...]     e.g. tools/fuzz.sh -max_total_time=600 -jobs=2
#
# The binary and the growing corpus live in build/fuzz-decoder/; the seed corpus is
# tests/decoder_fuzz/corpus. Crash inputs land in build/fuzz-decoder/ as crash-*.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/build/fuzz-decoder"
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$out/corpus"
"$cxx" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$here/src" \
  "$here/tests/decoder_fuzz/record_stream_fuzz.cpp" \
  "$here/src/decoder/record_stream.cpp" \
  "$here/src/decoder/command_line.cpp" \
  "$here/src/decoder/argument_split.cpp" \
  -o "$out/decoder_fuzz"
cd "$out"
exec ./decoder_fuzz -max_len=4096 "$@" corpus "$here/tests/decoder_fuzz/corpus"
