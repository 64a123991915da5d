#!/usr/bin/env bash
# Makes the seed corpora of the fuzz harnesses from the test fixtures:
#   scripts/fuzz-seeds.sh FUZZ_BUILD_DIR OUT_DIR
# writes OUT_DIR/HARNESS/ for each harness: pictures in every format the
# loader reads (HEIC included, some turned by their orientation), the replies
# of every call of the cut-out service, requests for every route of the
# local service, and model descriptions.
set -euo pipefail
build=$1
out=$2
rm -rf "$out"
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/fuzz_seeds" "$out"
for harness in image_loader client_replies service_requests model_description; do
  count=$(find "$out/$harness" -type f | wc -l)
  if [ "$count" -eq 0 ]; then
    echo "fuzz-seeds: no seeds for $harness" >&2
    exit 1
  fi
  echo "fuzz-seeds: $count seeds for $harness"
done
