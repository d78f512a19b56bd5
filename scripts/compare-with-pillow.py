#!/usr/bin/python3
"""Times a 256-colour remap of a photograph, PNG in and indexed PNG out, by
paltool and by Pillow side by side, and prints the time and size ratios.

    scripts/compare-with-pillow.py [--build DIR] [--runs N] [--side N] [PHOTO.png]

Without PHOTO it makes a deterministic photograph-like image (smooth colour
fields with grain, saved by Pillow with its defaults) of --side x --side
pixels (4096). The palette is 256 deterministic random colours. Measured, best
of --runs wall-clock runs each:
  - `paltool remap --palette` (the fast PNG paths in and out),
  - build/bench/png_pipeline --libpng: the same stages timed one by one,
  - build/bench/png_pipeline: the same remap through the fast PNG paths,
  - Pillow: Image.open + load, quantize(palette=...) with its defaults
    (Floyd-Steinberg dithering) and save with its defaults, in this process;
    and again with dither=NONE, the like-for-like exact mapping.
"""
import argparse
import os
import random
import resource
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageChops


def make_photo(side, path):
    rng = random.Random(21)
    channels = []
    for k in range(3):
        small = Image.new("L", (64, 64))
        a, b, c = rng.uniform(2, 5), rng.uniform(-3, 3), rng.uniform(0, 6.3)
        import math
        small.putdata([int(128 + 100 * math.sin(a * x / 64 + b * y / 64 + c) * math.cos((x * y) / 900 + k))
                       for y in range(64) for x in range(64)])
        smooth = small.resize((side, side), Image.BICUBIC)
        grain = Image.frombytes("L", (side, side), rng.randbytes(side * side)).point(lambda v: v % 13)
        channels.append(ImageChops.add(smooth, grain, 1.0, -6))
    Image.merge("RGB", channels).save(path)


def write_palette(path):
    rng = random.Random(77)
    colours = [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(256)]
    with open(path, "w") as f:
        f.writelines(f"{r} {g} {b}\n" for r, g, b in colours)
    return colours


def cpu_seconds():
    """Processor time of this process and of its finished children."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def best_of(runs, action):
    """The least wall-clock and the least processor time of `runs` runs, and
    the last result."""
    wall, cpu, result = None, None, None
    for _ in range(runs):
        start, start_cpu = time.perf_counter(), cpu_seconds()
        result = action()
        elapsed, used = time.perf_counter() - start, cpu_seconds() - start_cpu
        wall = elapsed if wall is None or elapsed < wall else wall
        cpu = used if cpu is None or used < cpu else cpu
    return (wall, cpu), result


def run(command):
    done = subprocess.run(command, check=True, capture_output=True, text=True)
    return done.stdout.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("photo", nargs="?")
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--side", type=int, default=4096)
    args = parser.parse_args()
    paltool = os.path.join(args.build, "paltool")
    pipeline = os.path.join(args.build, "bench", "png_pipeline")
    for tool in (paltool, pipeline):
        if not os.access(tool, os.X_OK):
            sys.exit(f"compare-with-pillow: {tool} is not built (cmake --build {args.build})")

    with tempfile.TemporaryDirectory() as work:
        photo = args.photo or os.path.join(work, "photo.png")
        if not args.photo:
            make_photo(args.side, photo)
        palette_path = os.path.join(work, "palette.txt")
        colours = write_palette(palette_path)
        palette_image = Image.new("P", (1, 1))
        palette_image.putpalette([v for c in colours for v in c])
        with Image.open(photo) as probe:
            print(f"{photo}: {probe.size[0]} x {probe.size[1]}, {os.path.getsize(photo)} bytes; "
                  f"best of {args.runs} runs")

        def pillow(dither, out):
            def action():
                with Image.open(photo) as im:
                    im.load()
                    im.convert("RGB").quantize(palette=palette_image, dither=dither).save(out)
            return best_of(args.runs, action)[0], os.path.getsize(out)

        rows = []
        pillow_time, pillow_size = pillow(Image.Dither.FLOYDSTEINBERG, os.path.join(work, "pillow.png"))
        rows.append(("Pillow, its defaults (Floyd-Steinberg)", pillow_time, pillow_size, ""))
        plain_time, plain_size = pillow(Image.Dither.NONE, os.path.join(work, "pillow-none.png"))
        rows.append(("Pillow, dither=NONE", plain_time, plain_size, ""))

        out = os.path.join(work, "paltool.png")
        t, _ = best_of(args.runs, lambda: run([paltool, "remap", photo, "-o", out, "--palette", palette_path,
                                               "--quiet"]))
        rows.append(("paltool remap", t, os.path.getsize(out), ""))
        for label, extra in (("libpng stages", ["--libpng"]), ("fast PNG stages", [])):
            out = os.path.join(work, "pipeline.png")
            t, split = best_of(args.runs, lambda: run([pipeline, photo, palette_path, out] + extra))
            rows.append((label, t, os.path.getsize(out), split))

        # Processor time is the fairer measure on a busy machine; wall-clock
        # time is what a user waits, and the stages use two threads.
        print(f"{'':40} {'wall':>8} {'of Pillow':>9} {'CPU':>8} {'of Pillow':>9} {'size':>9} {'of Pillow':>9}")
        for label, (wall, cpu), size, split in rows:
            print(f"{label:40} {wall * 1000:6.0f}ms {wall / pillow_time[0]:9.2f} {cpu * 1000:6.0f}ms "
                  f"{cpu / pillow_time[1]:9.2f} {size:9} {size / pillow_size:9.2f}" + (f"   ({split})" if split else ""))
        (wall, cpu), size = rows[-1][1], rows[-1][2]
        print(f"fast PNG stages against Pillow with dither=NONE: wall {wall / plain_time[0]:.2f}, "
              f"CPU {cpu / plain_time[1]:.2f}, size {size / plain_size:.2f}")


if __name__ == "__main__":
    main()
