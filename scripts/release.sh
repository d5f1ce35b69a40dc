#!/usr/bin/env bash
# Writes build/release/quillcrest-<version>-win32.zip: the program, its
# command-line sibling, the libusb DLL they run with, the licences (theirs,
# libusb's, and giflib's, which they link in) and the user guide; and quillcrest-<version>-win64.zip, the same built for 64-bit
# Windows, when a full test run passed the 64-bit programs. Each zip packs
# the exes the end-to-end tests ran. Beside them, the Debian package of the
# command line, quillcrest-cli_<version>_<arch>.deb, of the native program the
# tests ran, and quillcrest-<version>-web.zip, the web page's folder, which
# any static host serves as it is. When the last full test run did not pass
# the exes of the build this machine tests, the native program or the page,
# as they are now, the tests run first.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
source "$ROOT/scripts/wine_env.sh"

# tested BITS: the build's exes are those a full test run passed.
tested() {
  local folder stamp
  folder=$(windows_build_folder "$1")
  stamp="$folder/e2e-passed.sha256"
  [ -f "$stamp" ] && [ "$(wc -l < "$stamp")" -eq 2 ] && (cd "$folder/bin" && sha256sum -c --quiet "$stamp" >/dev/null 2>&1)
}
# native_tested: the native program is the one a full test run passed.
native_tested() {
  local stamp="$BUILD_DIR/native/tests-passed.sha256"
  [ -f "$stamp" ] && (cd "$BUILD_DIR/native/bin" && sha256sum -c --quiet "$stamp" >/dev/null 2>&1)
}
# web_tested: the page's files are those the web tests passed.
web_tested() {
  local stamp="$BUILD_DIR/web/tests-passed.sha256"
  [ -f "$stamp" ] && (cd "$BUILD_DIR/web/site" && sha256sum -c --quiet "$stamp" >/dev/null 2>&1)
}
choose_windows_bits
if ! tested "$WINDOWS_BITS" || ! native_tested || ! web_tested; then
  echo "Running the tests on the programs to release first."
  "$ROOT/scripts/test.sh" >"$BUILD_DIR/release-test.log" 2>&1 ||
    { tail -5 "$BUILD_DIR/release-test.log"; echo "The tests failed: no release."; exit 1; }
fi

version=$(sed -n 's/^#define QUILLCREST_VERSION_TEXT "\(.*\)"/\1/p' "$ROOT/resources/version.h")
# pack BITS: one zip of the build's tested exes.
pack() {
  local bin="$(windows_build_folder "$1")/bin"
  local stage="$BUILD_DIR/release/quillcrest-$version-win$1"
  local zip_file="$stage.zip"
  rm -rf "$stage" "$zip_file"
  mkdir -p "$stage"
  cp "$bin/quillcrest.exe" "$bin/quillcrest-cli.exe" "$bin/libusb-1.0.dll" "$stage/"
  cp "$ROOT/docs/user-guide.txt" "$stage/README.txt"
  cp "$ROOT/LICENSE.txt" "$stage/LICENSE.txt"
  cp "$(find "$BUILD_DIR/libusb-source" -mindepth 2 -maxdepth 2 -name COPYING | head -1)" "$stage/LICENSE-libusb.txt"
  cp "$(giflib_folder "$1")/COPYING" "$stage/LICENSE-giflib.txt"
  # Windows users open these in Notepad: CRLF line ends.
  for text in "$stage"/*.txt; do sed -i 's/\r\?$/\r/' "$text"; done
  (cd "$BUILD_DIR/release" && zip -q -r -X "$(basename "$zip_file")" "$(basename "$stage")")
  echo "$zip_file: $(stat -c %s "$zip_file") bytes (quillcrest.exe $(stat -c %s "$stage/quillcrest.exe")," \
    "quillcrest-cli.exe $(stat -c %s "$stage/quillcrest-cli.exe") bytes)"
}
packed=0
for bits in 32 64; do
  if tested "$bits"; then
    pack "$bits"
    packed=$((packed + 1))
  elif [ "$bits" = 32 ]; then
    runs_32bit_programs &&
      echo "No win32 zip: the last full test run did not pass the 32-bit programs as they are now." ||
      echo "No win32 zip: this machine cannot run 32-bit programs, so no test run here can pass them."
  else
    echo "No win64 zip: no full test run passed the 64-bit programs as they are now" \
      "(QUILLCREST_WINDOWS_BITS=64 scripts/test.sh runs them where 32-bit programs run too)."
  fi
done
[ "$packed" -gt 0 ] || { echo "The end-to-end tests recorded no exes: no release."; exit 1; }

# cpack builds what is out of date before it packs: the program it packed
# must still be the tested one.
deb=$("$ROOT/scripts/debian_package.sh" "$BUILD_DIR/native" "$BUILD_DIR/release")
if ! native_tested; then
  rm -f "$deb"
  echo "The native build changed since the tests passed it: no Debian package."
  exit 1
fi
echo "$deb: $(stat -c %s "$deb") bytes (depends on $(dpkg-deb -f "$deb" Depends))"

# The page: its folder as it was tested, to serve from any static host.
web_stage="$BUILD_DIR/release/quillcrest-$version-web"
rm -rf "$web_stage" "$web_stage.zip"
cp -r "$BUILD_DIR/web/site" "$web_stage"
cp "$ROOT/docs/user-guide.txt" "$web_stage/README.txt"
cp "$ROOT/LICENSE.txt" "$web_stage/LICENSE.txt"
cp "$(find "$BUILD_DIR/giflib-source" -mindepth 2 -maxdepth 2 -name COPYING | head -1)" "$web_stage/LICENSE-giflib.txt"
(cd "$BUILD_DIR/release" && zip -q -r -X "$(basename "$web_stage").zip" "$(basename "$web_stage")")
echo "$web_stage.zip: $(stat -c %s "$web_stage.zip") bytes"
