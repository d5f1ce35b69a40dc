# Sourced by the scripts: the web page built into build/web/site, the folder
# any static host serves as it is.
: "${ROOT:?}" "${BUILD_DIR:?}"
WEB_CORE_DIR="$BUILD_DIR/web-core"
WEB_SITE_DIR="$BUILD_DIR/web/site"
WEB_PORT=${QUILLCREST_WEB_PORT:-8080}

# Debian's emscripten runs its tools with the node on the machine; a node
# that is not Debian's own finds Debian's acorn only through NODE_PATH.
web_emscripten_env() {
  [ -d /usr/share/nodejs ] && export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
  return 0
}

# build_web: the core compiled with emcmake (giflib from Debian's source
# package), then the page's files beside it; the service worker lists them
# all under a version made of their contents.
build_web() {
  web_emscripten_env
  source "$ROOT/scripts/debian_source.sh"
  local giflib
  giflib=$(fetch_debian_source giflib "$BUILD_DIR/giflib-source") || return 1
  emcmake cmake -S "$ROOT" -B "$WEB_CORE_DIR" -DCMAKE_BUILD_TYPE=MinSizeRel -DGIFLIB_SOURCE_DIR="$giflib" \
    >"$WEB_CORE_DIR.configure.log" 2>&1 || { cat "$WEB_CORE_DIR.configure.log"; return 1; }
  cmake --build "$WEB_CORE_DIR" -j"$(nproc)" >"$WEB_CORE_DIR.build.log" 2>&1 ||
    { grep -E "error|warning" -A3 "$WEB_CORE_DIR.build.log" | head -40; return 1; }
  rm -rf "$WEB_SITE_DIR"
  mkdir -p "$WEB_SITE_DIR"
  cp "$ROOT"/web/site/*.html "$ROOT"/web/site/*.css "$ROOT"/web/site/*.js "$ROOT"/web/site/manifest.webmanifest \
    "$WEB_CORE_DIR"/bin/quillcrest-core.mjs "$WEB_CORE_DIR"/bin/quillcrest-core.wasm "$WEB_SITE_DIR/"
  # The app's icon, from the window's, its pixels kept square.
  convert "$ROOT/resources/quillcrest.ico[0]" -filter point -resize 192x192 "$WEB_SITE_DIR/icon-192.png"
  convert "$ROOT/resources/quillcrest.ico[0]" -filter point -resize 512x512 "$WEB_SITE_DIR/icon-512.png"
  local files version
  files=$(cd "$WEB_SITE_DIR" && ls | grep -v '^sw.js$' | sed 's/.*/"&"/' | paste -sd, -)
  version=$(cd "$WEB_SITE_DIR" && cat * | sha256sum | cut -c1-12)
  sed -e "s/@VERSION@/$version/" -e "s|@FILES@|\"./\",$files|" "$ROOT/web/site/sw.js.in" >"$WEB_SITE_DIR/sw.js"
}

# serve_web: the folder on http://localhost:$WEB_PORT until interrupted.
serve_web() {
  if (exec 3<>"/dev/tcp/127.0.0.1/$WEB_PORT") 2>/dev/null; then
    echo "Something already answers on port $WEB_PORT: stop it, or set QUILLCREST_WEB_PORT to another port." >&2
    return 1
  fi
  echo "Quillcrest on http://localhost:$WEB_PORT (Ctrl+C stops it)"
  exec python3 -m http.server "$WEB_PORT" --bind 127.0.0.1 --directory "$WEB_SITE_DIR"
}
