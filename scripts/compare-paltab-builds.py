#!/usr/bin/env python3
"""Runs two builds of the generator on the same palettes and compares what
they do: the table file's bytes, standard output, standard error and the
exit status, for every palette with no option, -c, -n and both.

    scripts/compare-paltab-builds.py OLD/paltab NEW/paltab [--count N] [--seed S]

The palettes: random colours of every count from 1 to 256, palettes with
repeated colours, 256-colour palettes, palettes with a PAL header (its count
right or wrong), and damaged ones (a number past 255, a missing number, text,
CR line ends, an empty file, more than 256 lines). Prints the counts and
every difference; exits 1 on any difference.
"""
import argparse
import concurrent.futures
import os
import random
import subprocess
import sys
import tempfile

OPTION_SETS = [[], ["-c"], ["-n"], ["-c", "-n"]]


def palette_text(rng, index):
    kind = index % 8
    count = rng.randint(1, 256)
    colours = [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(count)]
    if kind == 1:  # repeated colours
        colours = [rng.choice(colours[: max(1, count // 4)]) for _ in range(count)]
    elif kind == 2:  # a full palette
        colours = [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(256)]
    elif kind == 3:  # short
        colours = colours[: rng.randint(1, 4)]
    lines = ["%d %d %d" % c for c in colours]
    if kind == 4:  # a PAL header, its count right or wrong
        stated = len(lines) if rng.random() < 0.7 else rng.randint(1, 300)
        lines = ["PAL compare", str(stated)] + lines
    elif kind == 5:  # damaged
        damage = rng.randrange(6)
        at = rng.randrange(len(lines))
        if damage == 0:
            lines[at] = "%d 0 0" % rng.randint(256, 999)
        elif damage == 1:
            lines[at] = "%d %d" % (rng.randrange(256), rng.randrange(256))
        elif damage == 2:
            lines[at] = "red green blue"
        elif damage == 3:
            return ("\r".join(lines) + "\r").encode()
        elif damage == 4:
            return b""
        else:
            lines = lines + lines + lines[:10]
    elif kind == 6:  # extra spaces, tabs and trailing words
        lines = ["  %s\t%s  %s  x" % tuple(line.split()) for line in lines]
    elif kind == 7:  # CR LF line ends, no final line end
        return "\r\n".join(lines).encode()
    return ("\n".join(lines) + "\n").encode()


def run(binary, options, palette, out):
    if os.path.exists(out):
        os.remove(out)
    done = subprocess.run([binary] + options + [palette, out], capture_output=True)
    table = open(out, "rb").read() if os.path.exists(out) else None
    return done.returncode, done.stdout, done.stderr, table


def compare(args):
    old, new, work, index, text = args
    palette = os.path.join(work, "p%d.txt" % index)
    with open(palette, "wb") as f:
        f.write(text)
    differences = []
    for options in OPTION_SETS:
        before = run(old, options, palette, os.path.join(work, "old%d.tab" % index))
        after = run(new, options, palette, os.path.join(work, "new%d.tab" % index))
        # A message may name the output file; name it alike in both.
        before = (before[0], before[1], before[2].replace(b"old%d.tab" % index, b"OUT"), before[3])
        after = (after[0], after[1], after[2].replace(b"new%d.tab" % index, b"OUT"), after[3])
        if before != after:
            fields = [name for name, a, b in zip(("status", "stdout", "stderr", "table"), before, after) if a != b]
            differences.append("palette %d %s: %s differ" % (index, " ".join(options) or "(none)", ", ".join(fields)))
    os.remove(palette)
    return differences


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--count", type=int, default=3000)
    parser.add_argument("--seed", type=int, default=15)
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    texts = [palette_text(rng, i) for i in range(args.count)]
    with tempfile.TemporaryDirectory() as work:
        jobs = [(args.old, args.new, work, i, t) for i, t in enumerate(texts)]
        with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
            differences = [d for found in pool.map(compare, jobs) for d in found]
    print("%d palettes x %d option sets: %d runs of each build, %d differences"
          % (args.count, len(OPTION_SETS), args.count * len(OPTION_SETS), len(differences)))
    for line in differences[:50]:
        print(line)
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
