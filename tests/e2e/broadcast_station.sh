#!/usr/bin/env bash
# The station on the air: the unattended engine plays three generated songs and sends them
# to a private Icecast server. One listener stays connected across all three songs and
# receives at least 90% of the played sound; the stream's title follows the songs. Then the
# server is killed during the second song of a second run and started again: the station
# plays on, reconnects, and a listener can tune in again.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/session.sh"
source "$here/support/icecast.sh"
gui=${1:?usage: broadcast_station.sh <folder of quavix-gui>}/quavix-gui
[ -x "$gui" ] || fail "$gui is not built"
for tool in icecast2 curl gst-launch-1.0; do
    command -v $tool >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done

start_session
export QUAVIX_AUDIO_SINK="fakesink sync=true"
export QUAVIX_INSTANCE_NAME="quavix-e2e-broadcast-$$"
start_icecast
mount=/station.mp3

songs=$E2E_DIR/songs
mkdir -p "$songs" "$XDG_CONFIG_HOME/quavix"
seconds=4
titles=("Alpha - First Song" "Beta - Second Song" "Gamma - Third Song")
make_song() { # name freq
    gst-launch-1.0 -q audiotestsrc wave=sine volume=0.5 freq="$2" \
        num-buffers=$((seconds * 44100 / 1024 + 1)) ! audio/x-raw,rate=44100,channels=2 \
        ! audioconvert ! lamemp3enc ! xingmux ! filesink location="$songs/$1" ||
        fail "cannot generate $1"
}
make_song "Alpha - Disc One - 2001 - First Song - 0_0$seconds.mp3" 330
make_song "Beta - Disc One - 2001 - Second Song - 0_0$seconds.mp3" 440
make_song "Gamma - Disc Two - 1999 - Third Song - 0_0$seconds.mp3" 550

profile=$XDG_CONFIG_HOME/quavix/quavix.ini
cat >"$profile" <<INI
[File Locations]
FileList=$E2E_DIR/station.m3u
MP3Location001=$songs/
[StartUp]
AutoLoadMP3Locations=Yes
Action=Preview
[Play Status]
Continue=Yes
[Broadcast]
URL=http://127.0.0.1:$ICECAST_PORT$mount
Password=$ICECAST_PASSWORD
Name=Quavix test station
Genre=Test tones
INI
chmod 600 "$profile"
printf '[File Locations]\nFileList=%s\n' "$E2E_DIR/station.m3u" >"$XDG_CONFIG_HOME/quavix/options.ini"

# Starts the station; sets pid and log.
start_station() {
    log=$E2E_DIR/gui-$1.log
    "$gui" "$profile" >"$log" 2>&1 &
    pid=$!
    own_pid $pid
    wait_for "grep -q 'broadcast: connected to http://127.0.0.1:$ICECAST_PORT$mount' '$log'" 20 ||
        fail "the station did not connect: $(cat "$log")"
}

# The play list ran out when the engine says so; a Return answers its box and ends the
# program.
end_station() {
    local box
    box=$(wait_for_window "^End Of Play List$" 60) ||
        fail "no End Of Play List message; program output: $(cat "$log")"
    xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus --sync "$box"
    xdotool key --clearmodifiers Return
    wait_for "! kill -0 $pid" 10 || fail "the station did not end when its message was answered"
}

# --- A listener across three songs -------------------------------------------------------
start_station one
curl -sN "http://127.0.0.1:$ICECAST_PORT$mount" -o "$E2E_DIR/heard.mp3" &
listener=$!
own_pid $listener
: >"$E2E_DIR/titles"
(while kill -0 $pid 2>/dev/null; do
    icecast_title $mount >>"$E2E_DIR/titles"
    sleep 0.2
done) &
watcher=$!
own_pid $watcher
end_station
sleep 1
kill $listener 2>/dev/null
wait $listener 2>/dev/null
kill -0 $watcher 2>/dev/null && kill $watcher
seen=$(grep -v '^$' "$E2E_DIR/titles" | uniq)
expected=$(printf '%s\n' "${titles[@]}")
[ "$seen" = "$expected" ] || fail "stream titles, expected:
$expected
seen:
$seen"
read -r heard gap < <(heard_sound "$E2E_DIR/heard.mp3")
played=$((3 * seconds))
/usr/bin/python3 -c "import sys; sys.exit(0 if $heard >= 0.9 * $played else 1)" ||
    fail "the listener heard $heard s of the $played s played"
echo "listener: heard $heard s of $played s, longest silence between sounds $gap ms"

# --- The server goes away during the second song and comes back --------------------------
start_station two
wait_for "[ \"\$(icecast_title $mount)\" = '${titles[1]}' ]" 20 ||
    fail "the second song never went on the air: $(cat "$log")"
stop_icecast
sleep 1
start_icecast "$ICECAST_PORT"
wait_for "[ \$(grep -c 'broadcast: connected to' '$log') -ge 2 ]" 10 ||
    fail "the station did not reconnect within the backoff: $(cat "$log")"
grep -q "broadcast: lost http://127.0.0.1:$ICECAST_PORT$mount" "$log" ||
    fail "the lost connection was not told: $(cat "$log")"
timeout 3 curl -sN "http://127.0.0.1:$ICECAST_PORT$mount" -o "$E2E_DIR/again.mp3"
[ "$(stat -c %s "$E2E_DIR/again.mp3")" -gt 16000 ] ||
    fail "a listener received nothing after the server came back"
end_station
! grep -q "$ICECAST_PASSWORD" "$E2E_DIR"/gui-*.log || fail "the password reached the program's output"
echo "PASS: three songs on the air with their titles; the station outlived its server"
