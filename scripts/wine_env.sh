# Sourced by the scripts: one 32-bit Wine prefix per build folder, made once.
# Without a window manager (Xvfb), Wine waits about 2 s whenever a managed
# top-level window closes; unmanaged windows close at once.
: "${BUILD_DIR:?}"
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all

make_wine_prefix() {
  [ -f "$WINEPREFIX/.quillcrest-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.quillcrest-ready"
}
