#!/usr/bin/env bash
# Installs what is missing, builds with assertions on, and runs every test.
#   ./test.sh [CTEST ARGS...]              into build/test
#   ./test.sh --sanitize [CTEST ARGS...]   into build/sanitize, everything under
#                                          AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
# Let ccache share compiled objects between clones of the tree.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
[ -x scripts/install-model.sh ] && ./scripts/install-model.sh || true

build=build/test
# O2 keeps the image tests quick; NDEBUG stays off so that asserts run.
flags="-O2"
options=()
if [ "${1:-}" = "--sanitize" ]; then
  shift
  build=build/sanitize
  # O1 and line tables, as the sanitizers advise: quicker to build, and
  # reports still name the line.
  flags="-O1 -g1"
  # The fuzz harnesses run under the sanitizers in the plain build already.
  options=(-DCUTORA_SANITIZE=ON -DCUTORA_FUZZ_SMOKE=OFF -DCUTORA_BUILD_BENCH=OFF)
  export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:check_initialization_order=1"
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
jobs=$(nproc)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" "${options[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
cd "$build"
ctest --output-on-failure -j "$jobs" "$@"
