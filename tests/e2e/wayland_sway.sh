#!/usr/bin/env bash
# On sway the strip rides the focused window, native Wayland and X11 alike: within 1.5 s of a
# focus change or a move it sits at the placement rule's spot against the window's frame as
# sway's tree tells it, and a screenshot shows it on top. With Always On Top off it stays.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/wayland.sh"
app=${1:?usage: wayland_sway.sh <folder of quavix-gui>}
gui=$app/quavix-gui
testwin=$app/../../tests/quavix-test-window
[ -x "$gui" ] && [ -x "$testwin" ] || fail "$gui or $testwin is not built"
for tool in sway swaymsg grim Xwayland xdotool xwininfo; do
    command -v $tool >/dev/null || skip "$tool is not installed (scripts/install-deps)"
done
enter_namespace "$@"

# sway will not run as root, and its Xwayland then serves only its own user.
export WL_USER=nobody
start_wayland_dirs nobody
cat >"$E2E_DIR/sway.conf" <<CONF
xwayland enable
output HEADLESS-1 resolution 1280x800 position 0 0
default_border normal 2
focus_follows_mouse no
exec sh -c 'echo \$SWAYSOCK > $XDG_RUNTIME_DIR/swaysock'
CONF
chown nobody "$E2E_DIR/sway.conf"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
    as_owner sway -c "$E2E_DIR/sway.conf" >"$E2E_DIR/sway.log" 2>&1 &
own_pid $!
wait_for "[ -s '$XDG_RUNTIME_DIR/swaysock' ]" 10 || skip "sway cannot start here: $(tail -3 "$E2E_DIR/sway.log")"
export SWAYSOCK=$(cat "$XDG_RUNTIME_DIR/swaysock") WAYLAND_DISPLAY=wayland-1 XDG_CURRENT_DESKTOP=sway
sm() { as_owner swaymsg "$@"; }
# sway starts Xwayland for the first X client; its display number is free inside here.
export DISPLAY=:0

# The outer rectangle "left top right bottom" of the window titled $1, from sway's tree.
frame_of() {
    sm -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from walk(c)
for n in walk(json.load(sys.stdin)):
    if n.get("name") == sys.argv[1] and n.get("type") in ("con", "floating_con"):
        r, d = n["rect"], n["deco_rect"]
        print(r["x"], r["y"] - d["height"], r["x"] + r["width"], r["y"] + r["height"])' "$1"
}

QT_QPA_PLATFORM=wayland as_owner "$testwin" NativeA 640 400 "#3060c0" >"$E2E_DIR/a.log" 2>&1 &
own_pid $!
QT_QPA_PLATFORM=xcb as_owner "$testwin" X11B 500 300 "#30a030" >"$E2E_DIR/b.log" 2>&1 &
own_pid $!
wait_for "[ -n \"\$(frame_of NativeA)\" ] && [ -n \"\$(frame_of X11B)\" ]" 15 ||
    fail "the test windows did not map: $(cat "$E2E_DIR"/a.log "$E2E_DIR"/b.log)"


# Waits until the strip sits at the rule's spot over the window titled $1.
follows() {
    local title=$1 f spot
    f=$(frame_of "$title")
    set -- $f
    local right=$3 top=$2
    for _ in $(seq 30); do
        read -r sx sy sw sh < <(strip_geometry)
        spot=$(expected_spot "$right" "$top" "$sw")
        [ "$sx $sy" = "$spot" ] && return 0
        sleep 0.05
    done
    echo "strip at $sx $sy ($sw x $sh), expected $spot over $title ($f)" >&2
    return 1
}

# The whole strip: status, buttons and icon.
strip_option StatusAreaVisible True
strip_option ControlsVisible True
start_strip one strip_geometry
grep -q "does not tell" "$E2E_DIR/gui-one.log" && fail "sway was not recognised: $(cat "$E2E_DIR/gui-one.log")"
sm '[title="^NativeA$"] focus' >/dev/null
follows NativeA || fail "the strip did not follow the native Wayland window"
sm '[title="^X11B$"] focus' >/dev/null
follows X11B || fail "the strip did not follow the X11 window"
sm '[title="^X11B$"] floating enable, resize set 420 260, move absolute position 300 200' >/dev/null
follows X11B || fail "the strip did not follow the moved window"

# On top: the strip's pixels are not the window's colour beneath it, which shows beside it.
as_owner grim -t ppm "$E2E_DIR/shot.ppm" || fail "grim could not take a screenshot"
read -r sx sy sw sh < <(strip_geometry)
/usr/bin/python3 - "$E2E_DIR/shot.ppm" "$sx" "$sy" "$sw" "$sh" <<'PY' || fail "the strip is not on top in the screenshot"
import sys
data = open(sys.argv[1], "rb").read()
parts, pos = [], 0
while len(parts) < 4:
    while data[pos:pos + 1].isspace(): pos += 1
    end = pos
    while not data[end:end + 1].isspace(): end += 1
    parts.append(data[pos:end]); pos = end
pos += 1
w, h = int(parts[1]), int(parts[2])
def pixel(x, y):
    i = pos + (y * w + x) * 3
    return tuple(data[i:i + 3])
x, y, sw, sh = map(int, sys.argv[2:])
green = (0x30, 0xa0, 0x30)
covered = [pixel(x + dx, y + sh // 2) for dx in range(2, sw - 2, 7)]
if any(p == green for p in covered):
    sys.exit("the window shows through the strip")
PY
as_owner grim "$E2E_DIR/sway-strip.png" 2>/dev/null && [ -n "${E2E_SHOTS:-}" ] && cp "$E2E_DIR/sway-strip.png" "$E2E_SHOTS/"

# The pop-up menu opens whole on the screen (sway's output is 1280 x 800).
strip_id=$(as_owner xdotool search --onlyvisible --name '^Quavix$' | head -n 1)
menu() { as_owner xdotool search --onlyvisible --classname quavix-gui 2>/dev/null | grep -v "^$strip_id$" | head -n 1; }
for _ in 1 2 3; do
    as_owner xdotool mousemove $((sx + sw - 8)) $((sy + 8)) sleep 0.2 click 3
    wait_for '[ -n "$(menu)" ]' 2 && break
done
[ -n "$(menu)" ] || fail "no menu opened on a right click on the icon"
read -r mx my mw mh < <(as_owner xwininfo -id "$(menu)" | awk '/Absolute upper-left X/ {x=$NF}
    /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
[ "$mx" -ge 0 ] && [ "$my" -ge 0 ] && [ $((mx + mw)) -le 1280 ] && [ $((my + mh)) -le 800 ] ||
    fail "the menu at $mx,$my (${mw}x$mh) does not fit on the screen"
as_owner xdotool key Escape

# Always On Top off: the strip stays where it is.
kill "$pid"
wait "$pid" 2>/dev/null
strip_option AlwaysOnTop False
start_strip two strip_geometry
sm '[title="^NativeA$"] focus' >/dev/null
sleep 2
read -r before < <(strip_geometry)
sm '[title="^X11B$"] focus' >/dev/null
sleep 2
after=$(strip_geometry)
[ "$after" = "$before" ] || fail "with Always On Top off the strip still moved: $before -> $after"
echo "PASS: on sway the strip follows native and X11 windows, stays on top, and stays put when asked"
