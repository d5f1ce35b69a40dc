#!/usr/bin/env bash
# A split onto an SD card that fills up part way (a 300 KiB tmpfs in a mount
# namespace of the test's own: room for two cards of four): the command
# names the card it could not write, every card file on the SD card is
# whole (a card, or not there at all: no half-written file, no temporary
# one), and the same split run again once there is room finishes the job,
# leaving exactly what one uninterrupted split leaves.
#   full_sd_card_test.sh QUILLCREST_CLI MAKE_DEMO_CARD
set -uo pipefail
cli=$1
make_demo_card=$2
if ! unshare -rm true 2>/dev/null; then
  echo "This system lets no one make a mount namespace (unshare -rm): the test cannot fill a file system."
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" CLI="$cli" WORK="$work"
"$make_demo_card" "$work/demo.mcr" >/dev/null || exit 1
mkdir -p "$work/whole" "$work/sd"
"$cli" split "$work/demo.mcr" --into "$work/whole" --layout memcardpro >/dev/null || exit 1

unshare -rm bash -s <<'INNER'
failures=0
check() { if ! eval "$2"; then echo "FAILED: $1"; failures=$((failures + 1)); fi; }
mount -t tmpfs -o size=300k quillcrest-sd "$WORK/sd" || { echo "FAILED: no tmpfs"; exit 1; }
"$CLI" split "$WORK/demo.mcr" --into "$WORK/sd" --layout memcardpro >"$WORK/out" 2>"$WORK/err"
status=$?
cat "$WORK/out" "$WORK/err"
check "a full SD card fails the split" '[ "$status" -eq 1 ]'
check "the message names the card not written" \
  'grep -q "^quillcrest-cli: $WORK/sd/MemoryCards/SLPS-00003/SLPS-00003-1.mcd: Cannot write file !$" "$WORK/err"'
check "and says how to finish the job" 'grep -q "Run it again once the cause is mended" "$WORK/err"'
check "no temporary file is left" '[ -z "$(find "$WORK/sd" -name "*.quillcrest-tmp")" ]'
for card in $(find "$WORK/sd" -name "*.mcd"); do
  check "$card is whole" '[ "$(stat -c %s "$card")" -eq 131072 ] && "$CLI" list "$card" >/dev/null'
done
check "the cards before it are written" '[ "$(find "$WORK/sd" -name "*.mcd" | wc -l)" -eq 2 ]'

mount -o remount,size=2m "$WORK/sd"
"$CLI" split "$WORK/demo.mcr" --into "$WORK/sd" --layout memcardpro >"$WORK/out" 2>&1
status=$?
cat "$WORK/out"
check "run again, it finishes" '[ "$status" -eq 0 ] && grep -q "^2 saves split into 2 game cards, 2 already there.$" "$WORK/out"'
check "as one split that was never stopped" 'diff -r "$WORK/whole" "$WORK/sd"'
umount "$WORK/sd"
[ "$failures" -eq 0 ] && echo "full SD card: all checks passed"
exit $((failures > 0))
INNER
