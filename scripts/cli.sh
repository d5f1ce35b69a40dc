#!/usr/bin/env bash
# Builds quillcrest-cli natively and runs it with the given arguments:
#   scripts/cli.sh list memcard.mcr
# With --emulated first, the build whose adaptor is emulated runs instead,
# holding a demo card that keeps what was written to it between runs
# (build/cli-demo-card.mcr):
#   scripts/cli.sh --emulated list --adaptor
# With --emulated=memcarduino, --emulated=dexdrive or --emulated=ps1cardlink, an emulated serial
# reader on a pseudo-terminal holds that demo card, and quillcrest-cli
# reaches it through its real serial code (QUILLCREST_READER names it):
#   scripts/cli.sh --emulated=dexdrive read backup.mcr
# QUILLCREST_EMULATED_FAULT gives the emulated reader's faults (the serial
# ones are in adaptor/emulator/README.md), QUILLCREST_EMULATED_PACED=1 makes a
# serial reader as slow as its line.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
program=quillcrest-cli
reader=
case "${1:-}" in
  --emulated) program=quillcrest-cli-emulated; shift ;;
  --emulated=memcarduino | --emulated=dexdrive | --emulated=ps1cardlink) reader=${1#--emulated=}; shift ;;
esac

"$ROOT/scripts/setup.sh" --when-needed >&2
cmake -S "$ROOT" -B "$BUILD_DIR/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR/native" --target "$program" make_demo_card quillcrest-serial-emulator -j"$(nproc)" >/dev/null
card="$BUILD_DIR/cli-demo-card.mcr"
[ "$program" = quillcrest-cli ] && [ -z "$reader" ] && exec "$BUILD_DIR/native/bin/$program" "$@"
[ -f "$card" ] || "$BUILD_DIR/native/bin/make_demo_card" "$card"
if [ "$program" = quillcrest-cli-emulated ]; then
  export QUILLCREST_EMULATED_CARD="$card" QUILLCREST_EMULATED_STATE="$card"
  export QUILLCREST_EMULATED_DELAY_MS="${QUILLCREST_EMULATED_DELAY_MS:-1}"
  exec "$BUILD_DIR/native/bin/$program" "$@"
fi
port_file=$(mktemp)
paced=()
[ "${QUILLCREST_EMULATED_PACED:-0}" = 1 ] && paced=(--paced)
"$BUILD_DIR/native/bin/quillcrest-serial-emulator" "$reader" --card "$card" --state "$card" \
  --faults "${QUILLCREST_EMULATED_FAULT:-}" "${paced[@]}" >"$port_file" &
emulator=$!
trap 'kill "$emulator" 2>/dev/null; wait "$emulator" 2>/dev/null; rm -f "$port_file"' EXIT
for _ in $(seq 100); do [ -s "$port_file" ] && break; sleep 0.05; done
QUILLCREST_READER="$reader:$(head -1 "$port_file")" "$BUILD_DIR/native/bin/$program" "$@"
