#!/usr/bin/env bash
# On a Wayland desktop that tells nobody which window is in front (weston here) the strip
# runs through Xwayland at the top edge of the screen, says why once in a box and on every
# start on standard error, and keeps working.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/wayland.sh"
gui=${1:?usage: wayland_fallback.sh <folder of quavix-gui>}/quavix-gui
[ -x "$gui" ] || fail "$gui is not built"
for tool in weston Xwayland xdotool xwininfo; do
    command -v $tool >/dev/null || skip "$tool is not installed (scripts/install-deps)"
done
enter_namespace "$@"
start_wayland_dirs root

weston --backend=headless-backend.so --xwayland --socket=wayland-w --width=1280 --height=800 \
    >"$E2E_DIR/weston.log" 2>&1 &
own_pid $!
wait_for "[ -S '$XDG_RUNTIME_DIR/wayland-w' ]" 10 || skip "weston cannot start here: $(tail -3 "$E2E_DIR/weston.log")"
export WAYLAND_DISPLAY=wayland-w DISPLAY=:0
unset XDG_CURRENT_DESKTOP SWAYSOCK QT_QPA_PLATFORM


start_strip one strip_geometry
wait_for "[ \$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l) -ge 2 ]" 10 ||
    fail "no box told why the strip stays"
grep -q "does not tell which window is in front" "$E2E_DIR/gui-one.log" ||
    fail "no line on standard error: $(cat "$E2E_DIR/gui-one.log")"
read -r sx sy sw sh < <(strip_geometry)
[ "$sy $sx" = "0 $((1280 - 57 - sw))" ] || fail "the strip is at $sx,$sy, not at the top edge"
for w in $(xdotool search --onlyvisible --pid $pid); do
    xwininfo -id "$w" | grep -q "Height: 16$" && continue
    # weston's window manager does not hand X windows the keyboard: the key goes to the box.
    xdotool key --window "$w" Return 2>/dev/null
done
wait_for "[ \$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l) -le 1 ]" 10 ||
    fail "the box did not close: $(for w in $(xdotool search --onlyvisible --pid $pid); do xwininfo -id $w | grep -E "xwininfo|Width|Height|Map State"; done)"
kill "$pid"
wait "$pid" 2>/dev/null

start_strip two strip_geometry
sleep 2
[ "$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l)" -le 1 ] ||
    fail "the box came again on the second start"
grep -q "does not tell which window is in front" "$E2E_DIR/gui-two.log" ||
    fail "no line on standard error on the second start"
echo "PASS: the unsupported desktop gets one box, a line per start, and a strip at the top edge"
