#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine on the current display.
# With --emulated it starts the build that talks to an emulated adaptor
# holding a demo card instead, to try reading and writing without the hardware.
# Where this machine cannot run 32-bit programs, the 64-bit build runs under
# 64-bit Wine instead.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
program=quillcrest
case "${1:-}" in
  "") ;;
  --emulated) program=quillcrest-emulated ;;
  *) echo "usage: $0 [--emulated]" >&2; exit 2 ;;
esac

"$ROOT/scripts/setup.sh"
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: set DISPLAY (for example DISPLAY=:0) and run this again." >&2
  exit 1
fi
source "$ROOT/scripts/wine_env.sh"
choose_windows_bits
[ "$WINDOWS_BITS" = 32 ] || echo "Starting the $WINDOWS_BITS-bit build under $WINDOWS_BITS-bit Wine ($WINDOWS_BITS_WHY)."
windows_build=$(windows_build_folder "$WINDOWS_BITS")
configure_windows_build "$WINDOWS_BITS"
cmake --build "$windows_build" --target "$program" -j"$(nproc)"
use_wine "$WINDOWS_BITS"
use_desktop_wine_prefix
if [ "$program" = quillcrest-emulated ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD_DIR/native" --target make_demo_card -j"$(nproc)"
  "$BUILD_DIR/native/bin/make_demo_card" "$BUILD_DIR/demo-card.mcr"
  export QUILLCREST_EMULATED_CARD
  QUILLCREST_EMULATED_CARD=$("$WINE" winepath -w "$BUILD_DIR/demo-card.mcr")
  # About a second for a full read, so the progress bar can be seen moving.
  export QUILLCREST_EMULATED_DELAY_MS="${QUILLCREST_EMULATED_DELAY_MS:-1}"
fi
exec "$WINE" "$windows_build/bin/$program.exe"
