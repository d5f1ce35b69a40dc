# Sourced by scripts/test.sh and scripts/fuzz.sh: the fuzz targets of fuzz/,
# their build in build/fuzz and how one of them runs.
: "${ROOT:?}" "${BUILD_DIR:?}"
FUZZ_DIR="$BUILD_DIR/fuzz"
FUZZ_TARGETS=(analyse_card read_card_file import_save export_delete slot_text adaptor_replies serial_replies
              game_cards)
# clang from Debian; the top-level CMakeLists.txt instruments everything for
# libFuzzer under AddressSanitizer and UBSan when QUILLCREST_FUZZ is on.
FUZZ_CMAKE_OPTIONS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang
                    -DCMAKE_CXX_COMPILER=clang++ -DQUILLCREST_FUZZ=ON -DQUILLCREST_TESTS=OFF)

# The longest input a target is given: room for a whole card image, a GME
# file and longer, a card and a save file, or a long script of replies.
fuzz_max_len() {
  case $1 in
    analyse_card) echo 131072 ;;
    read_card_file) echo 140000 ;;
    import_save) echo 262144 ;;
    export_delete | slot_text) echo 131080 ;;
    adaptor_replies | serial_replies) echo 4096 ;;
    game_cards) echo 270000 ;;
    *) echo "unknown fuzz target $1" >&2; return 1 ;;
  esac
}

# The third-party corpus beside the project (QUILLCREST_THIRD_PARTY names
# another folder): real files from other programs and consoles, never part
# of the project. When it is there, add_third_party_seeds CORPUS copies each
# file into the seeds of the targets that read its kind, as
# CORPUS/TARGET/seed-third-party-*, at every run.
THIRD_PARTY=${QUILLCREST_THIRD_PARTY:-$ROOT/../shared/third_party}
add_third_party_seeds() {
  local corpus=$1 file name size
  [ -f "$THIRD_PARTY/MANIFEST.md" ] || return 0
  mkdir -p "$corpus"/{analyse_card,read_card_file,export_delete,import_save}
  while IFS= read -r -d '' file; do
    name=seed-third-party-$(echo "${file#"$THIRD_PARTY"/}" | tr -c 'A-Za-z0-9.\n-' '_')
    size=$(stat -c %s "$file")
    cp "$file" "$corpus/read_card_file/$name"
    if [ "$size" -eq 131072 ]; then
      cp "$file" "$corpus/analyse_card/$name"
      { printf '\x00\x00'; cat "$file"; } >"$corpus/export_delete/$name"
    elif [ "$size" -lt 131072 ]; then
      # Answer Yes, name a raw save TEST, no card given: the file follows.
      { printf '\x06\x00\x00\x00\x04TEST'; cat "$file"; } >"$corpus/import_save/$name"
    fi
  done < <(find "$THIRD_PARTY" -type f ! -name MANIFEST.md -print0)
}

# run_fuzz_target TARGET SECONDS LOG [libFuzzer options and corpus folders...]
# Runs one target for SECONDS; a crash, a sanitizer report, a leak, a broken
# invariant, an input slower than 10 s or more than 2 GB of memory make it
# exit non-zero and leave the input in build/fuzz/artifacts/TARGET/.
run_fuzz_target() {
  local target=$1 seconds=$2 log=$3
  shift 3
  local max_len
  max_len=$(fuzz_max_len "$target") || return 1
  mkdir -p "$FUZZ_DIR/artifacts/$target" "$(dirname "$log")"
  "$FUZZ_DIR/bin/${target}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$FUZZ_DIR/artifacts/$target/" \
    "$@" >"$log" 2>&1
}

# "executions N, cov C, ft F" from a run's log.
fuzz_figures() {
  local log=$1
  local runs cov ft
  runs=$(grep -oE "stat::number_of_executed_units: [0-9]+" "$log" | grep -oE "[0-9]+$" | tail -1)
  cov=$(grep -oE " cov: [0-9]+" "$log" | grep -oE "[0-9]+" | tail -1)
  ft=$(grep -oE " ft: [0-9]+" "$log" | grep -oE "[0-9]+" | tail -1)
  echo "executions ${runs:-?}, cov ${cov:-?}, ft ${ft:-?}"
}
