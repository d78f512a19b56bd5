#!/usr/bin/env python3
"""Writes docs/remap-source.png: a small picture for the remap examples (a sky
gradient, a sun, hills with shading and some grain), 8-bit RGB, standard
library only. Usage: scripts/make-remap-example.py OUT.png"""
import math
import random
import struct
import sys
import zlib

W, H = 192, 128


def pixel(x, y, rng):
    u, v = x / W, y / H
    # Sky from deep blue at the top to pale orange at the horizon.
    r, g, b = 40 + 200 * v, 70 + 120 * v, 160 - 40 * v
    sun = math.hypot(x - 140, y - 40)
    if sun < 18:
        r, g, b = 255, 230 - sun * 2, 120
    elif sun < 34:
        t = (sun - 18) / 16
        r, g, b = r * t + 255 * (1 - t), g * t + 200 * (1 - t), b * t + 110 * (1 - t)
    hill = 92 + 14 * math.sin(u * 7.0) + 6 * math.sin(u * 17.0 + 1)
    if y > hill:
        shade = 0.55 + 0.45 * math.cos(u * 7.0 + 0.8)
        r, g, b = 40 + 60 * shade, 90 + 100 * shade - (y - hill), 30 + 30 * shade
    grain = rng.gauss(0, 3)
    return [max(0, min(255, int(c + grain))) for c in (r, g, b)]


def main():
    rng = random.Random(5)
    rows = b"".join(b"\0" + bytes(sum((pixel(x, y, rng) for x in range(W)), [])) for y in range(H))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")
    with open(sys.argv[1], "wb") as out:
        out.write(png)


main()
