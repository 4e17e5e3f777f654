#!/usr/bin/env bash
# Smoke test of a packaged Windows program: it imports only DLLs that Windows itself ships, and under Wine
# it shows its main window. Prints the time from launch to the window being mapped.
#   scripts/windows-smoke.sh PROGRAM.exe "Window caption"
# Needs DISPLAY (scripts/with-x11.sh) and WINEPREFIX set up (wineboot).
set -euo pipefail
exe=$1
caption=$2

# Windows' own DLLs a Qt Widgets program may import; anything else would have to travel with the .exe.
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|winmm|imm32|uxtheme|dwmapi|version|shlwapi|shcore|userenv|netapi32|mpr|wtsapi32|setupapi|rpcrt4|msvcrt|ws2_32|crypt32|authz|d3d9|d3d11|d3d12|dxgi|dcomp|comctl32|winspool\.drv|api-ms-win-[a-z0-9-]+)\.dll$|^winspool\.drv$'
bad=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | grep -v -E "$system_dlls" || true)
if [ -n "$bad" ]; then
    echo "windows-smoke: $exe needs DLLs that Windows does not ship: $bad" >&2
    exit 1
fi

shown() { xwininfo -root -tree 2>/dev/null | grep -q -F "\"$caption\""; }
# A window left by an earlier start would count as this one's.
for _ in $(seq 1 100); do shown || break; sleep 0.1; done
if shown; then
    echo "windows-smoke: a window \"$caption\" is already there" >&2
    exit 1
fi

work=$(mktemp -d)
pid=""
finish() {
    if [ -n "$pid" ]; then
        # Its own process group: a Wine process being ended can signal its whole group, and this script is not
        # to be part of it.
        kill -- "-$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true # its status is that of the kill, not this script's
    fi
    # Until the window has gone: the next start must not see this one.
    for _ in $(seq 1 100); do shown || break; sleep 0.1; done
    rm -rf "$work"
    return 0
}
trap finish EXIT
cp "$exe" "$work/"
start=$(date +%s%N)
(cd "$work" && exec setsid wine "./$(basename "$exe")") >"$work/wine.log" 2>&1 &
pid=$!
for _ in $(seq 1 600); do
    if shown; then
        echo "windows-smoke: $(basename "$exe") showed \"$caption\" $(( ($(date +%s%N) - start) / 1000000 )) ms after launch"
        exit 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
echo "windows-smoke: no window \"$caption\" from $exe" >&2
cat "$work/wine.log" >&2
exit 1
