#!/usr/bin/env bash
# Builds everything and runs every test: the set-up's fallback on a mirror
# mid-sync, the native core and command-line tests (the latter also through
# the real libusb under umockdev), the Debian package of the command line,
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, the
# fuzz targets briefly, the web page in headless Chromium, both builds of the
# Windows programs (32-bit and 64-bit), and the end-to-end tests of the one
# this machine can run, under Wine and Xvfb.
# Ends with "N passed, N failed"; exits non-zero on any failure.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
JOBS=$(nproc)
passed=0
failed=0

"$ROOT/scripts/setup.sh" --when-needed || { echo "0 passed, 1 failed"; exit 1; }

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

echo "== the set-up on a mirror caught mid-sync, in a throw-away apt"
if "$ROOT/tests/setup/apt_fallback_test.sh" >"$BUILD_DIR/apt-fallback.log" 2>&1; then
  tail -1 "$BUILD_DIR/apt-fallback.log"
  passed=$((passed + 1))
else
  grep FAILED "$BUILD_DIR/apt-fallback.log"
  echo "FAILED: the set-up's fallback, log $BUILD_DIR/apt-fallback.log"; failed=$((failed + 1))
fi

echo "== native core tests"
# Names the native program that passed every test, for scripts/release.sh.
NATIVE_STAMP="$BUILD_DIR/native/tests-passed.sha256"
rm -f "$NATIVE_STAMP"
native_built=0
step "native build" configure_and_build "$BUILD_DIR/native" && native_built=1 &&
  run_ctest "$BUILD_DIR/native" -j"$JOBS"

echo "== the Debian package of quillcrest-cli: lintian, and installed into a throw-away root"
if [ "$native_built" = 1 ]; then
  if "$ROOT/tests/package/debian_package_test.sh" "$BUILD_DIR/native"; then
    passed=$((passed + 1))
  else
    echo "FAILED: Debian package"; failed=$((failed + 1))
  fi
fi

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
  add_third_party_seeds "$FUZZ_DIR/corpus"
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

echo "== the web page: the core compiled to WebAssembly, then driven in headless Chromium"
# Needs the native programs the tests compare with and plug in: the command
# line, the demo card's maker, the emulated readers and adaptor.
source "$ROOT/scripts/web_env.sh"
run_web_tests() {
  (cd "$ROOT/tests/web" && npm ci --no-audit --no-fund --loglevel=error >"$BUILD_DIR/web-npm.log" 2>&1) ||
    { cat "$BUILD_DIR/web-npm.log"; echo "FAILED: npm ci of the web tests' driver"; failed=$((failed + 1)); return; }
  local log="$BUILD_DIR/web-tests.log"
  (cd "$ROOT/tests/web" && node --test --test-reporter=tap cards.test.mjs readers.test.mjs page.test.mjs) \
    >"$log" 2>&1
  grep -E "^ *(not ok|ok) [0-9]+ - " "$log" | sed 's/^ */  web: /' || true
  local pass fail
  pass=$(sed -n 's/^# pass //p' "$log" | tail -1)
  fail=$(sed -n 's/^# fail //p' "$log" | tail -1)
  if [ -z "$pass" ]; then echo "FAILED: the web tests did not run, log $log"; failed=$((failed + 1)); return; fi
  passed=$((passed + pass))
  failed=$((failed + fail))
  [ "$fail" -eq 0 ] || echo "FAILED: $fail web tests, log $log"
  # Names the page's files that passed every web test, for scripts/release.sh.
  [ "$fail" -eq 0 ] && (cd "$WEB_SITE_DIR" && sha256sum -- * > "$BUILD_DIR/web/tests-passed.sha256")
  [ -f "$BUILD_DIR/web/test-output/page.png" ] && echo "Screenshot of the page: $BUILD_DIR/web/test-output/page.png"
}
rm -f "$BUILD_DIR/web/tests-passed.sha256"
if [ "$native_built" = 1 ] && step "web build" build_web; then
  run_web_tests
fi

echo "== the Windows programs, 32-bit and 64-bit, and their end-to-end tests under Wine"
source "$ROOT/scripts/wine_env.sh"
# Both builds compile on every run, so that a pointer-width fault shows in
# the 64-bit one wherever the 32-bit one is tested. The end-to-end tests run
# the 32-bit programs (the product) where this machine can run them, and the
# 64-bit ones under 64-bit Wine where it cannot.
build_windows() {
  local bits=$1
  # shellcheck disable=SC2046
  step "libusb and giflib for MinGW ($bits-bit)" windows_libraries "$bits" &&
    step "windows build ($bits-bit)" configure_and_build "$(windows_build_folder "$bits")" \
      -DCMAKE_TOOLCHAIN_FILE="$(toolchain_file "$bits")" $(windows_library_options "$bits")
}
built_32=0 built_64=0
build_windows 32 && built_32=1
build_windows 64 && built_64=1
if step "choose the Windows build to run" choose_windows_bits; then
  E2E_DIR=$(windows_build_folder "$WINDOWS_BITS")
  echo "end-to-end tests: $WINDOWS_BITS-bit build under $WINDOWS_BITS-bit Wine ($WINDOWS_BITS_WHY)"
  # Names the exes that passed every test, for scripts/release.sh.
  TESTED_STAMP="$E2E_DIR/e2e-passed.sha256"
  rm -f "$TESTED_STAMP"
  built_var="built_$WINDOWS_BITS"
  if [ "${!built_var}" = 1 ]; then
    use_wine "$WINDOWS_BITS"
    use_test_wine_prefix
    if step "start Xvfb" start_xvfb; then
      "$WINESERVER" -p
      # Start Wine's background processes now, detached from ctest's pipes:
      # started by the first test, they would keep its output open.
      "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null
      # One program on the screen at a time: the tests read its pixels.
      run_ctest "$E2E_DIR" -j1
      "$WINESERVER" -k || true
      # The main window at 96 DPI, and at 144 (main-window-144dpi.png).
      for shot in "$E2E_DIR"/main-window*.bmp; do
        [ -f "$shot" ] && convert "$shot" "$BUILD_DIR/$(basename "${shot%.bmp}").png" 2>/dev/null &&
          echo "Screenshot of the main window: $BUILD_DIR/$(basename "${shot%.bmp}").png"
      done
    fi
    stop_xvfb
  fi
  if [ "$failed" -eq 0 ] && [ -f "$E2E_DIR/bin/quillcrest.exe" ]; then
    (cd "$E2E_DIR/bin" && sha256sum quillcrest.exe quillcrest-cli.exe > "$TESTED_STAMP")
  fi
fi

if [ "$failed" -eq 0 ] && [ "$native_built" = 1 ]; then
  (cd "$BUILD_DIR/native/bin" && sha256sum quillcrest-cli > "$NATIVE_STAMP")
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
