#!/usr/bin/env bash
# Installs what is missing, builds with assertions on, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
# Let ccache share compiled objects between clones of the tree.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
[ -x scripts/install-model.sh ] && ./scripts/install-model.sh || true

build=build/test
jobs=$(nproc)
# O2 keeps the image tests quick; NDEBUG stays off so that asserts run.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2" >/dev/null
cmake --build "$build" -j "$jobs"
cd "$build"
ctest --output-on-failure -j "$jobs" "$@"
