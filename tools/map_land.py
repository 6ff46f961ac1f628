#!/usr/bin/env python3
"""Turns a TopoJSON land topology into the program's compact ring file (src/map/land_rings.h).

Run by CMake at build time in both builds: a script needs no host compiler in the cross build, and a
native test checks that src/map/topojson.cpp reads the same file into the very same bytes.
Usage: map_land.py <land.json> <object> <out.bin> <out.h>; prints the ring count.
"""
import json
import struct
import sys

def varint(out, v):
    while v >= 0x80:
        out.append((v & 0x7F) | 0x80)
        v >>= 7
    out.append(v)

def rings_of(doc, name):
    transform = doc.get("transform")
    arcs = []
    for arc in doc["arcs"]:
        x = y = 0
        pts = []
        for p in arc:
            px, py = int(p[0]), int(p[1])
            x, y = (x + px, y + py) if transform else (px, py)
            pts.append((x, y))
        arcs.append(pts)

    def ring(indices):
        out = []
        for i in indices:
            a = arcs[~i] if i < 0 else arcs[i]
            if i < 0:
                a = a[::-1]
            out.extend(a if not out else a[1:])
        return out

    rings = []

    def geometry(g):
        t = g.get("type")
        if t == "GeometryCollection":
            for c in g["geometries"]:
                geometry(c)
        elif t == "Polygon":
            polys = [g["arcs"]]
        elif t == "MultiPolygon":
            polys = g["arcs"]
        else:
            return
        if t in ("Polygon", "MultiPolygon"):
            for p in polys:
                for r in p:
                    pts = ring(r)
                    if len(pts) >= 3:
                        rings.append(pts)

    geometry(doc["objects"][name])
    scale = transform["scale"] if transform else [1.0, 1.0]
    translate = transform["translate"] if transform else [0.0, 0.0]
    return rings, scale, translate

def encode(rings, scale, translate):
    out = bytearray(b"VLR1")
    out += struct.pack("<I", len(rings))
    out += struct.pack("<4d", float(scale[0]), float(scale[1]), float(translate[0]), float(translate[1]))
    for r in rings:
        varint(out, len(r))
        px = py = 0
        for x, y in r:
            varint(out, zig(x - px))
            varint(out, zig(y - py))
            px, py = x, y
    return bytes(out)

def zig(v):
    return (v << 1) if v >= 0 else ((-v) << 1) - 1

def main():
    src, name, out_bin, out_h = sys.argv[1:5]
    with open(src, encoding="utf-8") as f:
        doc = json.load(f)
    rings, scale, translate = rings_of(doc, name)
    data = encode(rings, scale, translate)
    with open(out_bin, "wb") as f:
        f.write(data)
    points = sum(len(r) for r in rings)
    with open(out_h, "w", encoding="utf-8") as f:
        f.write("// Written by tools/map_land.py at build time: what the embedded land holds.\n#pragma once\n")
        f.write(f"#define VASTREL_LAND_RINGS {len(rings)}\n#define VASTREL_LAND_POINTS {points}\n")
        f.write(f"#define VASTREL_LAND_BYTES {len(data)}\n")
    print(f"land: {len(rings)} rings, {points} points, {len(data)} bytes")

if __name__ == "__main__":
    main()
