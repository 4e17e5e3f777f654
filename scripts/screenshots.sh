#!/usr/bin/env bash
# Renders every Mirewatch window with the full sample loaded into docs/screenshots/*.png, on a private
# X server with a window manager. Builds what it needs into build/ first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh >/dev/null
build="${BUILD_DIR:-build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMW_WERROR=ON
fi
cmake --build "$build" --target render_windows -j2

out="$(pwd)/docs/screenshots"
mkdir -p "$out"
renderer="$(pwd)/$build/scripts/render_windows/render_windows"
sample="$(pwd)/examples/ban_full.txt"
# The chooser starts at the current directory: show it at the samples.
cd examples
QT_QPA_PLATFORM=xcb ../scripts/with-x11.sh "$renderer" "$out" "$sample"
