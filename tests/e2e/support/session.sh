# Shared by the end-to-end tests: a private X session (Xvfb + openbox) and sandboxed
# XDG folders, torn down when the script exits. Source it, then call start_session.
#
#   start_session            sets DISPLAY, E2E_DIR, E2E_XVFB_PID and
#                            XDG_{CONFIG,DATA,STATE,RUNTIME,CACHE}_HOME
#   start_headless_session   the same folders, no display at all (a station)
#   wait_for_window NAME [S] prints the id of a mapped window whose name is NAME (regex)
#   wait_for PID_OR_CMD [S]  waits until the command succeeds (deadline in seconds)
#   fail MESSAGE             prints the message and exits 1 (the trap cleans up)
#
# Only processes started here are ended here.

set -u

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

stop_session() {
    local pid
    for pid in ${E2E_PIDS:-}; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in ${E2E_PIDS:-}; do
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "${E2E_DIR:-}" ] && [ -z "${E2E_KEEP:-}" ]; then
        rm -rf "$E2E_DIR"
    fi
}

# Remembers a process this test started, so the session ends it.
own_pid() {
    E2E_PIDS="${E2E_PIDS:-} $1"
}

wait_for() {
    local cmd=$1 deadline=$((SECONDS + ${2:-10}))
    until eval "$cmd" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# A sandbox folder E2E_DIR with the XDG folders of its own, removed at the end; no display.
start_headless_session() {
    E2E_DIR=$(mktemp -d /tmp/quavix-e2e.XXXXXX)
    export XDG_CONFIG_HOME=$E2E_DIR/config XDG_DATA_HOME=$E2E_DIR/data
    export XDG_STATE_HOME=$E2E_DIR/state XDG_CACHE_HOME=$E2E_DIR/cache
    export XDG_RUNTIME_DIR=$E2E_DIR/runtime
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" \
        "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    trap stop_session EXIT
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
}

# The same sandbox with a private X server and a window manager on DISPLAY.
start_session() {
    start_headless_session

    # Xvfb picks a free display itself and tells us which; E2E_DISPLAY names one instead
    # (on a machine shared with other test runs that start their own servers).
    local fdfile=$E2E_DIR/display
    if [ -n "${E2E_DISPLAY:-}" ]; then
        echo "$E2E_DISPLAY" >"$fdfile"
        Xvfb ":$E2E_DISPLAY" -screen 0 1280x800x24 -nolisten tcp 2>"$E2E_DIR/xvfb.log" &
    else
        Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp 9>"$fdfile" 2>"$E2E_DIR/xvfb.log" &
    fi
    E2E_XVFB_PID=$!
    own_pid $!
    wait_for "[ -s '$fdfile' ]" 10 || fail "Xvfb did not start: $(cat "$E2E_DIR/xvfb.log")"
    export DISPLAY=":$(cat "$fdfile")"
    wait_for "xdpyinfo" 10 || fail "display $DISPLAY does not answer"

    start_window_manager "$DISPLAY" || fail "openbox did not start: $(cat "$E2E_DIR/openbox.log")"
    unset QT_QPA_PLATFORM
}

# Starts openbox on display $1; false when it never comes up. On a busy machine openbox now
# and then gives up on a display that has only just come up; a second start finds it ready.
start_window_manager() {
    local display=$1 try wm
    for try in 1 2 3; do
        DISPLAY=$display openbox --sm-disable >>"$E2E_DIR/openbox.log" 2>&1 &
        wm=$!
        own_pid $wm
        wait_for "DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' ||
                  ! kill -0 $wm" 20
        DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' && return 0
        kill "$wm" 2>/dev/null
    done
    return 1
}

wait_for_window() {
    local name=$1 deadline=$((SECONDS + ${2:-15})) id
    while [ "$SECONDS" -lt "$deadline" ]; do
        id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# Opens the strip's pop-up menu with a right click on window $2 of process $1. The first click
# may come before the strip takes input: it clicks again until the menu (a second mapped
# window of the program) shows, giving each click 2 s.
open_strip_menu() {
    local pid=$1 wid=$2 tries
    menu_shown() {
        [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -ge 2 ]
    }
    for tries in 1 2 3 4 5; do
        menu_shown && return 0
        xdotool mousemove --window "$wid" 8 8 click 3
        wait_for menu_shown 2 && return 0
    done
    return 1
}

# Seconds of sound in the WAV file $1 as the player recorded it (16-bit or float samples),
# once its header is complete (written again when the stream ended); fails while it is not.
wav_seconds() {
    /usr/bin/python3 - "$1" <<'PY'
import struct, sys
try:
    data = open(sys.argv[1], "rb").read()
    assert data[:4] == b"RIFF" and data[8:12] == b"WAVE"
    at, fmt, frames = 12, None, None
    while at + 8 <= len(data):
        kind, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        if kind == b"fmt ":
            _, channels, rate, _, align = struct.unpack("<HHIIH", data[at + 8:at + 22])
            fmt = (rate, align)
        elif kind == b"data" and fmt:
            assert at + 8 + size <= len(data)  # a header written before the end is a guess
            frames = size // fmt[1]
        at += 8 + size + (size & 1)
    assert fmt and frames
except Exception:
    sys.exit(1)
print(f"{frames / fmt[0]:.3f}")
PY
}
