#!/usr/bin/env bash
# The window reading and writing through serial card readers on COM ports.
# Wine opens COMn as the Unix device its prefix's dosdevices/comN links to:
# here pseudo-terminals, on which the native emulated readers answer (a
# MemCARDuino on COM9, a DexDrive on COM8, PS1CardLink on COM7, whose
# slot 2 the test uses). The Windows test finds each
# reader's card in the state file the variables below name.
# Usage: serial_readers_test.sh EMULATOR RUNNER... TEST_PROGRAM [ARGUMENTS]
set -euo pipefail
emulator=$1
shift
[ -x "$emulator" ] || { echo "no $emulator: the native build makes it" >&2; exit 1; }
dosdevices="${WINEPREFIX:-$HOME/.wine}/dosdevices"
folder=$(mktemp -d /tmp/quillcrest-serial-e2e-XXXXXX)
pids=()
finish() {
  kill "${pids[@]}" 2>/dev/null || true
  wait "${pids[@]}" 2>/dev/null || true
  rm -rf "$folder"
}
trap finish EXIT

start() {
  local kind=$1 com=$2
  "$emulator" "$kind" --state "$folder/$kind" --link "$dosdevices/$com" >"$folder/$kind.port" &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$folder/$kind.port" ] && return 0; sleep 0.05; done
  echo "the emulated $kind did not start" >&2
  return 1
}
start memcarduino com9
start dexdrive com8
start ps1cardlink com7
windows_folder="Z:${folder//\//\\}"
export QUILLCREST_TEST_MEMCARDUINO_STATE="$windows_folder\\memcarduino"
export QUILLCREST_TEST_DEXDRIVE_STATE="$windows_folder\\dexdrive"
export QUILLCREST_TEST_PS1CARDLINK_STATE="$windows_folder\\ps1cardlink.slot2"
"$@"
