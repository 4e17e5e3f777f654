#!/usr/bin/env bash
# Measures Mirewatch from start to its main window shown (mapped and viewable): RUNS runs (10) on a private
# X server with a window manager; prints each run and the median in milliseconds. Builds Mirewatch into
# build/ (or BUILD_DIR) if needed.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build}"
if [ "${1:-}" != "--inner" ]; then
    scripts/setup.sh >/dev/null
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMW_WERROR=ON
    fi
    cmake --build "$build" --target Mirewatch -j2 >/dev/null
    exec scripts/with-x11.sh "$0" --inner
fi

# Polls the window tree from one process through libX11 (a new xwininfo per poll costs more than the
# start-up itself), so the figure is the program's and not the poller's.
QT_QPA_PLATFORM=xcb python3 - "$build/analyser/windows/Mirewatch" "${RUNS:-10}" <<'PY'
import ctypes, ctypes.util, os, signal, statistics, subprocess, sys, time

x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                           ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                           ctypes.POINTER(ctypes.c_uint)]
x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XSetErrorHandler.argtypes = [ctypes.c_void_p]

class Attributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]

x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(Attributes)]
IS_VIEWABLE = 2

# Windows vanish between listing and asking; such errors are expected and ignored.
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
x11.XSetErrorHandler(ctypes.cast(ERROR_HANDLER, ctypes.c_void_p))

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("measure-startup: cannot open the X display")
root = x11.XDefaultRootWindow(display)

def shown(window):
    name = ctypes.c_char_p()
    if x11.XFetchName(display, window, ctypes.byref(name)) and name.value is not None:
        title = name.value
        x11.XFree(name)
        if title == b"Mirewatch":
            attributes = Attributes()
            if x11.XGetWindowAttributes(display, window, ctypes.byref(attributes)):
                return attributes.map_state == IS_VIEWABLE
    parent, top = ctypes.c_ulong(), ctypes.c_ulong()
    children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    if not x11.XQueryTree(display, window, ctypes.byref(top), ctypes.byref(parent), ctypes.byref(children),
                          ctypes.byref(count)):
        return False
    found = any(shown(children[i]) for i in range(count.value))
    if children:
        x11.XFree(children)
    return found

program, runs = sys.argv[1], int(sys.argv[2])
times = []
for run in range(1, runs + 1):
    start = time.monotonic()
    child = subprocess.Popen([program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seen = False
    while time.monotonic() - start < 20:
        x11.XSync(display, 0)
        if shown(root):
            seen = True
            break
        time.sleep(0.001)
    elapsed = (time.monotonic() - start) * 1000
    child.send_signal(signal.SIGTERM)
    child.wait()
    if not seen:
        sys.exit(f"run {run}: the main window never appeared")
    times.append(elapsed)
    print(f"run {run}: {elapsed:.0f} ms")
    time.sleep(0.2)
print(f"Mirewatch start to main window shown: median {statistics.median(times):.0f} ms over {runs} runs")
PY
