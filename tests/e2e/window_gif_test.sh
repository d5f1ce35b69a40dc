#!/usr/bin/env bash
# The animated GIF the window's "Save Icon As..." writes under Wine, decoded
# by ImageMagick on this machine (not by the library that wrote it): three
# frames of 32 x 32, red, green and blue as the RACE save's icon, 500 ms each
# (50 hundredths), each replacing the one before, looping for ever.
# Usage: window_gif_test.sh RUNNER... E2E_TESTS
set -euo pipefail
folder=$(mktemp -d /tmp/quillcrest-window-gif-XXXXXX)
trap 'rm -rf "$folder"' EXIT
QUILLCREST_TEST_KEEP_PICTURES="Z:${folder//\//\\}" "$@" --gtest_filter='IconPictures.*' >"$folder/test.log" 2>&1 ||
  { cat "$folder/test.log"; exit 1; }
gif="$folder/race.gif"
[ -s "$gif" ] || { echo "the window wrote no GIF"; exit 1; }
failures=0
frames=$(identify -format '%w %h %T %D|' "$gif")
[ "$frames" = "32 32 50 Background|32 32 50 Background|32 32 50 Background|" ] ||
  { echo "race.gif: $frames"; failures=$((failures + 1)); }
identify -verbose "$gif" >"$folder/race.txt"
grep -q 'Iterations: 0' "$folder/race.txt" || { echo "race.gif does not loop"; failures=$((failures + 1)); }
k=0
for colour in "248,0,0" "0,248,0" "0,0,248"; do
  seen=$(convert "$gif[$k]" -format '%[fx:int(255*mean.r)],%[fx:int(255*mean.g)],%[fx:int(255*mean.b)] %k' info:)
  [ "$seen" = "$colour 1" ] || { echo "frame $k: $seen where $colour alone belongs"; failures=$((failures + 1)); }
  k=$((k + 1))
done
[ "$failures" -eq 0 ] && echo "the window's GIF: 3 frames, 500 ms each, looping, the icon's colours"
[ "$failures" -eq 0 ]
