# Sourced by the scripts: the 32-bit Wine prefixes, each made once.
: "${BUILD_DIR:?}"
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all

# make_wine_prefix FOLDER MANAGED: MANAGED N leaves the program's windows to
# Wine alone, Y to the desktop's window manager.
make_wine_prefix() {
  export WINEPREFIX=$1
  [ -f "$WINEPREFIX/.quillcrest-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$2" /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.quillcrest-ready"
}

# The tests' prefix: under Xvfb there is no window manager, and Wine waits
# about 2 s whenever a managed top-level window closes; unmanaged ones close
# at once.
use_test_wine_prefix() { make_wine_prefix "$BUILD_DIR/wineprefix" N; }

# A person's prefix, for scripts/run.sh: the desktop's window manager
# frames, moves and closes the window as any other.
use_desktop_wine_prefix() { make_wine_prefix "$BUILD_DIR/wineprefix-desktop" Y; }
