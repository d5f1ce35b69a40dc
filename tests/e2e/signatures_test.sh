#!/usr/bin/env bash
# The signatures quillcrest-cli writes through the system's cryptography
# (CNG in the Windows build), checked by the openssl tool alone: a VMP card
# and the PSV of a save. Usage: signatures_test.sh [RUNNER...] CLI, RUNNER
# being what runs CLI (wine for the Windows build).
set -euo pipefail
cli=("$@")
folder=$(mktemp -d /tmp/quillcrest-signatures-XXXXXX)
trap 'rm -rf "$folder"' EXIT
cd "$folder"

key=AB5ABC9FC1F49DE6A051DBAEFA518859
mask=(B3 0F FE ED B7 DC 5E B7 13 3D A6 0D 1B 6B 2C DC)

hex_of() { od -An -tx1 -v | tr -d ' \n' | tr a-f A-F; }
bytes_at() { dd if="$1" bs=1 skip="$2" count="$3" status=none; }

# The PS1 recipe: the HMAC-SHA1 key from the seed's AES-128 decryption and
# encryption, the file hashed with its signature field zeroed.
check() {
  local file=$1 seed_at=$2 signature_at=$3
  local seed decrypted encrypted hmac_key="" i
  seed=$(bytes_at "$file" "$seed_at" 20 | hex_of)
  bytes_at "$file" "$seed_at" 16 > seed16
  decrypted=$(openssl enc -d -aes-128-ecb -nopad -K "$key" -in seed16 | hex_of)
  encrypted=$(openssl enc -e -aes-128-ecb -nopad -K "$key" -in seed16 | hex_of)
  for i in $(seq 0 15); do
    hmac_key+=$(printf '%02X' $((0x${decrypted:2*i:2} ^ 0x${mask[i]})))
  done
  for i in 0 1 2 3; do
    hmac_key+=$(printf '%02X' $((0x${encrypted:2*i:2} ^ 0x${seed:32+2*i:2})))
  done
  { head -c "$signature_at" "$file"; head -c 20 /dev/zero; tail -c +$((signature_at + 21)) "$file"; } > unsigned
  local expected stored
  expected=$(openssl dgst -sha1 -mac HMAC -macopt "hexkey:$hmac_key" -binary unsigned | hex_of)
  stored=$(bytes_at "$file" "$signature_at" 20 | hex_of)
  if [ "$expected" != "$stored" ]; then
    echo "$file: signature $stored, openssl computes $expected"
    return 1
  fi
  echo "$file: signed as openssl signs it"
}

{ printf 'SC\021\001SIGNED'; head -c $((8192 - 10)) /dev/zero; } > save.bin
"${cli[@]}" format card.mcr
"${cli[@]}" import card.mcr save.bin --name BASLUS-00001SIGN
"${cli[@]}" convert card.mcr SCEVMC0.VMP
"${cli[@]}" export card.mcr 1 save.psv
[ "$(wc -c < SCEVMC0.VMP)" -eq 131200 ] && [ "$(wc -c < save.psv)" -eq $((0x84 + 8192)) ]
check SCEVMC0.VMP 12 32
check save.psv 8 28
