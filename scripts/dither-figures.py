#!/usr/bin/env python3
"""Scores every dithering mode of `paltool remap` by the blurred error it
prints with --report (the root of the mean squared error after a Gaussian blur
of sigma 2), on the photographs given, with PICO-8's 16 colours and with a
256-colour palette; and on flat patches between PICO-8's colours, with the
visible noise there: the lightness that varies after the same blur. Photographs are not part of the repository: pass PNGs,
for example scikit-image's data folder (Debian's python3-skimage).

Usage: scripts/dither-figures.py PALTOOL PALETTE256 PHOTO.png... [--space S] [--serpentine]"""
import math
import os
import re
import struct
import subprocess
import sys
import tempfile
import zlib

PICO8 = ["000000", "1d2b53", "7e2553", "008751", "ab5236", "5f574f", "c2c3c7", "fff1e8",
         "ff004d", "ffa300", "ffec27", "00e436", "29adff", "83769c", "ff77a8", "ffccaa"]
MODES = ["none", "floyd-steinberg", "false-floyd-steinberg", "jarvis", "stucki", "burkes", "sierra",
         "sierra-2row", "sierra-lite", "atkinson", "ordered", "bayer2", "bayer4", "bayer8", "bayer16",
         "blue-noise", "yliluoma"]


def write_png(path, width, height, pixel):
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                  chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def flat_patches(path):
    """Eight flat colours between PICO-8's, 48 x 48 pixels each."""
    colours = [(128, 128, 128), (60, 60, 90), (200, 150, 120), (90, 140, 60), (230, 210, 200), (40, 100, 160),
               (170, 60, 70), (250, 190, 60)]
    write_png(path, 4 * 48, 2 * 48, lambda x, y: colours[(y // 48) * 4 + x // 48])


def read_indexed_png(path):
    """Width, height, palette and rows of indices of an 8-bit indexed PNG."""
    data = open(path, "rb").read()
    at, idat, palette = 8, b"", []
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + size]
        if kind == b"IHDR":
            width, height = struct.unpack(">II", body[:8])
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, size, 3)]
        elif kind == b"IDAT":
            idat += body
        at += 12 + size
    raw, rows, prior = zlib.decompress(idat), [], bytes(width)
    for y in range(height):
        kind, line = raw[y * (width + 1)], bytearray(raw[y * (width + 1) + 1:(y + 1) * (width + 1)])
        for x in range(width):
            a, b, c = line[x - 1] if x else 0, prior[x], prior[x - 1] if x else 0
            p = a + b - c
            pred = [0, a, b, (a + b) // 2,
                    a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c][kind]
            line[x] = (line[x] + pred) & 255
        rows.append(bytes(line))
        prior = rows[-1]
    return width, height, palette, rows


def flat_noise(path):
    """The standard deviation of the result's lightness (Rec. 709 luma, 8-bit
    units) after a Gaussian blur of sigma 2, inside each flat patch (8 pixels
    from its edges), averaged over the patches: the texture the eye still sees
    in an area that should look flat, whatever its mean."""
    width, height, palette, rows = read_indexed_png(path)
    luma = [[0.2126 * palette[i][0] + 0.7152 * palette[i][1] + 0.0722 * palette[i][2] for i in row] for row in rows]
    weights = [math.exp(-k * k / 8) for k in range(-6, 7)]
    total = sum(weights)
    across = [[sum(w * row[min(max(x + k - 6, 0), width - 1)] for k, w in enumerate(weights)) / total
               for x in range(width)] for row in luma]
    blur = [[sum(w * across[min(max(y + k - 6, 0), height - 1)][x] for k, w in enumerate(weights)) / total
             for x in range(width)] for y in range(height)]
    spread = []
    for py in range(2):
        for px in range(4):
            cells = [blur[y][x] for y in range(py * 48 + 8, py * 48 + 40) for x in range(px * 48 + 8, px * 48 + 40)]
            mean = sum(cells) / len(cells)
            spread.append(math.sqrt(sum((v - mean) ** 2 for v in cells) / len(cells)))
    return sum(spread) / len(spread)


def blurred(paltool, image, palette, mode, extra, tmp, noise=False):
    out = subprocess.run([paltool, "remap", image, "-o", os.path.join(tmp, "out.png"), "--palette", palette,
                          "--dither", mode, "--report", "--quiet"] + extra, check=True, capture_output=True,
                         text=True).stdout
    if noise:
        return flat_noise(os.path.join(tmp, "out.png"))
    return float(re.search(r"blurred [0-9.]+ \(root ([0-9.]+)\)", out).group(1))


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    extra = []
    if "--space" in sys.argv:
        space = sys.argv[sys.argv.index("--space") + 1]
        args.remove(space)
        extra += ["--dither-space", space]
    if "--serpentine" in sys.argv:
        extra.append("--serpentine")
    paltool, palette256, photos = args[0], args[1], args[2:]
    with tempfile.TemporaryDirectory() as tmp:
        pico8 = os.path.join(tmp, "pico8.hex")
        with open(pico8, "w") as f:
            f.write("\n".join(PICO8) + "\n")
        flat = os.path.join(tmp, "flat.png")
        flat_patches(flat)
        print("mode | PICO-8 photos | / floyd-steinberg | PICO-8 flat patches | their visible noise | "
              "256 colours photos | / none")
        scores = {}
        for mode in MODES:
            small = sum(blurred(paltool, p, pico8, mode, extra, tmp) for p in photos) / len(photos)
            patches = blurred(paltool, flat, pico8, mode, extra, tmp), blurred(paltool, flat, pico8, mode, extra, tmp, True)
            large = sum(blurred(paltool, p, palette256, mode, extra, tmp) for p in photos) / len(photos)
            scores[mode] = (small, patches, large)
        for mode, (small, patches, large) in scores.items():
            print(f"{mode} | {small:.2f} | {small / scores['floyd-steinberg'][0]:.2f} | {patches[0]:.2f} | {patches[1]:.2f} | "
                  f"{large:.2f} | {large / scores['none'][2]:.2f}")


main()
