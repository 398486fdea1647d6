#!/usr/bin/env bash
# On GNOME with the Quavix extension enabled the strip rides the focused window, native
# Wayland and X11 alike: within 1.5 s it sits at the placement rule's spot, above, as the
# extension reads it back from the shell; grown by a Show command, it goes back there without
# another focus change. With Always On Top off it stays.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/wayland.sh"
app=${1:?usage: wayland_gnome.sh <folder of quavix-gui>}
gui=$app/quavix-gui
testwin=$app/../../tests/quavix-test-window
extension=$app/../../share/gnome-shell/extensions/follow@quavix.org
[ -x "$gui" ] && [ -x "$testwin" ] && [ -f "$extension/extension.js" ] || fail "not built"
for tool in gnome-shell Xwayland gdbus gsettings xdotool; do
    command -v $tool >/dev/null || skip "$tool is not installed (scripts/install-deps)"
done
enter_namespace "$@"
# The shell wants a system bus, and must not find logind's seats (it would ask logind).
mount -t tmpfs none /run/dbus 2>/dev/null || { mkdir -p /run/dbus && mount -t tmpfs none /run/dbus; }
[ -d /run/systemd ] && mount -t tmpfs none /run/systemd
dbus-daemon --system --nofork --nopidfile >/dev/null 2>&1 &
own_pid $!
start_wayland_dirs root
wait_for "[ -S /run/dbus/system_bus_socket ]" 10 || fail "no system bus"

mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
cp -r "$extension" "$XDG_DATA_HOME/gnome-shell/extensions/"
gsettings set org.gnome.shell disable-user-extensions false
gsettings set org.gnome.shell enabled-extensions "['follow@quavix.org']"
gnome-shell --headless --wayland --wayland-display wayland-gnome --virtual-monitor 1280x800 \
    >"$E2E_DIR/shell.log" 2>&1 &
own_pid $!
shell() { gdbus call --session -d org.gnome.Shell "$@"; }
wait_for "shell -o /org/gnome/Shell -m org.freedesktop.DBus.Peer.Ping" 30 ||
    skip "GNOME Shell cannot start here: $(tail -3 "$E2E_DIR/shell.log")"
wait_for "shell -o /org/quavix/FollowShell -m org.quavix.FollowShell.GetStrip" 10 ||
    fail "the extension did not start: $(grep -i quavix "$E2E_DIR/shell.log" | tail -5)"
# The shell starts with its overview open, where no window has the focus.
overview_closed() {
    shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Set org.gnome.Shell \
        OverviewActive '<false>' >/dev/null
    shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Get org.gnome.Shell \
        OverviewActive | grep -q false
}
wait_for "grep -q 'GNOME Shell started' '$E2E_DIR/shell.log'" 20
sleep 0.5
wait_for overview_closed 10 || fail "the overview stays open"
export WAYLAND_DISPLAY=wayland-gnome XDG_CURRENT_DESKTOP=GNOME
for d in 0 1 2; do
    for auth in "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.*; do
        XAUTHORITY=$auth DISPLAY=:$d xprop -root >/dev/null 2>&1 &&
            export DISPLAY=:$d XAUTHORITY=$auth && break 2
    done
done

# "x y w h" of the focused window, and "x y w h above" of the strip, as the shell has them.
focused() { shell -o /org/quavix/FollowShell -m org.quavix.FollowShell.GetFocused | tr -d "(),'" | awk '{print $(NF-3), $(NF-2), $(NF-1), $NF, $1}'; }
strip() { shell -o /org/quavix/FollowShell -m org.quavix.FollowShell.GetStrip | tr -d "()," ; }
follows() { # title
    local fx fy fw fh title sx sy sw sh above
    for _ in $(seq 15); do
        read -r fx fy fw fh title < <(focused)
        read -r sx sy sw sh above < <(strip)
        [ "$title" = "$1" ] && [ "$sx $sy $above" = "$((fx + fw - 57 - sw)) $((fy + 5)) true" ] &&
            return 0
        sleep 0.1
    done
    echo "over $title ($fx,$fy ${fw}x$fh) the strip is at $sx,$sy (${sw}x$sh), above: $above" >&2
    return 1
}


strip_option StatusAreaVisible True
strip_option ControlsVisible True
start_accessibility
start_strip one "[ \"\$(strip | cut -d' ' -f3)\" -gt 0 ]"
# New windows take the focus.
QT_QPA_PLATFORM=wayland "$testwin" NativeA 640 400 "#3060c0" >"$E2E_DIR/a.log" 2>&1 &
own_pid $!
follows NativeA || fail "the strip did not follow the native Wayland window: $(cat "$E2E_DIR/gui-one.log" "$E2E_DIR/a.log"; shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive; tail -5 "$E2E_DIR/shell.log")"
QT_QPA_PLATFORM=xcb "$testwin" X11B 500 300 "#30a030" >"$E2E_DIR/b.log" 2>&1 &
own_pid $!
# The shell keeps a new X11 window from taking the focus by itself: ask for it.
wait_for "xdotool search --name '^X11B$'" 10 || fail "the X11 window did not map"
sleep 0.5
xdotool search --name '^X11B$' windowactivate 2>/dev/null
follows X11B || fail "the strip did not follow the X11 window: DISPLAY=${DISPLAY:-} $(cat "$E2E_DIR/b.log"; ls -a "$XDG_RUNTIME_DIR")"
xdotool search --name '^X11B$' windowmove 200 300 2>/dev/null
follows X11B || fail "the strip did not follow the moved window"
# Show Slider widens the strip; the shell must learn it and place the strip again over X11B
# (the menu, once open, has the focus).
read -r fx fy fw fh _ < <(focused)
narrow=$(strip | cut -d' ' -f3)
strip_menu Options "Show Slider" || fail "Options > Show Slider could not be chosen"
placed_wider() {
    local sx sy sw sh above
    read -r sx sy sw sh above < <(strip)
    [ "$sw" -gt "$narrow" ] && [ "$sx $sy" = "$((fx + fw - 57 - sw)) $((fy + 5))" ]
}
wait_for placed_wider 5 ||
    fail "the wider strip was not placed again: at $(strip) over $fx,$fy ${fw}x$fh, was $narrow wide"

kill "$pid"
wait "$pid" 2>/dev/null
strip_option AlwaysOnTop False
start_strip two "[ \"\$(strip | cut -d' ' -f3)\" -gt 0 ]"
sleep 1.5
before=$(strip)
QT_QPA_PLATFORM=wayland "$testwin" NativeC 300 200 "#c03060" >"$E2E_DIR/c.log" 2>&1 &
own_pid $!
sleep 1.5
[ "$(focused | cut -d' ' -f5)" = NativeC ] || fail "the new window did not take the focus"
[ "$(strip)" = "$before" ] || fail "with Always On Top off the strip still moved: $before -> $(strip)"
echo "PASS: on GNOME with the extension the strip follows native and X11 windows, kept above, placed again when it grows, and stays put when asked"
