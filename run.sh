#!/usr/bin/env bash
# Installs what is missing, builds a release and starts Cutora with the given arguments.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
./scripts/install-deps.sh
# Let ccache share compiled objects between clones of the tree.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
[ -x scripts/install-model.sh ] && ./scripts/install-model.sh || true

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCUTORA_BUILD_TESTS=OFF -DCUTORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target cutora cutora-service >&2 || cmake --build "$build" -j "$(nproc)" --target cutora >&2
cd - >/dev/null 2>&1 || true
exec "$here/$build/app/cutora" "$@"
