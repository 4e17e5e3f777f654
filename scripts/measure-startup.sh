#!/usr/bin/env bash
# Measures Mirewatch from start to its main window mapped on screen: 10 runs on a private X server with a
# window manager, prints each run and the median in milliseconds. Builds Mirewatch into build/ if needed.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build}"
runs="${RUNS:-10}"
if [ "${1:-}" != "--inner" ]; then
    scripts/setup.sh >/dev/null
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMW_WERROR=ON
    fi
    cmake --build "$build" --target Mirewatch -j2 >/dev/null
    exec scripts/with-x11.sh "$0" --inner
fi

program="$build/analyser/windows/Mirewatch"
times=()
for i in $(seq 1 "$runs"); do
    start=$(date +%s%N)
    QT_QPA_PLATFORM=xcb "$program" >/dev/null 2>&1 &
    pid=$!
    shown=""
    for _ in $(seq 1 2000); do
        if xwininfo -name Mirewatch 2>/dev/null | grep -q 'Map State: IsViewable'; then
            shown=$(date +%s%N)
            break
        fi
        sleep 0.002
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if [ -z "$shown" ]; then
        echo "run $i: the main window never appeared" >&2
        exit 1
    fi
    ms=$(((shown - start) / 1000000))
    times+=("$ms")
    echo "run $i: ${ms} ms"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {if (NR % 2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}')
echo "Mirewatch start to main window shown: median ${median} ms over ${runs} runs"
