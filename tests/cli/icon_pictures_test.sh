#!/usr/bin/env bash
# The pictures "quillcrest-cli icon" writes, decoded by ImageMagick (not by
# the library that wrote them) and compared pixel by pixel with the icon the
# card holds: every frame, scaled up without smoothing, transparent where the
# icon's colour is 0x0000, the GIF's frames 500 ms apart and looping. The
# Windows build writes its GIFs through the same giflib, built for it.
# Usage: icon_pictures_test.sh [RUNNER...] CLI, RUNNER being what runs CLI
# (wine for the Windows build).
set -euo pipefail
cli=("$@")
folder=$(mktemp -d /tmp/quillcrest-icons-XXXXXX)
trap 'rm -rf "$folder"' EXIT
cd "$folder"

# The icon's colour table, and what each colour is as red, green, blue and
# alpha, worked out by hand: 5-bit channels shifted left by three, bit 15 no
# matter, 0x0000 transparent (entries 0 and 6), 0x8000 an opaque black.
colours=(0000 001F 03E0 7C00 7FFF 8000 0000 4210 0421 FFFF 0010 0200 4000 03FF 7C1F 7FE0)
rgba=("0 0 0 0" "248 0 0 255" "0 248 0 255" "0 0 248 255" "248 248 248 255" "0 0 0 255"
      "0 0 0 0" "128 128 128 255" "8 8 8 255" "248 248 248 255" "128 0 0 255" "0 128 0 255"
      "0 0 128 255" "248 248 0 255" "248 0 248 255" "0 248 248 255")

# Icon frame k: the pixel (x, y) has colour index (x + 3y + 5k) mod 16.
index() { echo $(( ($1 + 3 * $2 + 5 * $3) % 16 )); }

escapes() { for byte in "$@"; do printf '\\x%02x' "$byte"; done; }

# A one-block raw save with three icon frames.
{
  printf 'SC\x13\x01ICON'
  head -c $((96 - 8)) /dev/zero
  for c in "${colours[@]}"; do printf "$(escapes $((0x$c & 255)) $((0x$c >> 8)))"; done
  for k in 0 1 2; do
    for y in $(seq 0 15); do
      for x in $(seq 0 2 14); do
        printf "$(escapes $(( $(index "$x" "$y" "$k") | $(index $((x + 1)) "$y" "$k") << 4 )))"
      done
    done
  done
  head -c $((8192 - 512)) /dev/zero
} > icon.bin
"${cli[@]}" format card.mcr >/dev/null
"${cli[@]}" import card.mcr icon.bin --name BASLUS-00001ICON >/dev/null

# What frame k should look like, 16 x 16, as raw RGBA bytes.
for k in 0 1 2; do
  for y in $(seq 0 15); do
    for x in $(seq 0 15); do
      # shellcheck disable=SC2086
      printf "$(escapes ${rgba[$(index "$x" "$y" "$k")]})"
    done
  done > "expected-$k.raw"
done

failures=0
# same PICTURE FRAME SIDE: the frame decoded equals expected frame FRAME
# scaled to SIDE by ImageMagick's pixel sampling.
same() {
  local picture=$1 k=$2 side=$3
  convert -size 16x16 -depth 8 "rgba:expected-$k.raw" -sample "${side}x$side" -depth 8 rgba:expected.raw
  convert "$picture[$k]" -depth 8 rgba:decoded.raw
  if ! cmp -s expected.raw decoded.raw; then
    echo "$picture: frame $k differs from the icon ($(cmp expected.raw decoded.raw 2>&1 | head -1))"
    failures=$((failures + 1))
  fi
}

for side in 16 128; do
  "${cli[@]}" icon card.mcr 1 "icon-$side.png" --size "$side" >/dev/null
  [ "$(identify -format '%w %h %n' "icon-$side.png")" = "$side $side 1" ] ||
    { echo "icon-$side.png: $(identify "icon-$side.png")"; failures=$((failures + 1)); }
  same "icon-$side.png" 0 "$side"
done

# The GIF: every frame 500 ms (50 hundredths), each replacing the one
# before ("Background" disposal), looping for ever, as on every system.
"${cli[@]}" icon card.mcr 1 icon.gif --size 64 >/dev/null
[ "$(identify -format '%w %h %T %D|' icon.gif)" = "64 64 50 Background|64 64 50 Background|64 64 50 Background|" ] ||
  { echo "icon.gif: $(identify -format '%w %h %T %D|' icon.gif)"; failures=$((failures + 1)); }
identify -verbose icon.gif > icon.gif.txt
grep -q 'Iterations: 0' icon.gif.txt || { echo "icon.gif does not loop"; failures=$((failures + 1)); }
for k in 0 1 2; do same icon.gif "$k" 64; done

[ "$failures" -eq 0 ] && echo "PNG and GIF: decoded to the card's icon"
[ "$failures" -eq 0 ]
