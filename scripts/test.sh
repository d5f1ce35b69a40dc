#!/usr/bin/env bash
# Builds everything and runs every test: the native core and command-line
# tests (the latter also through the real libusb under umockdev), the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz
# targets briefly, and the end-to-end tests of the real Windows programs
# under Wine and Xvfb.
# Ends with "N passed, N failed"; exits non-zero on any failure.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
JOBS=$(nproc)
passed=0
failed=0

"$ROOT/scripts/setup.sh" || { echo "0 passed, 1 failed"; exit 1; }

# A step that is not a test run (a build) counts as one failed test when it fails.
step() {
  local name=$1; shift
  if ! "$@"; then echo "FAILED: $name"; failed=$((failed + 1)); return 1; fi
}

# Runs ctest in a build folder and adds its counts.
run_ctest() {
  local folder=$1; shift
  local log="$folder/ctest.log"
  (cd "$folder" && ctest --output-on-failure "$@") 2>&1 | tee "$log" | grep -E "^\s*[0-9]+/[0-9]+ Test|tests passed|FAILED|Failure|Expected|Which is|Error" || true
  local summary
  summary=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -1)
  if [ -z "$summary" ]; then
    echo "FAILED: no test ran in $folder"; failed=$((failed + 1)); return
  fi
  local fail total
  fail=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
  total=$(echo "$summary" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
  passed=$((passed + total - fail))
  failed=$((failed + fail))
}

configure_and_build() {
  local folder=$1; shift
  cmake -S "$ROOT" -B "$folder" -DCMAKE_BUILD_TYPE=Release "$@" >"$folder.configure.log" 2>&1 ||
    { cat "$folder.configure.log"; return 1; }
  cmake --build "$folder" -j"$JOBS" 2>&1 | grep -E "warning|error" ; return "${PIPESTATUS[0]}"
}

mkdir -p "$BUILD_DIR"

echo "== native core tests"
step "native build" configure_and_build "$BUILD_DIR/native" && run_ctest "$BUILD_DIR/native" -j"$JOBS"

echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
step "sanitizer build" configure_and_build "$BUILD_DIR/sanitize" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize" &&
  run_ctest "$BUILD_DIR/sanitize" -j"$JOBS"

echo "== fuzz targets, briefly from their seeds (scripts/fuzz.sh runs them for longer)"
source "$ROOT/scripts/fuzz_env.sh"
# About 20 s in all. Each target is one test: a crash, a sanitizer report, a
# leak or a broken invariant fails it.
fuzz_seconds=3
if step "fuzz build" configure_and_build "$FUZZ_DIR" "${FUZZ_CMAKE_OPTIONS[@]}"; then
  for target in "${FUZZ_TARGETS[@]}"; do
    brief="$FUZZ_DIR/brief/$target"
    log="$FUZZ_DIR/logs/$target.brief.log"
    rm -rf "$brief" && mkdir -p "$brief" && cp "$FUZZ_DIR/corpus/$target"/seed-* "$brief/"
    if run_fuzz_target "$target" "$fuzz_seconds" "$log" -seed=1 "$brief"; then
      echo "fuzz $target: passed, $(fuzz_figures "$log")"
      passed=$((passed + 1))
    else
      echo "FAILED: fuzz $target, log $log"
      grep -E "invariant broken|ERROR:|SUMMARY:|runtime error" "$log" | head -5
      failed=$((failed + 1))
    fi
  done
fi

echo "== end-to-end tests of the Windows program under Wine"
# Names the exes that passed every test, for scripts/release.sh.
TESTED_STAMP="$BUILD_DIR/windows/e2e-passed.sha256"
rm -f "$TESTED_STAMP"
if step "libusb for MinGW" "$ROOT/scripts/build_libusb.sh" &&
   step "windows build" configure_and_build "$BUILD_DIR/windows" \
     -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DLIBUSB_MINGW_ROOT="$BUILD_DIR/libusb-mingw"; then
  source "$ROOT/scripts/wine_env.sh"
  use_test_wine_prefix
  exec 3> >(cat > "$BUILD_DIR/xvfb.display")
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  wait_for_display() { for _ in $(seq 100); do [ -s "$BUILD_DIR/xvfb.display" ] && return 0; sleep 0.1; done; return 1; }
  if step "start Xvfb" wait_for_display; then
    export DISPLAY=":$(head -1 "$BUILD_DIR/xvfb.display")"
    wineserver -p
    # Start Wine's background processes now, detached from ctest's pipes:
    # started by the first test, they would keep its output open.
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    # One program on the screen at a time: the tests read its pixels.
    run_ctest "$BUILD_DIR/windows" -j1
    wineserver -k || true
    [ -f "$BUILD_DIR/windows/main-window.bmp" ] &&
      convert "$BUILD_DIR/windows/main-window.bmp" "$BUILD_DIR/main-window.png" 2>/dev/null &&
      echo "Screenshot of the main window: $BUILD_DIR/main-window.png"
  fi
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
fi

if [ "$failed" -eq 0 ] && [ -f "$BUILD_DIR/windows/bin/quillcrest.exe" ]; then
  (cd "$BUILD_DIR/windows/bin" && sha256sum quillcrest.exe quillcrest-cli.exe > "$TESTED_STAMP")
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
