#!/usr/bin/env bash
# Builds and runs the benchmarks, which print their figures (they assert
# nothing): the card analysis, the per-game cards' listing and split, the transfer jobs (over the emulated adaptor,
# and over the emulated serial readers paced at their line's speed, about
# 90 s) and the command line's jobs natively, and the window's jobs under Wine on a virtual screen of their own,
# with the 32-bit build where this machine runs 32-bit programs and the
# 64-bit one under 64-bit Wine where it cannot, and the web page in headless
# Chromium (its load, its size, a card opened, paced serial reads).
#   scripts/bench.sh [native|wine|web]   (default: all three)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
which=${1:-all}
case "$which" in all | native | wine | web) ;; *) echo "usage: $0 [native|wine|web]" >&2; exit 2 ;; esac

"$ROOT/scripts/setup.sh" --when-needed
if [ "$which" = all ] || [ "$which" = native ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD_DIR/native" --target card_bench game_cards_bench transfer_bench serial_bench cli_bench -j"$(nproc)" >/dev/null
  for bench in card_bench game_cards_bench transfer_bench serial_bench cli_bench; do
    echo "== $bench"
    "$BUILD_DIR/native/bin/$bench"
  done
fi
if [ "$which" = all ] || [ "$which" = wine ]; then
  source "$ROOT/scripts/wine_env.sh"
  choose_windows_bits
  windows_build=$(windows_build_folder "$WINDOWS_BITS")
  configure_windows_build "$WINDOWS_BITS"
  cmake --build "$windows_build" --target wine_transfer_bench -j"$(nproc)" >/dev/null
  echo "== wine_transfer_bench ($WINDOWS_BITS-bit build under $WINDOWS_BITS-bit Wine: $WINDOWS_BITS_WHY)"
  use_wine "$WINDOWS_BITS"
  use_test_wine_prefix
  start_xvfb
  trap 'stop_xvfb; "$WINESERVER" -k 2>/dev/null || true' EXIT
  "$WINE" "$windows_build/bin/wine_transfer_bench.exe"
fi
if [ "$which" = all ] || [ "$which" = web ]; then
  # The page's benchmark drives the native emulators and make_demo_card.
  cmake -S "$ROOT" -B "$BUILD_DIR/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD_DIR/native" --target make_demo_card quillcrest-serial-emulator -j"$(nproc)" >/dev/null
  source "$ROOT/scripts/web_env.sh"
  build_web >/dev/null
  echo "== web_bench (headless Chromium)"
  (cd "$ROOT/tests/web" && { [ -d node_modules/playwright-core ] || npm ci --no-audit --no-fund >/dev/null; } &&
     node "$ROOT/bench/web_bench.mjs")
fi
