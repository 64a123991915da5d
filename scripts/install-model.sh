#!/usr/bin/env bash
# Installs the learned cut-out model into the user's data folder
# (~/.local/share/Cutora/models, after XDG_DATA_HOME): the ISNet weights
# that the npm package below distributes, verified chunk by chunk and
# converted for OpenCV's DNN module, with the JSON file that describes them.
#
# Idempotent: returns at once when the model is there. Without npm or
# registry access it fails with a message and Cutora keeps using its
# classical engine. Only the package's data files are read: no install
# script runs and none of the package's code is used.
set -euo pipefail

package="@imgly/background-removal-data"
version="1.4.5"
# npm's integrity of that version's tarball, checked before anything is read.
integrity="sha512-iRXZpPd7YirbJ4eOZ3SlvbdJkAc/LxVjzWLMHOezmRrVThPJPdPc+Y2kHEAVFEVvpDIuvBDyOfTTFBSJT2QR5w=="
entry="/models/medium" # the fp16 ISNet ("small" is an 8-bit variant that leaves speckles)
# Input side chosen by measurement on the scored set (see the README).
input_size="${CUTORA_MODEL_INPUT_SIZE:-768}"

here="$(cd "$(dirname "$0")" && pwd)"
# Beside this script in the source tree; in share/cutora once installed as
# cutora-install-model.
model_tool="$here/model-tool.py"
[ -f "$model_tool" ] || model_tool="$here/../share/cutora/model-tool.py"
data_home="${XDG_DATA_HOME:-$HOME/.local/share}"
cache_home="${XDG_CACHE_HOME:-$HOME/.cache}"
models="$data_home/Cutora/models"
cache="$cache_home/Cutora/model-download"
description="$models/isnet.json"
model_file="isnet-dis-$input_size.onnx"

say() { echo "install-model: $*" >&2; }

# Already installed: the description names this version and size, and the
# model beside it has the size it records.
if [ -f "$description" ] && [ -f "$models/$model_file" ] \
  && grep -q "\"version\": \"$version\"" "$description" \
  && grep -q "\"file\": \"$model_file\"" "$description" \
  && grep -q "\"bytes\": $(stat -c %s "$models/$model_file")," "$description"; then
  exit 0
fi

python=/usr/bin/python3
if ! "$python" -c 'import onnx' 2>/dev/null; then
  say "python3-onnx is missing (apt install python3-onnx); the classical engine stays in use"
  exit 1
fi

if ! command -v npm >/dev/null 2>&1; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo_cmd=(sudo); else
      say "npm is missing and there are no root rights to install it; the classical engine stays in use"
      exit 1
    fi
  fi
  say "installing npm"
  export DEBIAN_FRONTEND=noninteractive
  if ! { "${sudo_cmd[@]}" apt-get update -qq && "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends npm >/dev/null; }; then
    say "npm could not be installed; the classical engine stays in use"
    exit 1
  fi
fi

mkdir -p "$cache" "$models"
tarball="$cache/imgly-background-removal-data-$version.tgz"
tarball_ok() {
  [ -f "$tarball" ] || return 1
  local actual
  actual="$("$python" -c 'import base64, hashlib, sys
print("sha512-" + base64.b64encode(hashlib.sha512(open(sys.argv[1], "rb").read()).digest()).decode())' "$tarball")"
  [ "$actual" = "$integrity" ]
}
if ! tarball_ok; then
  rm -f "$tarball"
  say "fetching $package@$version (about 130 MB) with npm pack"
  if ! (cd "$cache" && timeout 900 npm pack --ignore-scripts --silent "$package@$version" >/dev/null); then
    say "npm pack failed (no registry access?); the classical engine stays in use"
    exit 1
  fi
  if ! tarball_ok; then
    rm -f "$tarball"
    say "the downloaded package does not match its pinned integrity; nothing installed"
    exit 1
  fi
fi

work="$(mktemp -d "$cache/work.XXXXXX")"
trap 'rm -rf "$work"' EXIT
tar -xzf "$tarball" -C "$work" package/dist package/ThirdPartyLicenses.json
say "verifying and reassembling the model"
"$python" "$model_tool" assemble "$work/package/dist/resources.json" "$work/package/dist" "$entry" "$work/isnet-fp16.onnx"
say "converting it for OpenCV (input $input_size x $input_size)"
"$python" "$model_tool" convert "$work/isnet-fp16.onnx" "$work/$model_file" --keep output --input-size "$input_size"
fp16_sha256="$(sha256sum "$work/isnet-fp16.onnx" | cut -d' ' -f1)"
bytes="$(stat -c %s "$work/$model_file")"

cat >"$work/isnet.json" <<EOF
{
  "name": "isnet-dis-$input_size",
  "file": "$model_file",
  "bytes": $bytes,
  "input": { "name": "input", "width": $input_size, "height": $input_size, "channels": "RGB",
             "scale": 1.0, "mean": [128, 128, 128], "std": [256, 256, 256] },
  "output": { "name": "output", "min": 0.0, "max": 1.0 },
  "source": { "package": "$package", "version": "$version", "entry": "$entry", "sha256": "$fp16_sha256" },
  "license": "weights declared MIT by their distributor; trained on DIS5K, whose terms restrict commercial use"
}
EOF

# The model first, then the description that points at it.
mv -f "$work/$model_file" "$models/$model_file"
mv -f "$work/isnet.json" "$description"
find "$models" -maxdepth 1 -name 'isnet-dis-*.onnx' ! -name "$model_file" -delete
say "installed $models/$model_file"
