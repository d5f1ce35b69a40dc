#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine on the current display.
# With --emulated it starts the build that talks to an emulated adaptor
# holding a demo card instead, to try reading and writing without the hardware.
# With --emulated=memcarduino, --emulated=dexdrive or --emulated=ps1cardlink the program itself starts,
# with an emulated serial reader holding the demo card on COM9 (a native
# program on a pseudo-terminal, which the prefix's dosdevices/com9 names),
# chosen in its "Card Reader" menu.
# Where this machine cannot run 32-bit programs, the 64-bit build runs under
# 64-bit Wine instead.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
program=quillcrest
reader=
case "${1:-}" in
  "") ;;
  --emulated) program=quillcrest-emulated ;;
  --emulated=memcarduino | --emulated=dexdrive | --emulated=ps1cardlink) reader=${1#--emulated=} ;;
  *) echo "usage: $0 [--emulated|--emulated=memcarduino|--emulated=dexdrive|--emulated=ps1cardlink]" >&2; exit 2 ;;
esac

"$ROOT/scripts/setup.sh" --when-needed
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
if [ -n "$reader" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD_DIR/native" --target make_demo_card quillcrest-serial-emulator -j"$(nproc)"
  "$BUILD_DIR/native/bin/make_demo_card" "$BUILD_DIR/demo-card.mcr"
  port_file=$(mktemp)
  "$BUILD_DIR/native/bin/quillcrest-serial-emulator" "$reader" --card "$BUILD_DIR/demo-card.mcr" \
    --link "$WINEPREFIX/dosdevices/com9" >"$port_file" &
  emulator=$!
  trap 'kill "$emulator" 2>/dev/null; rm -f "$port_file"' EXIT
  for _ in $(seq 100); do [ -s "$port_file" ] && break; sleep 0.05; done
  "$WINE" reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\QuillcrestDemo' /d COM9 /f >/dev/null
  "$WINE" reg add 'HKCU\Software\Quillcrest' /v Reader /d "$reader:COM9" /f >/dev/null
  "$WINE" "$windows_build/bin/$program.exe"
  exit
fi
exec "$WINE" "$windows_build/bin/$program.exe"
