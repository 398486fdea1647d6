#!/usr/bin/env bash
# A kill by the session or a task manager: an option changed from the menu, the exit
# question opened and left unanswered, then SIGTERM. The program does not wait for the
# answer: it stores its options and ends within a second with status 0.
# Usage: signal_saves_options.sh <folder of quavix-gui>
set -u
source "$(dirname "$0")/support/session.sh"
gui="$1/quavix-gui"
[ -x "$gui" ] || fail "no $gui"
start_session
export QUAVIX_INSTANCE_NAME="quavix-e2e-signal-$$"

mkdir -p "$XDG_CONFIG_HOME/quavix"
: >"$E2E_DIR/list.txt"
options="$XDG_CONFIG_HOME/quavix/options.ini"
printf '[File Locations]\nFileList=%s\n' "$E2E_DIR/list.txt" >"$options"

"$gui" >"$E2E_DIR/gui.log" 2>&1 &
pid=$!
own_pid $pid
wid=$(wait_for_window '^Quavix$' 20) || fail "no strip window: $(cat "$E2E_DIR/gui.log")"

# Options > Show Slider from the icon's menu: the strip grows by the slider.
width() {
    xdotool getwindowgeometry --shell "$wid" | sed -n 's/^WIDTH=//p'
}
[ "$(width)" = 16 ] || fail "the strip is $(width) px wide before the change"
open_strip_menu "$pid" "$wid" || fail "no menu on a right click"
xdotool key o
xdotool key s
wait_for '[ "$(width)" -gt 16 ]' 10 || fail "Show Slider did not change the strip"

xdotool windowfocus --sync "$wid" >/dev/null 2>&1 || true
xdotool key --clearmodifiers alt+F4
wait_for_window '^Exit$' 10 >/dev/null || fail "no exit question"
sent=$(date +%s%N)
kill -TERM "$pid"
wait_for "! kill -0 $pid" 5 || fail "the program did not end on SIGTERM with the exit question open"
took=$((($(date +%s%N) - sent) / 1000000))
wait "$pid"
status=$?
[ "$status" = 0 ] || fail "exit status $status after SIGTERM"
[ "$took" -le 1000 ] || fail "the program took $took ms to end on SIGTERM"
grep -qx 'SliderVisible=True' "$options" || fail "the changed option was not stored: $(cat "$options")"
grep -qx 'AlwaysOnTop=True' "$options" || fail "the options were not stored: $(cat "$options")"
echo "signal_saves_options: ok (ended $took ms after SIGTERM, the exit question open)"
