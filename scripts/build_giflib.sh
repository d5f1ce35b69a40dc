#!/usr/bin/env bash
# Builds giflib for Windows (MinGW-w64) from Debian's source package, the
# library the Linux build links too, so that both systems' animated GIFs come
# from one encoder:
#   scripts/build_giflib.sh [32|64]
# 32-bit (the default) into build/giflib-mingw, 64-bit into
# build/giflib-mingw64: lib/libgif.a and include/gif_lib.h. giflib is under
# the MIT licence: the programs link it in.
# Done once per build: a second call finds it finished and returns at once.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
source "$ROOT/scripts/wine_env.sh"
bits=${1:-32}
case "$bits" in
  32) HOST=i686-w64-mingw32 ;;
  64) HOST=x86_64-w64-mingw32 ;;
  *) echo "usage: $0 [32|64]" >&2; exit 2 ;;
esac
PREFIX=$(giflib_folder "$bits")
SOURCE_DIR="$BUILD_DIR/giflib-source"
DONE="$PREFIX/.quillcrest-built"

[ -f "$DONE" ] && [ -f "$PREFIX/lib/libgif.a" ] && exit 0

source "$ROOT/scripts/debian_source.sh"
started=$(date +%s)
source_tree=$(fetch_debian_source giflib "$SOURCE_DIR")
rm -rf "$PREFIX"

# The library's own sources, as its Makefile lists them for libgif (the
# font drawing and the tools aside); its Makefile builds for the host only.
objects="$source_tree/build-$HOST"
rm -rf "$objects"
mkdir -p "$objects" "$PREFIX/lib" "$PREFIX/include"
for source in dgif_lib egif_lib gifalloc gif_err gif_hash openbsd-reallocarray quantize; do
  "$HOST-gcc" -O2 -Wall -c "$source_tree/$source.c" -o "$objects/$source.o" 2>>"$objects/build.log" ||
    { tail -30 "$objects/build.log"; exit 1; }
done
"$HOST-ar" rcs "$PREFIX/lib/libgif.a" "$objects"/*.o
cp "$source_tree/gif_lib.h" "$PREFIX/include/"
cp "$source_tree/COPYING" "$PREFIX/COPYING"
touch "$DONE"
echo "Built giflib for $HOST in $(($(date +%s) - started)) s"
