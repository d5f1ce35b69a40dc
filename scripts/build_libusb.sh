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

source "$ROOT/scripts/apt_packages.sh"
started=$(date +%s)

# apt-get source needs a deb-src entry; add one of our own, never touching
# the machine's existing source files.
has_deb_src() {
  grep -qsE '^[[:space:]]*deb-src[[:space:]]|^Types:.*deb-src' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources
}
fetch_source() {
  if ! has_deb_src; then
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "Adding Debian source packages for $codename to apt"
    as_root tee /etc/apt/sources.list.d/quillcrest-deb-src.sources >/dev/null <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  fi
  if ! apt-cache showsrc libusb-1.0 2>/dev/null | grep -q '^Package:'; then
    update_package_indexes
  fi
  rm -rf "$SOURCE_DIR"
  mkdir -p "$SOURCE_DIR"
  (cd "$SOURCE_DIR" && apt-get source -q libusb-1.0 >apt-source.log 2>&1) ||
    { cat "$SOURCE_DIR/apt-source.log"; exit 1; }
  touch "$SOURCE_DIR/.quillcrest-fetched"
}

# The source is fetched once and shared by both builds.
[ -f "$SOURCE_DIR/.quillcrest-fetched" ] || fetch_source
source_tree=$(find "$SOURCE_DIR" -mindepth 1 -maxdepth 1 -type d -name 'libusb-1.0-*' | head -1)
[ -n "$source_tree" ] || { echo "apt-get source libusb-1.0 unpacked nothing" >&2; exit 1; }
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
