#!/usr/bin/env bash
# Builds libusb-1.0 for Windows (MinGW-w64) from Debian's source package:
#   scripts/build_libusb.sh [32|64]
# 32-bit (the default) into build/libusb-mingw, 64-bit into
# build/libusb-mingw64: bin/libusb-1.0.dll, lib/libusb-1.0.dll.a and
# include/libusb-1.0/libusb.h. libusb is LGPL-2.1, so the program ships it as
# this DLL beside the exe, where a user can replace it.
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
PREFIX=$(libusb_folder "$bits")
SOURCE_DIR="$BUILD_DIR/libusb-source"
DONE="$PREFIX/.quillcrest-built"

[ -f "$DONE" ] && [ -f "$PREFIX/bin/libusb-1.0.dll" ] && exit 0

source "$ROOT/scripts/debian_source.sh"
started=$(date +%s)

# The source is fetched once and shared by both builds.
source_tree=$(fetch_debian_source libusb-1.0 "$SOURCE_DIR")
rm -rf "$PREFIX"

# libusb's configure links libgcc statically for Windows, so the DLL needs
# only system DLLs; the import check below holds it to that.
rm -rf "$source_tree/build-$HOST"
mkdir -p "$source_tree/build-$HOST"
cd "$source_tree/build-$HOST"
../configure --host="$HOST" --prefix="$PREFIX" --disable-static --disable-examples-build --disable-tests-build >configure.log 2>&1 ||
  { tail -30 configure.log; exit 1; }
make -j"$(nproc)" >make.log 2>&1 || { tail -30 make.log; exit 1; }
make install-strip >install.log 2>&1 || { tail -30 install.log; exit 1; }

imports=$("$HOST-objdump" -p "$PREFIX/bin/libusb-1.0.dll" | sed -n 's/^[[:space:]]*DLL Name: //p')
if echo "$imports" | grep -qiE 'libgcc|libwinpthread|libstdc'; then
  echo "libusb-1.0.dll depends on a MinGW runtime DLL:" $imports >&2
  exit 1
fi
touch "$DONE"
echo "Built libusb for $HOST in $(($(date +%s) - started)) s (imports:" $imports")"
