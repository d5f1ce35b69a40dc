#!/usr/bin/env bash
# Writes build/release/quillcrest-<version>-win32.zip: the program, its
# command-line sibling, the libusb DLL they run with, both licences and the
# user guide. The exes packed are those the end-to-end tests ran: when the
# last full test run did not pass on these very exes, the tests run first.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
BIN="$BUILD_DIR/windows/bin"
STAMP="$BUILD_DIR/windows/e2e-passed.sha256"

tested() {
  [ -f "$STAMP" ] && [ "$(wc -l < "$STAMP")" -eq 2 ] && (cd "$BIN" && sha256sum -c --quiet "$STAMP" 2>/dev/null)
}
if ! tested; then
  echo "Running the tests on the exe to release first."
  "$ROOT/scripts/test.sh" >"$BUILD_DIR/release-test.log" 2>&1 ||
    { tail -5 "$BUILD_DIR/release-test.log"; echo "The tests failed: no release."; exit 1; }
  tested || { echo "The end-to-end tests did not record the exes: no release."; exit 1; }
fi

version=$(sed -n 's/^#define QUILLCREST_VERSION_TEXT "\(.*\)"/\1/p' "$ROOT/resources/version.h")
stage="$BUILD_DIR/release/quillcrest-$version-win32"
zip_file="$stage.zip"
rm -rf "$stage" "$zip_file"
mkdir -p "$stage"
cp "$BIN/quillcrest.exe" "$BIN/quillcrest-cli.exe" "$BIN/libusb-1.0.dll" "$stage/"
cp "$ROOT/docs/user-guide.txt" "$stage/README.txt"
cp "$ROOT/LICENSE.txt" "$stage/LICENSE.txt"
cp "$(find "$BUILD_DIR/libusb-source" -mindepth 2 -maxdepth 2 -name COPYING | head -1)" "$stage/LICENSE-libusb.txt"
# Windows users open these in Notepad: CRLF line ends.
for text in "$stage"/*.txt; do sed -i 's/\r\?$/\r/' "$text"; done
(cd "$BUILD_DIR/release" && zip -q -r -X "$(basename "$zip_file")" "$(basename "$stage")")
echo "$zip_file: $(stat -c %s "$zip_file") bytes (quillcrest.exe $(stat -c %s "$stage/quillcrest.exe")," \
  "quillcrest-cli.exe $(stat -c %s "$stage/quillcrest-cli.exe") bytes)"
