#!/usr/bin/env python3
"""Draws the application icon: a small carrier peak on a dark spectrum, at 16, 32 and 48 pixels."""
import math
import struct
import sys


def pixel_rows(size):
    bg = (80, 60, 60)  # BGR of the spectrum background (60, 60, 80)
    band = (170, 85, 50)
    line = (255, 170, 100)
    white = (255, 255, 255)
    rows = []
    centre = size * 0.5
    for y in range(size):  # y = 0 is the bottom row in a DIB
        row = []
        for x in range(size):
            colour = bg
            if abs(x + 0.5 - centre) <= size * 0.18:
                colour = band
            if int(centre) == x:
                colour = line
            # Noise floor plus a narrow carrier peak.
            floor = size * (0.16 + 0.05 * math.sin(x * 1.7) * math.sin(x * 0.6))
            peak = size * 0.68 * math.exp(-((x + 0.5 - centre) / (size * 0.07)) ** 2)
            height = floor + peak
            if abs(y - height) < max(1.0, size / 16) or (y < height and abs(x + 0.5 - centre) < size / 16):
                colour = white
            row.append(colour)
        rows.append(row)
    return rows


def image(size):
    rows = pixel_rows(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes((b, g, r, 255)) for row in rows for (b, g, r) in row)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)
    return header + xor + and_mask


def main(path):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'vastrel.ico')
