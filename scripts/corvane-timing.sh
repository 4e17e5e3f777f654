#!/usr/bin/env bash
# Measures Corvane's timetable in real time: one zone download (34 ticks of 7000 ms, about 4 minutes)
# against the stand-in game under Xvfb. Reports each tick's lateness against start + k x 7000 ms,
# the drift over the run and the time to type one command.
#   scripts/corvane-timing.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target corvane_timing stand_in_game -j2
exec "$root/scripts/with-x11.sh" "$build/tests/downloader/e2e/corvane_timing"
