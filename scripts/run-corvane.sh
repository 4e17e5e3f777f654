#!/usr/bin/env bash
# Installs what is missing, builds Corvane into build/ and launches it. Needs an X11 session (DISPLAY).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# The same configuration as scripts/run.sh: warnings are errors only in the test command.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMW_WERROR=OFF
cmake --build build --target Corvane -j2
if [ -z "${DISPLAY:-}" ]; then
    echo "run-corvane: no X11 display; start this from an X11 session" >&2
    exit 1
fi
exec build/downloader/Corvane
