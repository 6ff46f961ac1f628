#!/usr/bin/env bash
# Builds the message reader's fuzz target with libFuzzer (clang++-14) and runs it; for long runs by hand.
#
#   tools/fuzz_warnings.sh [libFuzzer options...]     e.g. tools/fuzz_warnings.sh -max_total_time=600
#
# The binary and the growing corpus live in build/fuzz-warnings/; the messages of
# tests/warnings/corpus.txt seed it.
# Crash inputs land in build/fuzz-warnings/ as crash-*.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/build/fuzz-warnings"
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$out/corpus" "$out/seed"
# One seed per message of the corpus (the text between a "=== " line and its "---").
awk -v dir="$out/seed" '/^=== /{n++; f=sprintf("%s/m%03d", dir, n); printf "" > f; on=1; next}
                        /^---$/{on=0; next} on{print >> f}' "$here/tests/warnings/corpus.txt"
"$cxx" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$here/src" \
  "$here/tests/warnings/reader_fuzz.cpp" \
  "$here"/src/warnings/*.cpp \
  -o "$out/warning_reader_fuzz"
cd "$out"
exec ./warning_reader_fuzz -max_len=8192 "$@" corpus seed
