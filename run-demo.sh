#!/usr/bin/env bash
# Builds the optimised preset and runs the main job on the simulated cameras.
# Installs what is missing first; safe to run again.
set -euo pipefail
cd "$(dirname "$0")"

cmake/install-deps.sh demo

echo "== configure and build: release"
cmake --preset release >/dev/null
cmake --build --preset release

out=${DEMO_OUT:-$PWD/build/demo}
mkdir -p "$out"
bin=build/release/bin

# Two simulated Andor cameras, free-running: an image every exposure.
sim=(env ANDOR_SIM_CAMERAS=2 ANDOR_SIM_SIZE=512x512,256x256 ANDOR_SIM_MODE=free)
echo "== acquire --list"
"${sim[@]}" "$bin/acquire" --list
echo "== acquire: 100 frames from device 0"
"${sim[@]}" "$bin/acquire" --device 0 --frames 100 --exposure 0.01 --out "$out/acquire" --overwrite
echo "== the pictures: $out/acquire/frames.tif (100 pages, 16-bit) and $out/acquire/preview.png"

# The MEX libraries in GNU Octave: the same sources built with mkoctfile.
echo "== configure and build: octave (the MEX libraries with mkoctfile)"
cmake --preset octave >/dev/null
cmake --build --preset octave
echo "== Octave: driver events read with takeEarliest, QCam buffers, a snapshot"
root=$PWD
mkdir -p "$out/octave"
# Its working folder: submitBuffers' call log "C:\QCamLog.txt" lands there.
(cd "$out/octave" && octave-cli --no-gui --no-window-system --norc --no-history --quiet --eval \
  "addpath('$root/build/octave/octave/mex', '$root/octave/classes', '$root/mex/toolbox', '$root/octave/lib', '$root/octave/demo'); cameraDemo(pwd)")

echo "== the toolbox folder for Octave: $out/toolbox"
rm -rf "$out/toolbox"
cmake --install build/octave --prefix "$out/toolbox" >/dev/null
echo "== demo done"
