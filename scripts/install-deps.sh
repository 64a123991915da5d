#!/usr/bin/env bash
# Installs every Debian package Cutora needs to build, run and test.
# Idempotent: asks apt only for what is missing, and updates the package
# lists at most once per run, only when something must be installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins
  libqt6svg6 qt6-l10n-tools
  libgl-dev
  libcurl4-openssl-dev ca-certificates
  libheif-dev libheif-examples libde265-dev libwebp-dev
  libopencv-dev libopencv-contrib-dev opencv-data
  libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev
  libsqlite3-dev libpq-dev
  postgresql postgresql-common util-linux
  libspng-dev libjpeg-dev
  xvfb xauth x11-apps imagemagick
  fonts-dejavu-core fonts-wqy-microhei
  libicu-dev
  python3-onnx
  libdnnl-dev libonnx-dev libprotobuf-dev
  openssl dbus-daemon
  desktop-file-utils appstream dpkg-dev file
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "install-deps: missing packages (${missing[*]}) and no root rights to install them" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
