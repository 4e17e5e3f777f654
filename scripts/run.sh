#!/usr/bin/env bash
# Installs what is missing, builds Mirewatch into build/ and launches it. Needs an X11 session (DISPLAY).
# On the first start it points Config.ini at the bundled full sample, so every window shows content at once.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

scripts/setup.sh
# Warnings are errors only in the test command: a warning that a newer compiler adds must not stop a user from
# running the program.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMW_WERROR=OFF
cmake --build build --target Mirewatch -j2

program_dir=build/analyser/windows
config="$program_dir/Config.ini"
if [ ! -e "$config" ]; then
    printf '[Ban file path]\r\nPath=%s\r\n' "$root/examples/ban_full.txt" >"$config"
    echo "run: wrote $config pointing at examples/ban_full.txt"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display; start this from a desktop session (or try: scripts/with-x11.sh $program_dir/Mirewatch)" >&2
    exit 1
fi
exec "$program_dir/Mirewatch"
