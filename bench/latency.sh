#!/usr/bin/env bash
# How long the running strip takes to answer, idle, while a song of the play list plays and
# while the station (the profile's engine) plays: one MPRIS property read (as a panel's
# media widget asks), one AT-SPI read of the status text (as a screen reader asks), the
# right click on the icon to the menu's window mapped, and the CPU it spends. Medians of 15.
# Prints RESULT lines for bench/run.
# Installed by CMake as build/bench/bench_latency; needs a display (bench/run gives one).
set -u
if [ -z "${QUAVIX_BENCH_OWN_BUS:-}" ]; then
    QUAVIX_BENCH_OWN_BUS=1 exec dbus-run-session -- bash "$0" "$@" 2>/dev/null
fi
gui="$(cd "$(dirname "$0")/.." && pwd)/src/app/quavix-gui"
py=/usr/bin/python3
dir=$(mktemp -d /tmp/quavix-bench-latency.XXXXXX)
pid=""
trap 'kill $pid $wm 2>/dev/null; wait $pid $wm 2>/dev/null; rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data XDG_STATE_HOME=$dir/state
export XDG_RUNTIME_DIR=$dir/runtime QUAVIX_INSTANCE_NAME=quavix-bench-latency-$$
mkdir -p "$XDG_CONFIG_HOME/quavix" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
mkdir -p "$dir/songs"
song="$dir/songs/Bench - Latency - 2026 - Tone - 3_00.mp3"
gst-launch-1.0 -q audiotestsrc wave=sine volume=0.2 num-buffers=7800 ! \
    audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc ! xingmux ! \
    filesink location="$song" || exit 1
echo "$song" >"$dir/list.m3u"
printf '[File Locations]\nFileList=%s\n[Options]\nStatusAreaVisible=True\n' "$dir/list.m3u" \
    >"$XDG_CONFIG_HOME/quavix/options.ini"
# Accessibility on as a reader turns it on.
"$py" -c 'import pyatspi; pyatspi.Registry.getDesktop(0).childCount' >/dev/null 2>&1
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null
# A window manager, as a desktop has: the strip is placed and takes clicks as there.
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# Up, as on a desktop: an openbox still starting loses the windows mapped meanwhile.
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
done
station_profile() {
    cat >"$XDG_CONFIG_HOME/quavix/quavix.ini" <<INI
[File Locations]
FileList=$dir/station.m3u
MP3Location001=$dir/songs/
[StartUp]
AutoLoadMP3Locations=Yes
Action=Preview
[Play Status]
Continue=Yes
INI
}
export QUAVIX_AUDIO_SINK="fakesink sync=true"

# measure STATE...: "idle" and "playing" ask the strip, which is told to play between
# them; "station" asks the strip while its engine plays the profile's songs.
measure() {
    "$py" - "$pid" "$@" <<'PY'
import statistics, subprocess, sys, time
import pyatspi  # what Orca reads through; clear_cache() makes every read a question
from gi.repository import Gio, GLib

pid, states = int(sys.argv[1]), sys.argv[2:]
bus = Gio.bus_get_sync(Gio.BusType.SESSION)

def call(name, path, iface, method, args):
    return bus.call_sync(name, path, iface, method, args, None, 0, 5000, None)

deadline = time.time() + 30
player = None
while time.time() < deadline and not player:
    names = call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                 "ListNames", None).unpack()[0]
    player = next((n for n in names if n.startswith("org.mpris.MediaPlayer2.quavix")), None)
    time.sleep(0.1)
if not player:
    sys.exit("no MPRIS player")

def mpris(prop):
    return call(player, "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", ("org.mpris.MediaPlayer2.Player", prop))).unpack()[0]

