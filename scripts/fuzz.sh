#!/usr/bin/env bash
# Fuzzes Cutora's parsers with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer, one harness after the other:
#
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
#
# builds the harnesses of fuzz/ with clang into build/fuzz, makes the seed
# corpora from the test fixtures (scripts/fuzz-seeds.sh) and runs each
# harness SECONDS (default 60), printing what it covered. The inputs it finds
# interesting stay in the work folder's corpus/HARNESS for the next run. A
# crash, leak or undefined behaviour stops the harness and leaves its input
# in the work folder's findings/HARNESS/; once fixed, that input goes into
# fuzz/corpus/HARNESS/, which the test suite replays.
#
# The test suite runs harnesses it has built itself a few seconds each:
#   scripts/fuzz.sh --run BUILD_DIR SEEDS_DIR WORK_DIR SECONDS HARNESS...
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
all_harnesses=(image_loader client_replies service_requests model_description)

run_harness() {
  local build=$1 seeds=$2 work=$3 seconds=$4 name=$5
  local binary=$build/fuzz/fuzz_$name
  local corpus=$work/corpus/$name findings=$work/findings/$name home=$work/home/$name
  if [ ! -x "$binary" ]; then
    echo "fuzz: $binary is not built" >&2
    return 1
  fi
  mkdir -p "$corpus" "$findings" "$home"
  local dirs=("$corpus" "$seeds/$name")
  [ -d "$root/fuzz/corpus/$name" ] && dirs+=("$root/fuzz/corpus/$name")
  # Pictures need room; requests and replies are small.
  local max_len=65536
  [ "$name" = image_loader ] && max_len=262144
  local log=$work/$name.log
  local rc=0
  env HOME="$home" XDG_CACHE_HOME="$home/cache" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
      TMPDIR="$home" QT_QPA_PLATFORM=offscreen CUTORA_MODEL=none \
      ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" \
      LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0" \
      UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
      "$binary" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-25}" -rss_limit_mb=4096 -max_len="$max_len" \
      -print_final_stats=1 -artifact_prefix="$findings/" "${dirs[@]}" >"$log" 2>&1 || rc=$?
  local runs coverage inputs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  inputs=$(find "$corpus" -type f | wc -l)
  if [ "$rc" -eq 0 ]; then
    echo "$name: ${runs:-0} inputs run in ${seconds} s, ${coverage:-0} edges covered, ${inputs} inputs kept: no crash, leak or undefined behaviour"
    return 0
  fi
  echo "$name: FOUND a fault after ${runs:-?} inputs (exit $rc); the input is in $findings, the report in $log:" >&2
  grep -E 'ERROR: |runtime error|SUMMARY' "$log" | head -5 >&2 || true
  return 1
}

if [ "${1:-}" = "--run" ]; then
  shift
  build=$1 seeds=$2 work=$3 seconds=$4
  shift 4
  failed=0
  for name in "$@"; do
    run_harness "$build" "$seeds" "$work" "$seconds" "$name" || failed=1
  done
  exit "$failed"
fi

seconds=${1:-60}
[ $# -gt 0 ] && shift
harnesses=("$@")
[ ${#harnesses[@]} -eq 0 ] && harnesses=("${all_harnesses[@]}")

./scripts/install-deps.sh
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCUTORA_FUZZ=ON -DCUTORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target cutora_fuzzers -j "$(nproc)"
./scripts/fuzz-seeds.sh "$build" "$build/seeds"

failed=0
for name in "${harnesses[@]}"; do
  run_harness "$build" "$build/seeds" "$build/work" "$seconds" "$name" || failed=1
done
exit "$failed"
