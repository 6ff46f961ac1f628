#!/usr/bin/env bash
# Builds the filter-language fuzz target with libFuzzer (clang-14) and runs it; for long runs by hand.
#
#   tools/fuzz_filter.sh [libFuzzer options...]     e.g. tools/fuzz_filter.sh -max_total_time=600
#
# SQLite is compiled once without coverage instrumentation (build/fuzz-filter/sqlite3.o), so the fuzzer
# steers by our code only. The growing corpus lives in build/fuzz-filter/corpus; the seed corpus is
# tests/messages_fuzz/corpus, and crash inputs land in build/fuzz-filter/ as crash-*.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/build/fuzz-filter"
sqlite="$here/build/deps/sqlite3"
cc=${CC_FUZZ:-clang-14}
cxx=${CXX_FUZZ:-clang++-14}
[ -f "$sqlite/sqlite3.c" ] || "$here/tools/deps.sh"
mkdir -p "$out/corpus"
if [ ! -f "$out/sqlite3.o" ] || [ "$sqlite/sqlite3.c" -nt "$out/sqlite3.o" ]; then
  "$cc" -O2 -w -fsanitize=address -DSQLITE_ENABLE_FTS5 -DSQLITE_THREADSAFE=1 -DSQLITE_DQS=0 \
    -DSQLITE_OMIT_LOAD_EXTENSION -c "$sqlite/sqlite3.c" -o "$out/sqlite3.o"
fi
"$cxx" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$here/src" -I"$here/tests" -isystem "$sqlite" \
  "$here/tests/messages_fuzz/filter_fuzz.cpp" \
  "$here"/src/messages/*.cpp "$here"/src/warnings/*.cpp \
  "$out/sqlite3.o" -lpthread -lm \
  -o "$out/filter_fuzz"
cd "$out"
exec ./filter_fuzz -max_len=4200 -dict="$here/tests/messages_fuzz/filter.dict" "$@" corpus "$here/tests/messages_fuzz/corpus"
