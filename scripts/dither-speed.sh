#!/bin/sh
# Times every error-diffusion mode of `paltool remap` on a 4096 x 4096 image
# with a 256-colour palette beside ImageMagick's Floyd-Steinberg remap of the
# same image to the same colours, whole commands (decode, dither, encode), in
# CPU seconds (user + system), which a busy machine disturbs less than the
# clock. The image is PHOTO resized; photographs are not in the repository.
#
# Usage: scripts/dither-speed.sh PALTOOL PALETTE256 PHOTO
set -eu
paltool=$1 palette=$2 photo=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert "$photo" -resize 4096x4096! "$work/in.png"
"$paltool" convert "$palette" "$work/palette.png" --quiet
cpu() {
    /usr/bin/time -f '%U %S' -o "$work/time" "$@" >/dev/null
    awk '{ printf "%.2f", $1 + $2 }' "$work/time"
}
magick=$(cpu convert "$work/in.png" -dither FloydSteinberg -remap "$work/palette.png" "$work/magick.png")
echo "ImageMagick -dither FloydSteinberg -remap: $magick s"
for mode in none floyd-steinberg false-floyd-steinberg jarvis stucki burkes sierra sierra-2row sierra-lite atkinson \
        ordered bayer8 blue-noise yliluoma; do
    t=$(cpu "$paltool" remap "$work/in.png" -o "$work/out.png" --palette "$palette" --dither "$mode" --quiet)
    echo "$mode: $t s, $(echo "$t / $magick" | bc -l | cut -c1-4) of ImageMagick's"
done
