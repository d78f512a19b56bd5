#!/bin/sh
# Regenerates docs/dither-MODE.png: docs/remap-source.png (made by
# scripts/make-remap-example.py) dithered to PICO-8's 16 colours
# (examples/pico-8.hex) in every mode, for the README.
#
# Usage: scripts/make-dither-pictures.sh [PALTOOL]   (default build/paltool)
set -eu
paltool=${1:-build/paltool}
cd "$(dirname "$0")/.."
for mode in none floyd-steinberg false-floyd-steinberg jarvis stucki burkes sierra sierra-2row sierra-lite atkinson \
        ordered bayer2 bayer4 bayer8 bayer16 blue-noise yliluoma; do
    "$paltool" remap docs/remap-source.png -o "docs/dither-$mode.png" --palette examples/pico-8.hex \
        --dither "$mode" --quiet
done
"$paltool" remap docs/remap-source.png -o docs/dither-sierra-lite-linear.png --palette examples/pico-8.hex \
    --dither sierra-lite --dither-space linear --quiet
