#!/usr/bin/env bash
# The tray icon in a real XEmbed system tray (trayer): it is embedded at start; Minimize to
# System Tray hides the strip; a double click on the icon shows it again; a right click on
# the icon opens the menu.
# Usage: tray_icon.sh <folder of quavix-gui>
set -u
source "$(dirname "$0")/support/session.sh"
gui="$1/quavix-gui"
[ -x "$gui" ] || fail "no $gui"
command -v trayer >/dev/null || fail "trayer is not installed (scripts/install-deps)"
start_session

trayer --edge top --align right --widthtype request --height 24 >"$E2E_DIR/trayer.log" 2>&1 &
own_pid $!
wait_for "xwininfo -root -tree | grep -q '\"panel\": (\"panel\" \"trayer\")'" 10 ||
    fail "trayer did not start: $(cat "$E2E_DIR/trayer.log")"

mkdir -p "$XDG_CONFIG_HOME/quavix"
: >"$E2E_DIR/list.txt"
printf '[File Locations]\nFileList=%s\n' "$E2E_DIR/list.txt" >"$XDG_CONFIG_HOME/quavix/options.ini"
"$gui" >"$E2E_DIR/gui.log" 2>&1 &
own_pid $!

# Our window inside trayer's panel: the embedded icon.
tray_icon() {
    xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ {p = 1}
        p && /"quavix-gui"/ {print $1; exit}'
}
wait_for '[ -n "$(tray_icon)" ]' 20 || fail "no tray icon embedded: $(cat "$E2E_DIR/gui.log")"
icon=$(tray_icon)
viewable() { xwininfo -id "$1" | grep -q 'Map State: IsViewable'; }
wait_for "viewable $icon" 5 || fail "the tray icon is not shown"

# The strip: the other window named Quavix.
strip_window() { xdotool search --onlyvisible --name '^Quavix$' | grep -vx "$((icon))" | head -n 1; }
wait_for '[ -n "$(strip_window)" ]' 20 || fail "no strip window"
strip=$(strip_window)

centre() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print int(x + w / 2), int(y + h / 2)}'
}
visible_count() { xdotool search --onlyvisible --classname quavix-gui | wc -l; }

# Minimize to System Tray from the strip's menu, by its access key.
read -r x y <<<"$(centre "$strip")"
xdotool mousemove "$x" "$y" click 3
menu_open() { [ "$(visible_count)" -ge 3 ]; } # strip, icon, menu
wait_for menu_open 5 || fail "no menu on the strip"
open=$(visible_count)
xdotool key m
wait_for "! viewable $strip" 5 || fail "Minimize to System Tray did not hide the strip"
# The menu may still be unmapping; count from the state once both are gone.
wait_for '[ "$(visible_count)" -le $((open - 2)) ]' 5 || fail "the strip's menu stayed open"

# A right click on the icon brings up the menu by itself; the strip stays hidden.
read -r x y <<<"$(centre "$icon")"
before=$(visible_count)
# The tray may pass the first click on before the icon takes input: click again, 2 s each.
tray_menu() {
    local try
    for try in 1 2 3 4 5; do
        xdotool mousemove "$x" "$y" click 3
        wait_for '[ "$(visible_count)" -gt "$before" ]' 2 && return 0
    done
    return 1
}
tray_menu || fail "no menu on a right click on the tray icon"
viewable "$strip" && fail "the menu showed the strip"
[ -n "${E2E_SHOT:-}" ] && "$E2E_SHOT" "$E2E_DIR/../tray_icon.png"
xdotool key Escape
wait_for '[ "$(visible_count)" -eq "$before" ]' 5 || fail "the menu did not close"

xdotool mousemove "$x" "$y" click --repeat 2 --delay 100 1
wait_for "viewable $strip" 5 || fail "a double click on the tray icon did not show the strip"
echo "tray_icon: ok"
