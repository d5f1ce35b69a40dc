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
# The web page: the core compiled by Debian's emscripten, and its tests in
# Debian's headless Chromium, driven by the playwright-core of
# tests/web/package-lock.json (npm, which comes with Node.js).
packages+=(emscripten chromium)
command -v npm >/dev/null || packages+=(nodejs npm)

source "$(dirname "$0")/apt_packages.sh"

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# The other scripts call this with --when-needed: when all that is missing
# are the 32-bit packages that could not be installed within the last hour
# (a mirror still mid-sync), they go on with the 64-bit Wine instead of
# asking the mirror again at every run. Run by itself, it always tries.
if [ "${1:-}" = --when-needed ] && [ -n "$(find "$WINE32_UNAVAILABLE_NOTE" -mmin -60 2>/dev/null)" ] &&
   ! printf '%s\n' "${missing[@]}" | grep -qv ':i386$'; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
update_package_indexes
install_packages "${missing[@]}"
