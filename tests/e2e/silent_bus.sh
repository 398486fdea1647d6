#!/usr/bin/env bash
# A message bus that takes connections and never answers holds nothing up: with a session
# bus that is a deaf socket or a deaf tcp port, and with a real session bus whose
# accessibility service never answers, the strip shows, the song plays, one line says which
# bus was given up, and SIGTERM ends the program. The station, with the deaf socket for its
# session bus, plays and logs its first song, says so in one line and ends on SIGTERM
# within a second.
# Usage: silent_bus.sh <folder of quavix-gui>
set -u
if [ -z "${QUAVIX_E2E_OWN_BUS:-}" ]; then
    QUAVIX_E2E_OWN_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/support/session.sh"
gui="$1/quavix-gui"
[ -x "$gui" ] || fail "no $gui"
py=/usr/bin/python3 # the system's, which has the GLib bindings
"$py" -c 'from gi.repository import Gio' 2>/dev/null || fail "python3-gi is missing"
start_session
export QUAVIX_INSTANCE_NAME="quavix-e2e-silent-bus-$$"

song="$E2E_DIR/Silent - Bus - 2026 - Tone - 0_30.mp3"
gst-launch-1.0 -q audiotestsrc wave=sine freq=440 volume=0.2 num-buffers=1300 ! \
    audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc ! xingmux ! \
    filesink location="$song" || fail "cannot generate the song"
mkdir -p "$XDG_CONFIG_HOME/quavix"
: >"$E2E_DIR/list.m3u"
printf '[File Locations]\nFileList=%s\n' "$E2E_DIR/list.m3u" >"$XDG_CONFIG_HOME/quavix/options.ini"

# Runs the program with the bus environment in "$@" (env assignments); it must show its
# strip, play and say $1 on standard error, then end on SIGTERM.
shows_plays_and_ends() {
    local said=$1 name=$2
    shift 2
    local log=$E2E_DIR/$name.log wav=$E2E_DIR/$name.wav
    env "$@" QUAVIX_AUDIO_SINK="wavenc ! filesink location=$wav" "$gui" "$song" >"$log" 2>&1 &
    local pid=$!
    own_pid $pid
    wait_for_window '^Quavix$' 15 >/dev/null ||
        fail "$name: no strip within 15 s: $(cat "$log")"
    wait_for "[ \$(stat -c %s '$wav' 2>/dev/null || echo 0) -gt 200000 ]" 10 ||
        fail "$name: nothing plays: $(cat "$log")"
    grep -q "$said" "$log" || fail "$name: nothing said of the bus: $(cat "$log")"
    [ "$(grep -c 'does not answer' "$log")" -eq 1 ] || fail "$name: more than one line: $(cat "$log")"
    kill -TERM $pid
    wait_for "! kill -0 $pid" 5 || fail "$name: SIGTERM did not end it"
}

# 1. The session bus's socket is held by a process that never reads it.
deaf=$E2E_DIR/deaf-bus
"$py" - "$deaf" <<'PY' &
import socket, sys, time
s = socket.socket(socket.AF_UNIX)
s.bind(sys.argv[1])
s.listen(64)
time.sleep(3600)
PY
own_pid $!
wait_for "[ -S '$deaf' ]" 5 || fail "the deaf socket did not come up"
shows_plays_and_ends "the session bus (unix:path=$deaf) does not answer" session \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$deaf"

# 2. The session bus is a tcp port that takes connections and never reads them.
"$py" - "$E2E_DIR/deaf-port" <<'PY' &
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(64)
with open(sys.argv[1], "w") as f:
    f.write(str(s.getsockname()[1]))
time.sleep(3600)
PY
own_pid $!
wait_for "[ -s '$E2E_DIR/deaf-port' ]" 5 || fail "the deaf tcp port did not come up"
tcp="tcp:host=127.0.0.1,port=$(cat "$E2E_DIR/deaf-port")"
shows_plays_and_ends "the session bus ($tcp) does not answer" tcp DBUS_SESSION_BUS_ADDRESS="$tcp"

# 3. The station, as a service without a display, with the deaf socket for its session bus.
songs=$E2E_DIR/station-songs
mkdir -p "$songs" "$E2E_DIR/logs"
gst-launch-1.0 -q audiotestsrc wave=sine freq=550 volume=0.2 num-buffers=870 ! \
    audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc ! xingmux ! \
    filesink location="$songs/Station - Bus - 2026 - Tone - 0_20.mp3" ||
    fail "cannot generate the station's song"
cat >"$E2E_DIR/station.ini" <<INI
[File Locations]
FileList=$E2E_DIR/station.m3u
MP3Location001=$songs/
LogLocation=$E2E_DIR/logs/
[StartUp]
Action=Preview
LogActivity=Yes
[Play Status]
Continue=Yes
INI
err=$E2E_DIR/station.err
env -u DISPLAY DBUS_SESSION_BUS_ADDRESS="unix:path=$deaf" QUAVIX_AUDIO_SINK="fakesink sync=true" \
    "$1/quavix" --station "$E2E_DIR/station.ini" >/dev/null 2>"$err" &
pid=$!
own_pid $pid
rows() {
    echo $(($(cat "$E2E_DIR"/logs/OnAirActivity-*.log 2>/dev/null | wc -l) - 1))
}
wait_for "[ \$(rows) -ge 1 ]" 10 || fail "station: no song logged within 10 s: $(cat "$err")"
[ "$(grep -c "the session bus (unix:path=$deaf) does not answer" "$err")" -eq 1 ] ||
    fail "station: not one line about the bus: $(cat "$err")"
sent=$(date +%s%N)
kill -TERM $pid
wait_for "! kill -0 $pid" 5 || fail "station: SIGTERM did not end it"
took=$((($(date +%s%N) - sent) / 1000000))
wait $pid
status=$?
[ "$status" = 0 ] || fail "station: SIGTERM gave status $status: $(cat "$err")"
[ "$took" -le 1000 ] || fail "station: it took $took ms to end on SIGTERM"

# 4. A real session bus whose screen readers' service is on and names a bus that never
#    answers.
"$py" - "unix:path=$deaf" <<'PY' &
import sys
from gi.repository import Gio, GLib
xml = """<node>
  <interface name="org.a11y.Bus"><method name="GetAddress"><arg type="s" direction="out"/></method></interface>
  <interface name="org.a11y.Status">
    <property name="IsEnabled" type="b" access="read"/>
    <property name="ScreenReaderEnabled" type="b" access="read"/>
  </interface>
</node>"""
info = Gio.DBusNodeInfo.new_for_xml(xml)
def call(conn, sender, path, iface, method, params, invocation):
    invocation.return_value(GLib.Variant("(s)", (sys.argv[1],)))
def get(conn, sender, path, iface, prop):
    return GLib.Variant("b", True)
def acquired(conn, name):
    for i in info.interfaces:
        conn.register_object("/org/a11y/bus", i, call, get, None)
Gio.bus_own_name(Gio.BusType.SESSION, "org.a11y.Bus", 0, acquired, None, None)
GLib.MainLoop().run()
PY
own_pid $!
wait_for "gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.a11y.Bus | grep -q true" 10 ||
    fail "the accessibility service did not come up"
shows_plays_and_ends "the accessibility bus does not answer" accessibility
echo "PASS"
