#!/usr/bin/env bash
# Prints the size and sections of a colour table file.
set -eu
file=$1
size=$(stat -c %s "$file")
echo "wrote $file: $size bytes"
printf '  %6d  %6d  %s\n' 0 768 "palette (6 bits per component)" 768 32768 "inverse colour map (32768 cells)"
if [ "$size" -eq 230148 ]; then
  tag=$(dd if="$file" bs=1 skip=33536 count=4 status=none)
  printf '  %6d  %6d  %s\n' 33536 4 "tag \"$tag\"" 33540 65536 "shade table" 99076 65536 "additive blend table" \
    164612 65536 "multiplicative blend table"
elif [ "$size" -ne 33536 ]; then
  echo "unexpected size: a table file is 33536 or 230148 bytes" >&2
  exit 1
fi
used=$(od -An -v -tu1 -N768 "$file" | tr -s ' ' '\n' | grep -v '^$' | paste - - - | grep -vc '^255	' || true)
echo "  $used of 256 palette entries used"
