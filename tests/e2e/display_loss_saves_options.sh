#!/usr/bin/env bash
# The display goes away (an X server that dies, a logout without a session manager): the
# toolkit ends the program at once, and the options of the run must be stored all the same,
# also when SIGTERM came just before, and nothing may crash on the way out. An option is
# changed from the menu, then the X server is killed alone, right after SIGTERM to the
# program, or while the station's rename window is open (there the options as loaded).
# Usage: display_loss_saves_options.sh <folder of quavix-gui>
set -u
source "$(dirname "$0")/support/session.sh"
gui="$1/quavix-gui"
[ -x "$gui" ] || fail "no $gui"

run_case() { # how the display goes: "alone", "after-term" or "rename-open"
    local how=$1
    start_session
    export QUAVIX_INSTANCE_NAME="quavix-e2e-display-$$-$how"
    mkdir -p "$XDG_CONFIG_HOME/quavix"
    : >"$E2E_DIR/list.txt"
    local options="$XDG_CONFIG_HOME/quavix/options.ini"
    printf '[File Locations]\nFileList=%s\n' "$E2E_DIR/list.txt" >"$options"
    if [ "$how" = rename-open ]; then # a station whose only song breaks the name convention
        mkdir -p "$E2E_DIR/songs"
        : >"$E2E_DIR/songs/badly named.mp3"
        printf '[File Locations]\nFileList=%s\nMP3Location001=%s/\n[StartUp]\nAutoLoadMP3Locations=Yes\n[Play Status]\nContinue=Yes\n' \
            "$E2E_DIR/list.txt" "$E2E_DIR/songs" >"$XDG_CONFIG_HOME/quavix/quavix.ini"
    fi

    "$gui" >"$E2E_DIR/gui.log" 2>&1 &
    local pid=$!
    own_pid $pid
    local wid
    wid=$(wait_for_window '^Quavix$' 20) || fail "no strip window: $(cat "$E2E_DIR/gui.log")"
    width() { xdotool getwindowgeometry --shell "$wid" | sed -n 's/^WIDTH=//p'; }
    if [ "$how" = rename-open ]; then
        wait_for_window "^Reset Song File Name$" 20 >/dev/null ||
            fail "no rename window: $(cat "$E2E_DIR/gui.log")"
    fi
    if [ "$how" != rename-open ]; then # the window waiting for an answer holds the keys
        open_strip_menu "$pid" "$wid" || fail "no menu on a right click"
        xdotool key o
        xdotool key s
        wait_for '[ "$(width)" -gt 16 ]' 10 || fail "Show Slider did not change the strip"
    fi

    [ "$how" = after-term ] && kill -TERM "$pid"
    kill -KILL "$E2E_XVFB_PID"
    wait_for "! kill -0 $pid" 10 || fail "$how: the program outlived its display"
    wait "$pid"
    local status=$?
    [ "$status" -lt 128 ] || fail "$how: ended by signal $((status - 128)): $(cat "$E2E_DIR/gui.log")"
    local shown=True
    [ "$how" = rename-open ] && shown=False
    grep -qx "SliderVisible=$shown" "$options" ||
        fail "$how: the changed option was not stored: $(cat "$options"; cat "$E2E_DIR/gui.log")"
    echo "display loss ($how): options stored"
}

(run_case alone) || exit 1
(run_case after-term) || exit 1
(run_case rename-open) || exit 1
echo "display_loss_saves_options: ok"
