#!/usr/bin/env bash
# Installs what is missing, builds Corvane into build/ and launches it. Needs an X11 session (DISPLAY).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja && cmake --build build --target Corvane -j2
exec build/downloader/Corvane
