#!/usr/bin/env bash
# Writes the fuzz seed corpora to DIR/palette_reader_fuzz, DIR/generate_fuzz,
# DIR/palette_formats_fuzz and DIR/remap_fuzz: the bundled palettes and the shapes the tests
# use (a colour cube, a ramp, a sparse palette with odd values, header and
# line-end variants). A generate seed is one option byte (bit 0: -c, bit 1:
# -n) followed by the palette text. A palette formats seed is a reader byte
# (0..10: the formats in the order of `paltool formats`, 11..16: detection
# under a file name), a writer byte, then a small file of each format (UTF-16
# and CR line ends among them). A remap seed is an options byte, a colour
# count byte, the colours, then one of the PNG seeds (one with text and other
# ancillary chunks).
set -eu
dir=${1:?usage: make-fuzz-seeds.sh DIR}
here=$(cd "$(dirname "$0")/.." && pwd)
reader="$dir/palette_reader_fuzz"
generate="$dir/generate_fuzz"
formats="$dir/palette_formats_fuzz"
remap="$dir/remap_fuzz"
rm -rf "$reader" "$generate" "$formats" "$remap"
mkdir -p "$reader" "$generate" "$formats" "$remap"

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
# seed NAME READER WRITER DATA: DATA is a printf format of octal escapes.
seed() {
  { printf "\\$(printf '%03o' "$2")\\$(printf '%03o' "$3")"; printf "$4"; } > "$formats/$1"
}
for text in "$reader"/*; do
  { printf '\013\001'; cat "$text"; } > "$formats/text-$(basename "$text")"
done
seed gpl 1 2 'GIMP Palette\nName: fire\nColumns: 4\n# c\n255 0 0\tRed\n0 128 255\n'
seed gpl-rgba 16 3 'GIMP Palette\nChannels: RGBA\n1 2 3 4 a\n5 6 7 0\n'
seed jasc 2 9 'JASC-PAL\r\n0100\r\n2\r\n10 20 30\r\n40 50 60\r\n'
seed act 14 4 "$(printf '\\001\\002\\003%.0s' $(seq 256))\000\003\000\001"
seed riff 4 3 'RIFF\030\000\000\000PAL data\014\000\000\000\000\003\002\000\001\002\003\000\372\373\374\000'
seed raw 11 6 '\000\000\000\377\200\100\020\040\060'
seed vga 11 5 '\000\000\000\077\040\001'
seed playpal 15 0 "$(printf '\\310\\144\\062%.0s' $(seq 512))"
seed hex 13 10 'ff8000\n#00FF7f\n\n#fa0\n#11223380\n'
seed text-cr 14 0 'PAL\r2\r1 2 3\r4 5 6\r'
seed gpl-utf16 11 1 '\377\376G\000I\000M\000P\000 \000P\000a\000l\000e\000t\000t\000e\000\n\0001\000 \0002\000 \0003\000\n\000'
seed paintnet 14 8 '; paint.net Palette File\r\n; Colors: 2\r\nFFFF0000\r\n800000ff\r\n'
seed png-indexed 10 10 '\211\120\116\107\015\012\032\012\000\000\000\015\111\110\104\122\000\000\000\002\000\000\000\002\010\003\000\000\000\105\150\375\026\000\000\000\011\120\114\124\105\377\000\000\000\377\000\000\000\377\055\112\315\212\000\000\000\002\164\122\116\123\377\000\345\267\060\112\000\000\000\016\111\104\101\124\170\234\143\140\140\144\140\142\000\000\000\016\000\004\306\210\174\370\000\000\000\000\111\105\116\104\256\102\140\202'
seed png-rgb 12 1 '\211\120\116\107\015\012\032\012\000\000\000\015\111\110\104\122\000\000\000\002\000\000\000\002\010\002\000\000\000\375\324\232\163\000\000\000\024\111\104\101\124\170\234\143\140\144\142\146\141\145\143\000\122\354\034\234\000\001\043\000\064\336\145\372\247\000\000\000\000\111\105\116\104\256\102\140\202'
# Text, profile, gamma and private chunks before and after the image: all
# skipped by the decoder.
seed png-text 10 10 '\211\120\116\107\015\012\032\012\000\000\000\015\111\110\104\122\000\000\000\002\000\000\000\002\010\002\000\000\000\375\324\232\163\000\000\000\014\164\105\130\164\124\151\164\154\145\000\160\141\154\164\141\142\353\267\003\136\000\000\000\025\172\124\130\164\103\157\155\155\145\156\164\000\000\170\234\163\164\244\014\000\000\020\176\020\101\356\070\021\132\000\000\000\055\151\124\130\164\130\115\114\072\143\157\155\056\141\144\157\142\145\056\170\155\160\000\001\000\000\000\170\234\263\251\260\252\310\055\310\115\055\111\324\267\263\041\202\015\000\254\277\021\135\167\006\247\302\000\000\000\020\151\103\103\120\151\143\143\000\000\170\234\143\140\300\017\000\000\040\000\001\063\230\046\174\000\000\000\004\147\101\115\101\000\000\261\217\013\374\141\005\000\000\000\022\111\104\101\124\170\234\143\370\317\300\300\000\302\014\377\201\000\000\037\356\005\373\013\331\150\213\000\000\000\007\160\162\126\164\160\162\151\166\141\164\145\001\041\017\203\000\000\000\027\164\105\130\164\103\157\155\155\145\156\164\000\141\146\164\145\162\040\164\150\145\040\151\155\141\147\145\357\234\114\006\000\000\000\000\111\105\116\104\256\102\140\202'

# Options 0x00 (no dither, rgb), 0x26 (Floyd-Steinberg, linear, transparent
# last entry), 0x69 (ordered, oklab, transparent, 5-bit map); three colours.
for png in "$formats"/png-*; do
  for options in 000 046 151; do
    { printf "\\$options\\002\\000\\000\\000\\377\\000\\000\\020\\040\\377"; tail -c +3 "$png"; } \
      > "$remap/$options-$(basename "$png")"
  done
done

echo "seeds: $(ls "$reader" | wc -l) palette texts, $(ls "$generate" | wc -l) generate inputs," \
  "$(ls "$formats" | wc -l) palette format inputs, $(ls "$remap" | wc -l) remap inputs in $dir"
