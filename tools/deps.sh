#!/usr/bin/env bash
# Brings the pinned SQLite amalgamation (sqlite3.c, sqlite3.h) into build/deps/sqlite3/; called by
# tools/testbed.sh install. Never committed, never fetched by the build itself.
#
# Source: the npm registry's better-sqlite3@12.11.1, whose tarball carries SQLite 3.53.2 in
# package/deps/sqlite3/. The tarball and both extracted files are pinned by sha256; a cache whose
# files match is kept as it is, anything else is fetched again and checked.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/build/deps/sqlite3"

package=better-sqlite3@12.11.1
tarball=better-sqlite3-12.11.1.tgz
tarball_sha256=ebf0ed75a7a59dbcb3b24bbd014ef49d9f15bc328e4adcbf516f2a8fadfa2835
sqlite3_c_sha256=60d2f39a3726cd6b9021da6f4e868608d66fbb6528a9f513dc8ffcc640493422
sqlite3_h_sha256=9e69a1353a4288450b0d5239ede11fc7f1f4c8e5eb07491fc8317eacb5b7de7e

cached_ok() {
  [ -f "$out/sqlite3.c" ] && [ -f "$out/sqlite3.h" ] || return 1
  echo "$sqlite3_c_sha256  $out/sqlite3.c
$sqlite3_h_sha256  $out/sqlite3.h" | sha256sum --check --status
}

if cached_ok; then
  exit 0
fi

if ! command -v npm >/dev/null; then
  echo "deps: installing npm (Debian package) to fetch $package" >&2
  sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends npm >&2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo "deps: fetching $package from the npm registry (SQLite amalgamation)" >&2
(cd "$tmp" && npm pack --silent "$package" >/dev/null)
[ -f "$tmp/$tarball" ] || { echo "deps: npm pack did not produce $tarball" >&2; exit 1; }
got=$(sha256sum "$tmp/$tarball" | cut -d' ' -f1)
if [ "$got" != "$tarball_sha256" ]; then
  echo "deps: checksum mismatch for $tarball: expected sha256 $tarball_sha256, got $got; refusing to use it" >&2
  exit 1
fi
tar -xzf "$tmp/$tarball" -C "$tmp" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
mkdir -p "$out"
cp "$tmp/package/deps/sqlite3/sqlite3.c" "$tmp/package/deps/sqlite3/sqlite3.h" "$out/"
if ! cached_ok; then
  echo "deps: the extracted sqlite3.c/sqlite3.h do not match their pinned sha256; refusing them" >&2
  rm -f "$out/sqlite3.c" "$out/sqlite3.h"
  exit 1
fi
echo "deps: SQLite 3.53.2 amalgamation in build/deps/sqlite3/" >&2
