#!/usr/bin/env bash
# Makes everything the scored set of the cut-out engines is composited from:
# the Debian-packaged artwork (fetch-artwork.sh) and 3D renders of people and
# products made with POV-Ray from the scenes in scored-set/, each with its
# exact alpha (a transparent background) and the subject's own colours.
# POV-Ray is installed with apt when missing; the renders are made once and
# kept beside the artwork. Prints the folder for bench_engine_quality:
#   bench_engine_quality --artwork "$(scripts/fetch-scored-set.sh)"
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

artwork="$("$here/fetch-artwork.sh")"
renders="$artwork/renders"
people_seeds=12 # three poses each
product_seeds=5 # eight kinds each

if ! command -v povray >/dev/null 2>&1 || [ ! -d /usr/share/povray-3.7/include ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "fetch-scored-set: povray is missing and there are no root rights to install it" >&2; exit 1; }
    sudo_cmd=(sudo)
  fi
  echo "fetch-scored-set: installing povray" >&2
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends povray povray-includes >/dev/null
fi

mkdir -p "$renders"
# render SCENE OUTPUT WIDTH HEIGHT DECLARATIONS...: once; written under a
# temporary name first, so that a render cut short is never taken.
render() {
  local scene="$1" out="$2" width="$3" height="$4"
  shift 4
  [ -s "$out" ] && return 0
  local declarations=()
  for d in "$@"; do declarations+=("Declare=$d"); done
  povray "+I$here/scored-set/$scene" "+O$out.part.png" "+W$width" "+H$height" +UA +FN +A0.1 +AM2 \
    -D -V -GA "${declarations[@]}" >/dev/null 2>&1 || { echo "fetch-scored-set: $scene failed ($*)" >&2; return 1; }
  mv "$out.part.png" "$out"
}

for seed in $(seq 1 "$people_seeds"); do
  for pose in 0 1 2; do
    render person.pov "$renders/person-$seed-$pose.png" 1000 1500 "Seed=$seed" "Pose=$pose"
  done
done
for seed in $(seq 1 "$product_seeds"); do
  for kind in 0 1 2 3 4 5 6 7; do
    render product.pov "$renders/product-$kind-$seed.png" 1200 1200 "Seed=$seed" "Kind=$kind"
  done
done
echo "$artwork"
