#!/usr/bin/env bash
# Fetches the Debian-packaged artwork the scored set of the cut-out engines
# is made from: clip art with real alpha (openclipart-svg) and photographs
# for busy backdrops (mate-backgrounds) and photographed subjects with their
# own alpha (tuxpaint-stamps-default); and a few real photographs with no
# truth, looked at for regressions (opencv-doc's sample data, kept in
# samples/). The packages are downloaded with apt and unpacked into the
# user's cache, not installed; only what is missing is fetched. Prints the
# folder.
#   bench_engine_quality --artwork "$(scripts/fetch-artwork.sh)"
set -euo pipefail

cache="${XDG_CACHE_HOME:-$HOME/.cache}/Cutora/artwork"
# The sample photos: subjects that fill or cross the frame, a person, fruit,
# animals and a drawn fish.
samples=(baboon.jpg apple.jpg HappyFish.jpg butterfly.jpg squirrel_cls.jpg messi5.jpg fruits.jpg orange.jpg
  chicky_512.png)

packages=()
[ -d "$cache/usr/share/openclipart/svg" ] || packages+=(openclipart-svg)
[ -d "$cache/usr/share/backgrounds/mate/nature" ] || packages+=(mate-backgrounds)
[ -d "$cache/usr/share/tuxpaint/stamps" ] || packages+=(tuxpaint-stamps-default)
[ -s "$cache/samples/messi5.jpg" ] || packages+=(opencv-doc)
if [ "${#packages[@]}" -eq 0 ]; then
  echo "$cache"
  exit 0
fi
mkdir -p "$cache/debs"
(cd "$cache/debs" && apt-get download "${packages[@]}" >/dev/null) || {
  echo "fetch-artwork: apt-get download failed (run apt-get update once?)" >&2
  exit 1
}
for deb in "$cache"/debs/*.deb; do
  if [[ "$(basename "$deb")" == opencv-doc_* ]]; then
    # Only the sample photos: the rest is documentation.
    dpkg-deb -x "$deb" "$cache/debs/opencv-doc"
    mkdir -p "$cache/samples"
    for photo in "${samples[@]}"; do
      cp "$cache/debs/opencv-doc/usr/share/doc/opencv-doc/examples/data/$photo" "$cache/samples/"
    done
  else
    dpkg-deb -x "$deb" "$cache"
  fi
done
rm -rf "$cache/debs"
echo "$cache"
