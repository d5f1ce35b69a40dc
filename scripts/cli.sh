#!/usr/bin/env bash
# Builds quillcrest-cli natively and runs it with the given arguments:
#   scripts/cli.sh list memcard.mcr
# With --emulated first, the build whose adaptor is emulated runs instead,
# holding a demo card that keeps what was written to it between runs
# (build/cli-demo-card.mcr):
#   scripts/cli.sh --emulated list --adaptor
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
program=quillcrest-cli
if [ "${1:-}" = --emulated ]; then
  program=quillcrest-cli-emulated
  shift
fi

"$ROOT/scripts/setup.sh" >&2
cmake -S "$ROOT" -B "$BUILD_DIR/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR/native" --target "$program" make_demo_card -j"$(nproc)" >/dev/null
if [ "$program" = quillcrest-cli-emulated ]; then
  card="$BUILD_DIR/cli-demo-card.mcr"
  [ -f "$card" ] || "$BUILD_DIR/native/bin/make_demo_card" "$card"
  export QUILLCREST_EMULATED_CARD="$card" QUILLCREST_EMULATED_STATE="$card"
  export QUILLCREST_EMULATED_DELAY_MS="${QUILLCREST_EMULATED_DELAY_MS:-1}"
fi
exec "$BUILD_DIR/native/bin/$program" "$@"
