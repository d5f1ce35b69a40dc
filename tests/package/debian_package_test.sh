#!/usr/bin/env bash
# The Debian package of quillcrest-cli as a user gets it: made from a native
# build, checked by lintian, unpacked into a throw-away root, and the program,
# manual page, completion and maintainer script found there working.
#   tests/package/debian_package_test.sh build/native
# Prints what is wrong and exits non-zero on the first fault.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
scratch=$(mktemp -d /tmp/quillcrest-package-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fault() { echo "Debian package: $*" >&2; exit 1; }

deb=$("$ROOT/scripts/debian_package.sh" "$build" "$scratch")
version=$(sed -n 's/^#define QUILLCREST_VERSION_TEXT "\(.*\)"/\1/p' "$ROOT/resources/version.h")
[ "$(basename "$deb")" = "quillcrest-cli_${version}_$(dpkg --print-architecture).deb" ] ||
  fault "named $(basename "$deb")"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, Depends: $(dpkg-deb -f "$deb" Depends)"
# Computed by dpkg-shlibdeps from what the program links: libusb, and
# libpng and giflib for the icon pictures.
depends=$(dpkg-deb -f "$deb" Depends)
for library in 'libusb-1\.0-0' libpng16-16 libgif7; do
  grep -q "$library (>=" <<<"$depends" || fault "no dependency on $library"
done

# lintian: no error. Its other findings are shown (root's warning is not one).
lintian --display-info --fail-on error "$deb" 2> >(grep -v "root privileges" >&2) ||
  fault "lintian found errors"

# The command line only, where Debian puts each file.
expected_files="./usr/bin/quillcrest-cli
./usr/lib/udev/rules.d/70-ps3-memory-card-adaptor.rules
./usr/share/bash-completion/completions/quillcrest-cli
./usr/share/doc/quillcrest-cli/changelog.gz
./usr/share/doc/quillcrest-cli/copyright
./usr/share/man/man1/quillcrest-cli.1.gz"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
[ "$files" = "$expected_files" ] || fault "holds other files than expected:"$'\n'"$files"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$scratch/control"
program="$root/usr/bin/quillcrest-cli"
[ "$("$program" --version)" = "quillcrest-cli $version" ] || fault "--version says $("$program" --version)"
"$program" format "$scratch/blank.mcr" >/dev/null || fault "format failed"
listing=$("$program" list "$scratch/blank.mcr") || fault "list failed"
[ "$listing" = "$(printf '%s\tfree\n' {1..15}; echo 0/15)" ] || fault "list of a new card:"$'\n'"$listing"

manual="$root/usr/share/man/man1/quillcrest-cli.1.gz"
zcat "$manual" | grep -q "^\.TH QUILLCREST-CLI \"1\" .*\"quillcrest-cli $version\"" ||
  fault "the manual page is not that of quillcrest-cli $version"

# The completion offers the commands the installed program's --help lists.
commands=$("$program" --help | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' | sort -u)
completed=$(bash -c 'source "$1"; COMP_WORDS=(quillcrest-cli ""); COMP_CWORD=1; _quillcrest_cli
                     printf "%s\n" "${COMPREPLY[@]}"' - "$root/usr/share/bash-completion/completions/quillcrest-cli" |
            grep -v '^--' | sort)
[ "$completed" = "$commands" ] ||
  fault "the completion offers"$'\n'"$completed"$'\n'"where --help lists"$'\n'"$commands"

# The postinst never fails an install: udev told only where it runs (its
# control socket is there), and a refused reload ignored.
mkdir "$scratch/path"
printf '#!/bin/sh\necho "$*" >>"%s"\nexit 1\n' "$scratch/udevadm-calls" >"$scratch/path/udevadm"
chmod 755 "$scratch/path/udevadm"
PATH="$scratch/path:$PATH" sh "$scratch/control/postinst" configure || fault "postinst configure failed"
if [ -S /run/udev/control ]; then
  [ "$(cat "$scratch/udevadm-calls")" = "control --reload-rules" ] || fault "postinst did not reload udev's rules"
else
  [ ! -e "$scratch/udevadm-calls" ] || fault "postinst called udevadm where udev does not run"
fi
echo "Debian package: lintian clean of errors; installed program, manual page, completion and postinst as expected"
