#!/usr/bin/env bash
# Runs the fuzz targets for as long as asked: scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS per target (default 600); all targets when none is named; as many
# at a time as there are cores. Each keeps and grows its corpus in
# build/fuzz/corpus/TARGET (the seeds, seed-*, are rewritten by every build),
# logs to build/fuzz/logs/TARGET.log and leaves a failing input in
# build/fuzz/artifacts/TARGET/. Exits non-zero when a target failed.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="$ROOT/build"
JOBS=$(nproc)
source "$ROOT/scripts/fuzz_env.sh"

seconds=${1:-600}
[ $# -gt 0 ] && shift
case $seconds in
  '' | *[!0-9]*) echo "usage: $0 [SECONDS] [TARGET...]; targets: ${FUZZ_TARGETS[*]}" >&2; exit 2 ;;
esac
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${FUZZ_TARGETS[@]}")
for target in "${targets[@]}"; do
  fuzz_max_len "$target" >/dev/null || exit 2
done

"$ROOT/scripts/setup.sh" --when-needed || exit 1
mkdir -p "$BUILD_DIR"
cmake -S "$ROOT" -B "$FUZZ_DIR" "${FUZZ_CMAKE_OPTIONS[@]}" >"$FUZZ_DIR.configure.log" 2>&1 ||
  { cat "$FUZZ_DIR.configure.log"; exit 1; }
cmake --build "$FUZZ_DIR" -j"$JOBS" || exit 1
add_third_party_seeds "$FUZZ_DIR/corpus"

run_one() {
  local target=$1
  local log="$FUZZ_DIR/logs/$target.log"
  run_fuzz_target "$target" "$seconds" "$log" "$FUZZ_DIR/corpus/$target"
  local status=$?
  if [ $status -eq 0 ]; then
    echo "$target: passed, $(fuzz_figures "$log")"
  else
    echo "$target: FAILED (exit $status), $(fuzz_figures "$log"); log $log, input in $FUZZ_DIR/artifacts/$target/"
  fi
  return $status
}

echo "Fuzzing ${targets[*]} for $seconds s each, $JOBS at a time"
failures=0
running=0
for target in "${targets[@]}"; do
  run_one "$target" &
  running=$((running + 1))
  if [ $running -ge "$JOBS" ]; then
    wait -n || failures=$((failures + 1))
    running=$((running - 1))
  fi
done
while [ $running -gt 0 ]; do
  wait -n || failures=$((failures + 1))
  running=$((running - 1))
done
echo "$((${#targets[@]} - failures)) passed, $failures failed"
[ $failures -eq 0 ]
