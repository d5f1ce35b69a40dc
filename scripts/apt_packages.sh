# Sourced by the scripts that install Debian packages: apt-get as the set-up
# needs it on a real mirror, which is now and then caught mid-sync.
#
# APT_GET is the apt-get to call (with its options); the test of these
# functions points it at a throw-away apt configuration of its own.
: "${APT_GET:=apt-get}"
# Where the set-up notes that the 32-bit Wine packages could not be
# installed, for scripts/wine_env.sh to say why it runs the 64-bit programs.
: "${WINE32_UNAVAILABLE_NOTE:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine32-unavailable.txt}"

as_root() { if [ "$(id -u)" -eq 0 ] || [ -n "${APT_AS_USER:-}" ]; then "$@"; else sudo "$@"; fi; }

# update_package_indexes: "apt-get update", going on when some indexes
# failed to download but others came: apt-get exits 100 for one index the
# mirror is still synchronising (its size or hash disagrees with the Release
# file), and keeps the old copy of that index, or none. The packages asked
# for next may well be installable all the same; whether they are is the
# install's to find out. Says which indexes failed and why.
update_package_indexes() {
  local log status=0
  log=$(mktemp)
  as_root $APT_GET update -q >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then rm -f "$log"; return 0; fi
  # "Err:6 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
  # and the reason on the line after it.
  local failed
  failed=$(awk '/^Err:[0-9]+ / { sub(/^Err:[0-9]+ /, ""); index_name = $0; next }
                index_name != "" && /^  / { sub(/^ +/, ""); print index_name " (" $0 ")"; index_name = "" }' "$log")
  local fetched
  fetched=$(grep -cE '^(Get|Hit):[0-9]+ ' "$log" || true)
  if [ -z "$failed" ] || [ "$fetched" -eq 0 ]; then
    cat "$log" >&2
    rm -f "$log"
    echo "apt-get update failed (exit status $status)." >&2
    return 1
  fi
  echo "apt-get update: these package indexes failed to download and were left out; going on with the others:"
  echo "$failed" | sed 's/^/  /'
  rm -f "$log"
  return 0
}

# install_packages PACKAGE...: installs them all; when that fails and some
# are 32-bit (NAME:i386), installs the others alone. A multi-arch package
# must be installed at the same version for both architectures, so an i386
# index that failed to download leaves wine32's libraries behind the amd64
# ones already installed: the 64-bit Wine still runs the 64-bit programs.
# The note it leaves names the packages and tells how to get them later.
install_packages() {
  local native=() foreign=() package
  for package in "$@"; do
    case "$package" in *:i386) foreign+=("$package") ;; *) native+=("$package") ;; esac
  done
  local log
  log=$(mktemp)
  if as_root env DEBIAN_FRONTEND=noninteractive $APT_GET install -y -q "$@" >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    [ ${#foreign[@]} -eq 0 ] || rm -f "$WINE32_UNAVAILABLE_NOTE"
    return 0
  fi
  if [ ${#foreign[@]} -eq 0 ]; then cat "$log" >&2; rm -f "$log"; return 1; fi
  local why
  # The line about the first 32-bit package asked for says most; else apt's first complaint.
  # (grep finds nothing often: "|| true" keeps set -e callers going.)
  why=$(grep -E "^ *${foreign[0]//+/\\+} : Depends:" "$log" | head -1 | sed -E 's/^ +//' || true)
  [ -n "$why" ] || why=$(grep -E '^(E: | [^ ].*: Depends:)' "$log" | head -1 | sed -E 's/^ +//' || true)
  rm -f "$log"
  echo "The 32-bit packages ${foreign[*]} cannot be installed now ($why);"
  echo "installing the others: the Windows programs are then tested as 64-bit programs under 64-bit Wine."
  if [ ${#native[@]} -gt 0 ]; then
    as_root env DEBIAN_FRONTEND=noninteractive $APT_GET install -y -q "${native[@]}" || return 1
  fi
  mkdir -p "$(dirname "$WINE32_UNAVAILABLE_NOTE")"
  printf '%s (%s); scripts/setup.sh installs them once the mirror has them\n' \
    "${foreign[*]}" "$why" >"$WINE32_UNAVAILABLE_NOTE"
  return 0
}
