# Sourced by the scripts: which Windows build this machine can run, the Wine
# that runs it, and its prefixes, each made once.
: "${BUILD_DIR:?}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all

# Whether this machine runs 32-bit programs, found by running one: Wine's
# 32-bit loader. A kernel built or booted without 32-bit support answers
# "Exec format error", whatever the distribution installed.
runs_32bit_programs() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# Sets WINDOWS_BITS (32 or 64) and WINDOWS_BITS_WHY: the 32-bit program, the
# product, wherever this machine can run it. QUILLCREST_WINDOWS_BITS=64
# chooses the 64-bit build where both could run.
choose_windows_bits() {
  case "${QUILLCREST_WINDOWS_BITS:-}" in
    "") if runs_32bit_programs; then
          WINDOWS_BITS=32 WINDOWS_BITS_WHY="this machine runs 32-bit programs"
        elif [ -f "$BUILD_DIR/wine32-unavailable.txt" ]; then
          WINDOWS_BITS=64
          WINDOWS_BITS_WHY="the 32-bit Wine packages could not be installed: $(cat "$BUILD_DIR/wine32-unavailable.txt")"
        else
          WINDOWS_BITS=64 WINDOWS_BITS_WHY="this machine cannot run 32-bit programs"
        fi ;;
    64) WINDOWS_BITS=64 WINDOWS_BITS_WHY="QUILLCREST_WINDOWS_BITS=64" ;;
    32) runs_32bit_programs ||
          { echo "QUILLCREST_WINDOWS_BITS=32, but this machine cannot run 32-bit programs" >&2; return 1; }
        WINDOWS_BITS=32 WINDOWS_BITS_WHY="QUILLCREST_WINDOWS_BITS=32" ;;
    *) echo "QUILLCREST_WINDOWS_BITS must be 32 or 64" >&2; return 1 ;;
  esac
}

# windows_build_folder BITS, libusb_folder BITS, toolchain_file BITS: where
# each build of the Windows programs lives and how it is made.
windows_build_folder() { [ "$1" = 32 ] && echo "$BUILD_DIR/windows" || echo "$BUILD_DIR/windows64"; }
libusb_folder() { [ "$1" = 32 ] && echo "$BUILD_DIR/libusb-mingw" || echo "$BUILD_DIR/libusb-mingw64"; }
giflib_folder() { [ "$1" = 32 ] && echo "$BUILD_DIR/giflib-mingw" || echo "$BUILD_DIR/giflib-mingw64"; }
toolchain_file() { [ "$1" = 32 ] && echo "$ROOT/cmake/mingw-i686.cmake" || echo "$ROOT/cmake/mingw-x86_64.cmake"; }

# windows_libraries BITS: libusb and giflib built for that build.
windows_libraries() { "$ROOT/scripts/build_libusb.sh" "$1" && "$ROOT/scripts/build_giflib.sh" "$1"; }

# The build's own libraries, for its cmake.
windows_library_options() {
  echo "-DLIBUSB_MINGW_ROOT=$(libusb_folder "$1")" "-DGIFLIB_MINGW_ROOT=$(giflib_folder "$1")"
}

# configure_windows_build BITS: the libraries built for that build, then the
# build's folder configured, for a script that builds single targets of it.
configure_windows_build() {
  windows_libraries "$1"
  # shellcheck disable=SC2046
  cmake -S "$ROOT" -B "$(windows_build_folder "$1")" -DCMAKE_TOOLCHAIN_FILE="$(toolchain_file "$1")" \
    -DCMAKE_BUILD_TYPE=Release $(windows_library_options "$1") >/dev/null
}

# use_wine BITS: the Wine for that build, called as "$WINE" and
# "$WINESERVER". Debian's wine and wineboot scripts always take the 32-bit
# loader once wine32 is installed, so the 64-bit programs are named by path.
use_wine() {
  WINE_BITS=$1
  if [ "$1" = 32 ]; then
    export WINEARCH=win32
    unset WINELOADER
    WINE=wine
    export WINESERVER=/usr/lib/wine/wineserver32
  else
    export WINEARCH=win64
    export WINELOADER=/usr/lib/wine/wine64
    WINE=$WINELOADER
    export WINESERVER=/usr/lib/wine/wineserver64
  fi
}

# make_wine_prefix FOLDER MANAGED: MANAGED N leaves the program's windows to
# Wine alone, Y to the desktop's window manager. The prefix is of the Wine
# chosen with use_wine.
make_wine_prefix() {
  export WINEPREFIX=$1
  [ -f "$WINEPREFIX/.quillcrest-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$2" /f >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$WINEPREFIX/.quillcrest-ready"
}

prefix_suffix() { [ "$WINE_BITS" = 32 ] && echo "" || echo 64; }

# The tests' prefix: under Xvfb there is no window manager, and Wine waits
# about 2 s whenever a managed top-level window closes; unmanaged ones close
# at once.
use_test_wine_prefix() { make_wine_prefix "$BUILD_DIR/wineprefix$(prefix_suffix)" N; }

# A person's prefix, for scripts/run.sh: the desktop's window manager
# frames, moves and closes the window as any other.
use_desktop_wine_prefix() { make_wine_prefix "$BUILD_DIR/wineprefix$(prefix_suffix)-desktop" Y; }

# start_xvfb: a virtual screen of its own for the tests and benchmarks,
# exported as DISPLAY; stop_xvfb ends it.
start_xvfb() {
  local display_file="$BUILD_DIR/xvfb.display"
  rm -f "$display_file"
  exec 3> >(cat > "$display_file")
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  exec 3>&-
  for _ in $(seq 100); do
    if [ -s "$display_file" ]; then
      export DISPLAY=":$(head -1 "$display_file")"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
stop_xvfb() {
  kill "$XVFB_PID" 2>/dev/null
  wait "$XVFB_PID" 2>/dev/null
  return 0
}
