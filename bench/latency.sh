#!/usr/bin/env bash
# How long the running strip takes to answer, idle and while a song of the play list plays:
# one MPRIS property read (as a panel's media widget asks), one AT-SPI read of the status
# text (as a screen reader asks), the right click on the icon to the menu's window mapped,
# and the CPU it spends while playing. Medians of 15. Prints RESULT lines for bench/run.
# Installed by CMake as build/bench/bench_latency; needs a display (bench/run gives one).
set -u
if [ -z "${QUAVIX_BENCH_OWN_BUS:-}" ]; then
    QUAVIX_BENCH_OWN_BUS=1 exec dbus-run-session -- bash "$0" "$@" 2>/dev/null
fi
gui="$(cd "$(dirname "$0")/.." && pwd)/src/app/quavix-gui"
py=/usr/bin/python3
dir=$(mktemp -d /tmp/quavix-bench-latency.XXXXXX)
trap 'kill $pid $wm 2>/dev/null; wait $pid $wm 2>/dev/null; rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data XDG_STATE_HOME=$dir/state
export XDG_RUNTIME_DIR=$dir/runtime QUAVIX_INSTANCE_NAME=quavix-bench-latency-$$
mkdir -p "$XDG_CONFIG_HOME/quavix" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
song="$dir/Bench - Latency - 2026 - Tone - 3_00.mp3"
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
QUAVIX_AUDIO_SINK="fakesink sync=true" "$gui" >"$dir/gui.log" 2>&1 &
pid=$!

"$py" - "$pid" <<'PY'
import statistics, subprocess, sys, time
import pyatspi  # what Orca reads through; clear_cache() makes every read a question
from gi.repository import Gio, GLib

pid = int(sys.argv[1])
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

def windows():
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                         capture_output=True, text=True).stdout.split()
    return len(out)

def menu_ms():
    # The icon is the strip's right end.
    width = int(subprocess.run(["xwininfo", "-id", strip], capture_output=True,
                               text=True).stdout.split("Width:")[1].split()[0])
    times = []
    for _ in range(7):
        subprocess.run(["xdotool", "key", "Escape"])
        time.sleep(0.3)
        start = time.perf_counter()
        subprocess.run(["xdotool", "mousemove", "--window", strip, str(width - 8), "8", "click", "3"])
        while windows() < 2 and time.perf_counter() - start < 3:
            pass
        times.append((time.perf_counter() - start) * 1000)
    subprocess.run(["xdotool", "key", "Escape"])
    return statistics.median(times)

def cpu_ms(seconds=10):
    def used():
        f = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
        return (int(f[11]) + int(f[12])) * 1000 / 100  # utime + stime, 100 ticks a second
    before = used()
    time.sleep(seconds)
    return used() - before

for state in ("idle", "playing"):
    if state == "playing":
        call(player, "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player", "Play", None)
        deadline = time.time() + 10
        while time.time() < deadline and mpris("PlaybackStatus") != "Playing":
            time.sleep(0.05)
        time.sleep(1)
    print(f"RESULT latency_mpris_read_{state} {median_ms(lambda: mpris('PlaybackStatus')):.1f} ms")
    print(f"RESULT latency_atspi_read_{state} {median_ms(lambda: (label.clear_cache(), label.get_name())):.1f} ms")
    print(f"RESULT latency_menu_mapped_{state} {menu_ms():.1f} ms")
    print(f"RESULT cpu_per_10s_{state} {cpu_ms():.0f} ms")
PY
