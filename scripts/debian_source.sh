# Sourced by the scripts that build a library for MinGW from Debian's own
# source package (libusb, giflib): apt's source entries, and the package
# fetched and unpacked once into a folder of the build.
: "${ROOT:?}"
source "$ROOT/scripts/apt_packages.sh"

# apt-get source needs a deb-src entry; add one of our own, never touching
# the machine's existing source files.
has_deb_src() {
  grep -qsE '^[[:space:]]*deb-src[[:space:]]|^Types:.*deb-src' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources
}

# fetch_debian_source PACKAGE FOLDER: the package's source, patched as Debian
# builds it, unpacked in FOLDER (done once; a second call returns at once).
# Prints the unpacked tree's path.
fetch_debian_source() {
  local package=$1 folder=$2
  if [ ! -f "$folder/.quillcrest-fetched" ]; then
    if ! has_deb_src; then
      local codename
      codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
      echo "Adding Debian source packages for $codename to apt" >&2
      as_root tee /etc/apt/sources.list.d/quillcrest-deb-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    fi
    if ! apt-cache showsrc "$package" 2>/dev/null | grep -q '^Package:'; then
      update_package_indexes >&2 || return 1
    fi
    rm -rf "$folder"
    mkdir -p "$folder"
    (cd "$folder" && apt-get source -q "$package" >apt-source.log 2>&1) ||
      { cat "$folder/apt-source.log" >&2; return 1; }
    touch "$folder/.quillcrest-fetched"
  fi
  local tree
  tree=$(find "$folder" -mindepth 1 -maxdepth 1 -type d | head -1)
  [ -n "$tree" ] || { echo "apt-get source $package unpacked nothing" >&2; return 1; }
  echo "$tree"
}
