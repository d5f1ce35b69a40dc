#!/usr/bin/env bash
# Makes the Debian package of quillcrest-cli with CPack from a native build
# (packaging/CMakeLists.txt says what it holds), writes it into a folder and
# prints its path:
#   scripts/debian_package.sh build/native build/release
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
work="$build/debian-package"
rm -rf "$work"
mkdir -p "$work"
(cd "$build" && cpack -G DEB -B "$work") >"$work.log" 2>&1 || { cat "$work.log" >&2; exit 1; }
debs=("$work"/quillcrest-cli_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "cpack made no single package in $work" >&2; exit 1; }
mv -f "${debs[0]}" "$out/"
echo "$out/$(basename "${debs[0]}")"
