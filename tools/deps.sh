#!/usr/bin/env bash
# Brings the pinned SQLite amalgamation (build/deps/sqlite3/) and the map's land polygons
# (build/deps/world-atlas/) in; called by tools/testbed.sh install. Never committed, never fetched by
# the build itself.
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

# Natural Earth's 1:50m land polygons (public domain) as TopoJSON, from the npm registry's
# world-atlas@2.0.2 (ISC licence for the packaging); the tarball, land-50m.json and its LICENSE pinned.
atlas_out="$here/build/deps/world-atlas"
atlas_package=world-atlas@2.0.2
atlas_tarball=world-atlas-2.0.2.tgz
atlas_tarball_sha256=032e7765f2ce00edaeafec23ff22bc3b77e42987c257da944cc585b452c05b97
atlas_land_sha256=619477ff690c086885e45cb91707d783805561bd75ae8e437b7d4694b0204e0f
atlas_licence_sha256=8048290dfdb6e83fbed17e8985c8cfc4ce9da9b842642f3d3e497280790cfa31

atlas_cached_ok() {
  [ -f "$atlas_out/land-50m.json" ] && [ -f "$atlas_out/LICENSE" ] || return 1
  echo "$atlas_land_sha256  $atlas_out/land-50m.json
$atlas_licence_sha256  $atlas_out/LICENSE" | sha256sum --check --status
}

need_npm() {
  command -v npm >/dev/null && return 0
  echo "deps: installing npm (Debian package) to fetch $1" >&2
  sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends npm >&2
}

fetch_atlas() {
  need_npm "$atlas_package"
  local tmp
  tmp=$(mktemp -d)
  echo "deps: fetching $atlas_package from the npm registry (Natural Earth land)" >&2
  (cd "$tmp" && npm pack --silent "$atlas_package" >/dev/null)
  [ -f "$tmp/$atlas_tarball" ] || { echo "deps: npm pack did not produce $atlas_tarball" >&2; rm -rf "$tmp"; exit 1; }
  local got
  got=$(sha256sum "$tmp/$atlas_tarball" | cut -d' ' -f1)
  if [ "$got" != "$atlas_tarball_sha256" ]; then
    echo "deps: checksum mismatch for $atlas_tarball: expected sha256 $atlas_tarball_sha256, got $got; refusing to use it" >&2
    rm -rf "$tmp"
    exit 1
  fi
  tar -xzf "$tmp/$atlas_tarball" -C "$tmp" package/land-50m.json package/LICENSE
  mkdir -p "$atlas_out"
  cp "$tmp/package/land-50m.json" "$tmp/package/LICENSE" "$atlas_out/"
  rm -rf "$tmp"
  if ! atlas_cached_ok; then
    echo "deps: the extracted land-50m.json/LICENSE do not match their pinned sha256; refusing them" >&2
    rm -f "$atlas_out/land-50m.json" "$atlas_out/LICENSE"
    exit 1
  fi
  echo "deps: Natural Earth 1:50m land in build/deps/world-atlas/" >&2
}

atlas_cached_ok || fetch_atlas

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
