#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine (as root, or
# through sudo). Installs only what is missing, so a second call is quick.
set -euo pipefail

packages=(cmake make g++ googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb
          imagemagick libusb-1.0-0-dev pkgconf clang libclang-rt-14-dev dpkg-dev zip
          umockdev libumockdev-dev)
# libcrypto signs the VMP and PSV files; the tests check those signatures
# with the openssl tool.
packages+=(libssl-dev openssl)
# libpng and giflib write the command line's icon pictures; ImageMagick
# (above) decodes them in the tests.
packages+=(libpng-dev libgif-dev)
# The Debian package of quillcrest-cli: its manual page is made from the
# program's --help, and lintian checks the package.
packages+=(help2man lintian)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
as_root apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
