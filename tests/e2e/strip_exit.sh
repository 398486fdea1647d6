#!/usr/bin/env bash
# The strip as a user meets it: it starts from stored options, stays out of the task bar,
# asks before it closes (No keeps it running), and on Yes stores its options and ends.
# Usage: strip_exit.sh <folder of quavix-gui>
set -u
source "$(dirname "$0")/support/session.sh"
gui="$1/quavix-gui"
[ -x "$gui" ] || fail "no $gui"
start_session

mkdir -p "$XDG_CONFIG_HOME/quavix"
: >"$E2E_DIR/list.txt"
options="$XDG_CONFIG_HOME/quavix/options.ini"
cat >"$options" <<INI
[File Locations]
FileList=$E2E_DIR/list.txt

[Options]
ControlsVisible=True
Volume=-600
INI

"$gui" >"$E2E_DIR/gui.log" 2>&1 &
pid=$!
own_pid $pid

wid=$(wait_for_window '^Quavix$' 20) || fail "no strip window: $(cat "$E2E_DIR/gui.log")"

state=$(xprop -id "$wid" _NET_WM_STATE)
case "$state" in *_NET_WM_STATE_SKIP_TASKBAR*) ;; *) fail "strip is in the task bar: $state" ;; esac
case "$state" in *_NET_WM_STATE_SKIP_PAGER*) ;; *) fail "strip is in the pager: $state" ;; esac

# Button bar (236 px) and icon (16 px), 16 px high, right edge 57 px from the screen's.
eval "$(xdotool getwindowgeometry --shell "$wid")"
[ "$WIDTH" = 252 ] && [ "$HEIGHT" = 16 ] || fail "strip is ${WIDTH}x$HEIGHT"
[ $((X + WIDTH)) = $((1280 - 57)) ] || fail "strip right edge at $((X + WIDTH))"

# Closes the strip the way the window manager does, and returns the question box's id.
ask_to_close() {
    xdotool windowfocus --sync "$wid" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers alt+F4
    wait_for_window '^Exit$' 10
}

box=$(ask_to_close) || fail "no exit question after alt+F4"
xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
xdotool key Escape
wait_for "! xdotool search --onlyvisible --name '^Exit\$'" 10 || fail "question stays after No"
kill -0 "$pid" 2>/dev/null || fail "the program ended although the answer was No"
xdotool search --onlyvisible --name '^Quavix$' >/dev/null || fail "strip gone after No"
grep -q '^AlwaysOnTop=' "$options" && fail "options stored although the answer was No"

box=$(ask_to_close) || fail "no exit question the second time"
xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
xdotool key Return
wait_for "! kill -0 $pid" 15 || fail "the program did not end after Yes"

expect() {
    grep -qx "$1=$2" "$options" || fail "stored $1 is not $2: $(grep "^$1=" "$options")"
}
expect AlwaysOnTop True
expect ControlsVisible True
expect StatusAreaVisible False
expect SliderVisible False
expect Minimized False
expect RemoveFromSystemTray False
expect Volume -600
echo "strip_exit: ok"
