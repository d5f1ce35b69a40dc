#!/usr/bin/env bash
# Builds the web page (the core compiled to WebAssembly by Debian's
# emscripten, beside the page's files) into build/web/site, and serves it on
# http://localhost:8080 (QUILLCREST_WEB_PORT names another port):
#   scripts/web.sh           build, then serve
#   scripts/web.sh --build   build only
#   scripts/web.sh --serve   serve what was built last (the tests do)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
case "${1:-}" in "" | --build | --serve) ;; *) echo "usage: $0 [--build|--serve]" >&2; exit 2 ;; esac
source "$ROOT/scripts/web_env.sh"
if [ "${1:-}" = --serve ]; then
  [ -f "$WEB_SITE_DIR/index.html" ] || { echo "Nothing built in $WEB_SITE_DIR: run $0 --build" >&2; exit 1; }
  serve_web
fi
"$ROOT/scripts/setup.sh" --when-needed
build_web
echo "Built the page into $WEB_SITE_DIR"
[ "${1:-}" = --build ] || serve_web
