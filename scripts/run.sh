#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine on the current display.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"

"$ROOT/scripts/setup.sh"
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: set DISPLAY (for example DISPLAY=:0) and run this again." >&2
  exit 1
fi
cmake -S "$ROOT" -B "$BUILD_DIR/windows" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR/windows" --target quillcrest -j"$(nproc)"
source "$ROOT/scripts/wine_env.sh"
make_wine_prefix
exec wine "$BUILD_DIR/windows/bin/quillcrest.exe"
