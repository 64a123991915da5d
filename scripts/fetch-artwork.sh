#!/usr/bin/env bash
# Fetches the Debian-packaged artwork the scored set of the cut-out engines
# is made from: clip art with real alpha (openclipart-svg) and photographs
# for busy backdrops (mate-backgrounds) and photographed subjects with their
# own alpha (tuxpaint-stamps-default). The packages are downloaded with apt
# and unpacked into the user's cache, not installed. Prints the folder.
#   bench_engine_quality --artwork "$(scripts/fetch-artwork.sh)"
set -euo pipefail

cache="${XDG_CACHE_HOME:-$HOME/.cache}/Cutora/artwork"
if [ -d "$cache/usr/share/openclipart/svg" ] && [ -d "$cache/usr/share/backgrounds/mate/nature" ] \
  && [ -d "$cache/usr/share/tuxpaint/stamps" ]; then
  echo "$cache"
  exit 0
fi
mkdir -p "$cache/debs"
(cd "$cache/debs" && apt-get download openclipart-svg mate-backgrounds tuxpaint-stamps-default >/dev/null) || {
  echo "fetch-artwork: apt-get download failed (run apt-get update once?)" >&2
  exit 1
}
for deb in "$cache"/debs/*.deb; do
  dpkg-deb -x "$deb" "$cache"
done
rm -rf "$cache/debs"
echo "$cache"
