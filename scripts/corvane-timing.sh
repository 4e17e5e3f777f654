#!/usr/bin/env bash
# Measures Corvane's timetable in real time: one zone download (34 ticks of 7000 ms, about 4 minutes)
# against the stand-in game under Xvfb. Reports each tick's lateness against start + k x 7000 ms,
# the drift over the run and the time to type one command.
#   scripts/corvane-timing.sh [BUILD_DIR]     (default: build)
# A Windows build (cmake/mingw-w64.cmake) is measured under Wine, in a Wine prefix of the build's own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cmake --build "$build" --target corvane_timing stand_in_game -j2
program=$build/tests/downloader/e2e/corvane_timing
if [ -f "$program.exe" ]; then
    export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    exec "$root/scripts/with-x11.sh" bash -c 'wineboot -i && wine "$1"' wine "$program.exe"
fi
exec "$root/scripts/with-x11.sh" "$program"