label = window = None
deadline = time.time() + 30
while time.time() < deadline and label is None:
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is None or app.get_process_id() != pid:
                continue
        except Exception:
            continue
        stack = [app]
        while stack:
            node = stack.pop()
            if node.getRole() == pyatspi.ROLE_LABEL and node.name.split(",")[0] in (
                    "Playing", "Paused", "Stopped"):
                label = node
            stack.extend(c for c in node if c is not None)
    time.sleep(0.2)
if label is None:
    sys.exit("no status text on the accessibility bus")
strip = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Quavix$"],
                       capture_output=True, text=True).stdout.split()[0]

def median_ms(ask, n=15):
    times = []
    for _ in range(n):
        start = time.perf_counter()
        ask()
        times.append((time.perf_counter() - start) * 1000)
        time.sleep(0.037)  # out of step with the program's waits
    return statistics.median(times)

def menu_ms():
    # From the right click on the icon (the strip's right end) to the X server's MapNotify
    # of the menu's window: the time a user waits, not the time a tool takes to look.
    from Xlib import X, display
    from Xlib.ext import xtest
    d = display.Display()
    root = d.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    win = d.create_resource_object("window", int(strip))
    geo = win.get_geometry()
    pos = root.translate_coords(win, geo.width - 8, 8)
    escape = d.keysym_to_keycode(0xff1b)

    def until(kind, seconds=3):
        end = time.perf_counter() + seconds
        while time.perf_counter() < end:
            while d.pending_events():
                e = d.next_event()
                if e.type == kind and e.window.id != win.id:
                    return time.perf_counter()
            time.sleep(0.0005)
        return None

    times = []
    for _ in range(15):
        xtest.fake_input(d, X.MotionNotify, x=pos.x, y=pos.y)
        d.sync()
        time.sleep(0.2)
        while d.pending_events():
            d.next_event()
        start = time.perf_counter()
        xtest.fake_input(d, X.ButtonPress, 3)
        xtest.fake_input(d, X.ButtonRelease, 3)
        d.flush()
        mapped = until(X.MapNotify)
        if mapped is not None:
            times.append((mapped - start) * 1000)
        time.sleep(0.1)
        xtest.fake_input(d, X.KeyPress, escape)
        xtest.fake_input(d, X.KeyRelease, escape)
        d.flush()
        until(X.UnmapNotify, 1)
        time.sleep(0.1)
    d.close()
    if not times:
        sys.exit("the menu never mapped")
    return statistics.median(times)

def cpu_ms(seconds=40):
    # Per 10 s, taken over 40: the kernel counts in 10 ms ticks.
    def used():
        f = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
        return (int(f[11]) + int(f[12])) * 1000 / 100  # utime + stime, 100 ticks a second
    before = used()
    time.sleep(seconds)
    return (used() - before) * 10 / seconds

for state in states:
    if state == "playing":
        call(player, "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player", "Play", None)
    if state != "idle":
        deadline = time.time() + 10
        while time.time() < deadline and mpris("PlaybackStatus") != "Playing":
            time.sleep(0.05)
        if mpris("PlaybackStatus") != "Playing":
            sys.exit(f"{state}: nothing plays")
        time.sleep(1)
    print(f"RESULT latency_mpris_read_{state} {median_ms(lambda: mpris('PlaybackStatus')):.1f} ms")
    print(f"RESULT latency_atspi_read_{state} {median_ms(lambda: (label.clear_cache(), label.get_name())):.1f} ms")
    print(f"RESULT latency_menu_mapped_{state} {menu_ms():.1f} ms")
    print(f"RESULT cpu_per_10s_{state} {cpu_ms():.0f} ms")
PY
}

"$gui" >"$dir/gui.log" 2>&1 &
pid=$!
measure idle playing || { cat "$dir/gui.log" >&2; exit 1; }
kill $pid
wait $pid 2>/dev/null
station_profile # the default profile: the strip's engine plays its songs from the start
"$gui" >"$dir/station.log" 2>&1 &
pid=$!
measure station || { cat "$dir/station.log" >&2; exit 1; }
