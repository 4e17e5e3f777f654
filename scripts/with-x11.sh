#!/usr/bin/env bash
# Runs a command against a private X server with a window manager:
#   scripts/with-x11.sh COMMAND [ARGS...]
# Starts Xvfb on a free display and openbox on it, waits until both answer, runs the command with
# DISPLAY set, tears both down and returns the command's exit code.
set -uo pipefail

if [ $# -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGS...]" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/with-x11.XXXXXX")
xvfb_pid=""
wm_pid=""

cleanup() {
    # Only the two processes started here are ended.
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# -displayfd picks a free display number and writes it once the server accepts connections.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset +extension XTEST +extension XKEYBOARD \
    >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-

for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "with-x11: Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done
if [ ! -s "$work/display" ]; then
    echo "with-x11: Xvfb did not report a display" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"

# The packaged default configuration: an empty one makes openbox show a syntax-error box on screen.
openbox_config=/etc/xdg/openbox/rc.xml
openbox_args=(--sm-disable)
[ -f "$openbox_config" ] && openbox_args+=(--config-file "$openbox_config")
openbox "${openbox_args[@]}" >"$work/openbox.log" 2>&1 &
wm_pid=$!

# The window manager is ready once it has announced itself on the root window (EWMH).
ready=""
for _ in $(seq 1 100); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        ready=1
        break
    fi
    if ! kill -0 "$wm_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$ready" ]; then
    echo "with-x11: openbox did not start on $DISPLAY:" >&2
    cat "$work/openbox.log" >&2
    exit 1
fi

"$@"
rc=$?
exit $rc
