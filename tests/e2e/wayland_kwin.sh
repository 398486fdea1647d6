#!/usr/bin/env bash
# On KDE Plasma (KWin) the strip rides the active window, native Wayland and X11 alike: our
# script in KWin puts it at the placement rule's spot within 1.5 s of an activation or a
# move, kept above, as KWin itself reads it back; grown by a Show command, it goes back there
# without another activation; ended, it takes the script out. With Always On Top off it stays.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/wayland.sh"
app=${1:?usage: wayland_kwin.sh <folder of quavix-gui>}
gui=$app/quavix-gui
testwin=$app/../../tests/quavix-test-window
[ -x "$gui" ] && [ -x "$testwin" ] || fail "$gui or $testwin is not built"
for tool in kwin_wayland Xwayland gdbus xprop; do
    command -v $tool >/dev/null || skip "$tool is not installed (scripts/install-deps)"
done
enter_namespace "$@"
start_wayland_dirs root

# KWin carries a file capability a container may not grant; a copy (still named
# kwin_wayland, which its platform plugin insists on) runs without it.
mkdir -p "$E2E_DIR/bin"
cp "$(command -v kwin_wayland)" "$E2E_DIR/bin/kwin_wayland"
QT_LOGGING_RULES="kwin_scripting=true" "$E2E_DIR/bin/kwin_wayland" --virtual --xwayland \
    --width 1280 --height 800 --socket wayland-kwin --no-lockscreen --no-global-shortcuts \
    --no-kactivities >"$E2E_DIR/kwin.log" 2>&1 &
own_pid $!
wait_for "gdbus call --session -d org.kde.KWin -o /KWin -m org.kde.KWin.currentDesktop" 20 ||
    skip "KWin cannot start here: $(tail -3 "$E2E_DIR/kwin.log")"
export DISPLAY=:0 WAYLAND_DISPLAY=wayland-kwin XDG_CURRENT_DESKTOP=KDE
wait_for "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" 20 ||
    fail "KWin's Xwayland did not come up: $(tail -3 "$E2E_DIR/kwin.log")"

# Runs JavaScript in KWin once; its print() lines tagged $1 come back on standard output.
n=0
kwin_eval() {
    local tag=$1 body=$2 file
    n=$((n + 1))
    file=$E2E_DIR/eval$n.js
    printf '%s\n' "$body" >"$file"
    gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript \
        "$file" "eval$n" >/dev/null
    gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.start >/dev/null
    sleep 0.2
    gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.unloadScript \
        "eval$n" >/dev/null
    grep -a "js: $tag$n " "$E2E_DIR/kwin.log" | tail -n 1 | sed "s/.*js: $tag$n //"
}
# Plasma 5 names windows "clients", Plasma 6 "windows".
js_find='var six = workspace.windowList !== undefined;
function find(test) { var l = six ? workspace.windowList() : workspace.clientList();
  for (var i = 0; i < l.length; ++i) if (test(l[i])) return l[i]; return null; }'
activate() {
    kwin_eval act "$js_find var w = find(function (c) { return c.caption == \"$1\"; });
        if (w && six) workspace.activeWindow = w; else if (w) workspace.activeClient = w;
        print(\"act$((n + 1)) \" + (w != null));" >/dev/null
}
# "frame x y w h strip x y w h keepAbove" of the window titled $1 and the strip, as KWin has
# them. (The strip's menu, once open, is the active window.)
readback() {
    kwin_eval rb "$js_find var a = find(function (c) { return c.caption == \"$1\"; });
        var s = find(function (c) { return String(c.caption) == \"Quavix\" && !c.dialog && !c.modal; });
        var f = a.frameGeometry, g = s ? s.frameGeometry : {x: -1, y: -1, width: 0, height: 0};
        print(\"rb$((n + 1)) \" + [f.x, f.y, f.width, f.height, g.x, g.y, g.width, g.height,
            s ? s.keepAbove : false].join(\" \"));"
}
follows() { # title
    local fx fy fw fh sx sy sw sh above
    activate "$1"
    for _ in $(seq 15); do
        read -r fx fy fw fh sx sy sw sh above < <(readback "$1")
        [ "$sx $sy $above" = "$((fx + fw - 57 - sw)) $((fy + 5)) true" ] && return 0
        sleep 0.1
    done
    echo "over $1 ($fx,$fy ${fw}x$fh) the strip is at $sx,$sy (${sw}x$sh), above: $above" >&2
    return 1
}

QT_QPA_PLATFORM=wayland "$testwin" NativeA 640 400 "#3060c0" >"$E2E_DIR/a.log" 2>&1 &
own_pid $!
QT_QPA_PLATFORM=xcb "$testwin" X11B 500 300 "#30a030" >"$E2E_DIR/b.log" 2>&1 &
own_pid $!
sleep 1


strip_option StatusAreaVisible True
strip_option ControlsVisible True
start_accessibility
start_strip one "[ \"\$(readback NativeA | cut -d' ' -f7)\" -gt 0 ]"
follows NativeA || fail "the strip did not follow the native Wayland window: $(cat "$E2E_DIR/gui-one.log")"
follows X11B || fail "the strip did not follow the X11 window"
kwin_eval mv "$js_find var w = find(function (c) { return c.caption == \"X11B\"; });
    w.frameGeometry = {x: 300, y: 250, width: 500, height: 300};" >/dev/null
follows X11B || fail "the strip did not follow the moved window"
# Show Slider widens the strip; KWin must learn it and place the strip again over X11B.
narrow=$(readback X11B | cut -d' ' -f7)
strip_menu Options "Show Slider" || fail "Options > Show Slider could not be chosen"
placed_wider() {
    local fx fy fw fh sx sy sw sh above
    read -r fx fy fw fh sx sy sw sh above < <(readback X11B)
    [ "$sw" -gt "$narrow" ] && [ "$sx $sy" = "$((fx + fw - 57 - sw)) $((fy + 5))" ]
}
wait_for placed_wider 5 ||
    fail "the wider strip was not placed again: frame and strip $(readback X11B), was $narrow wide"

kill "$pid"
wait "$pid" 2>/dev/null
gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.isScriptLoaded \
    "quavix-follow-$pid" | grep -q false || fail "the ended strip left its script in KWin"
strip_option AlwaysOnTop False
start_strip two "[ \"\$(readback NativeA | cut -d' ' -f7)\" -gt 0 ]"
activate NativeA
sleep 1.5
before=$(readback NativeA | cut -d' ' -f5,6)
activate X11B
sleep 1.5
after=$(readback X11B | cut -d' ' -f5,6)
[ "$before" = "$after" ] || fail "with Always On Top off the strip still moved: $before -> $after"
echo "PASS: on KWin the strip follows native and X11 windows, kept above, placed again when it grows, and stays put when asked"
