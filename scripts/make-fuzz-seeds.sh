#!/usr/bin/env bash
# Writes the fuzz seed corpora to DIR/palette_reader_fuzz and DIR/generate_fuzz:
# the bundled palettes and the shapes the tests use (a colour cube, a ramp, a
# sparse palette with odd values, header and line-end variants). A generate
# seed is one option byte (bit 0: -c, bit 1: -n) followed by the palette text.
set -eu
dir=${1:?usage: make-fuzz-seeds.sh DIR}
here=$(cd "$(dirname "$0")/.." && pwd)
reader="$dir/palette_reader_fuzz"
generate="$dir/generate_fuzz"
rm -rf "$reader" "$generate"
mkdir -p "$reader" "$generate"

cp "$here"/examples/*.pal.txt "$reader"/
awk 'BEGIN { for (r = 0; r < 6; r++) for (g = 0; g < 6; g++) for (b = 0; b < 6; b++) print r * 51, g * 51, b * 51
             for (k = 1; k <= 40; k++) print k * 6, k * 6, k * 6 }' > "$reader/cube.txt"
awk 'BEGIN { for (k = 0; k < 256; k++) print k, k, 255 - k }' > "$reader/ramp.txt"
awk 'BEGIN { srand(7); print "PAL random"; print 300; for (k = 0; k < 300; k++) print int(rand() * 256), int(rand() * 256), int(rand() * 256) }' > "$reader/random-with-header.txt"
printf '0 0 0\n\n\n255 128 0\n255 128 0\n-1 40 200\n300 -5 128\n1-2-3\n+7 +8 +9 trailing text\n4294967296 4294967297 -4294967295\n-1 -1 -1\n7 8 9' > "$reader/sparse-and-odd.txt"
printf 'PAL\r\n3\r\n10 20 30\r\n40 50 60\r\r\n70 80 90\x1a100 110 120\n' > "$reader/crlf-and-ctrl-z.txt"
printf '%079d\n1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30\n' 5 > "$reader/long-lines.txt"

for seed in "$reader"/*; do
  name=$(basename "$seed")
  for option in 0 1 2 3; do
    { printf "\\$(printf '%03o' "$option")"; cat "$seed"; } > "$generate/$option-$name"
  done
done
echo "seeds: $(ls "$reader" | wc -l) palette texts, $(ls "$generate" | wc -l) generate inputs in $dir"
