#!/usr/bin/env bash
# The station as a service, with no display variable at all: `quavix --station PROFILE`
# plays two songs of three and skips the badly named one (said on standard error, the file
# left as it was), logs a row per song, broadcasts to a private Icecast server with one
# listener across the songs, and ends with status 0 at the end of the list. A second run is
# paused, resumed and skipped to its next song with playerctl on a private session bus, and
# gets SIGTERM in the middle of that song: it ends within a second, the song's row written,
# the server connection closed. A third run writes 2,000 lines about badly named files
# into a pipe that nobody reads: it plays all the same and still ends on SIGTERM.
if [ -z "${QUAVIX_E2E_PRIVATE_BUS:-}" ]; then
    QUAVIX_E2E_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/session.sh"
source "$here/support/icecast.sh"
bin=${1:?usage: station_service.sh <folder of quavix-gui>}
[ -x "$bin/quavix" ] && [ -x "$bin/quavix-gui" ] || fail "quavix is not built in $bin"
for tool in icecast2 curl gst-launch-1.0 playerctl; do
    command -v $tool >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done

start_headless_session
export QUAVIX_AUDIO_SINK="fakesink sync=true"
export QUAVIX_INSTANCE_NAME="quavix-e2e-service-$$"
start_icecast ${E2E_ICECAST_PORT:-} # a free port unless told
mount=/service.mp3

songs=$E2E_DIR/songs
mkdir -p "$songs" "$E2E_DIR/logs"
make_song() { # name seconds freq
    gst-launch-1.0 -q audiotestsrc wave=sine volume=0.5 freq="$3" \
        num-buffers=$(($2 * 44100 / 1024 + 1)) ! audio/x-raw,rate=44100,channels=2 \
        ! audioconvert ! lamemp3enc ! xingmux ! filesink location="$songs/$1" ||
        fail "cannot generate $1"
}
seconds=3
make_song "Alpha - Disc One - 2001 - First Song - 0_03.mp3" $seconds 330
make_song "Bad name without fields.mp3" $seconds 440
make_song "Gamma - Disc Two - 1999 - Third Song - 0_03.mp3" $seconds 550
bad=$songs/"Bad name without fields.mp3"
bad_sum=$(md5sum <"$bad")

list=$E2E_DIR/station.m3u
profile=$E2E_DIR/station.ini
write_profile() { # [extra StartUp lines]
    cat >"$profile" <<INI
[File Locations]
FileList=$list
MP3Location001=$songs/
LogLocation=$E2E_DIR/logs/
[StartUp]
Action=Preview
LogActivity=Yes
${1:-}
[Play Status]
Continue=Yes
[Broadcast]
URL=http://127.0.0.1:$ICECAST_PORT$mount
Password=$ICECAST_PASSWORD
Name=Quavix service test
INI
    chmod 600 "$profile"
}

# Starts the station in the background; sets pid, out and err.
start_station() {
    out=$E2E_DIR/station-$1.out
    err=$E2E_DIR/station-$1.err
    "$bin/quavix" --station "$profile" >"$out" 2>"$err" &
    pid=$!
    own_pid $pid
    wait_for "grep -q 'broadcast: connected to http://127.0.0.1:$ICECAST_PORT$mount' '$err'" 20 ||
        fail "the station did not go on the air: $(cat "$err")"
}

source_on_air() {
    curl -sf "http://127.0.0.1:$ICECAST_PORT/status-json.xsl" | grep -q "\"listenurl\":\"[^\"]*$mount\""
}

# --- To the end of the list ----------------------------------------------------------------
write_profile
start_station list
curl -sN "http://127.0.0.1:$ICECAST_PORT$mount" -o "$E2E_DIR/heard.mp3" &
listener=$!
own_pid $listener
wait_for "! kill -0 $pid" 60 || fail "the station did not end at the end of its list: $(cat "$err")"
wait $pid
status=$?
[ "$status" = 0 ] || fail "the station ended with status $status: $(cat "$err")"
# The connection ends with the station, and the listener with it.
wait_for "! source_on_air" 5 || fail "the server still has the station's source"
wait_for "! kill -0 $listener" 5 || fail "the listener was not let go"

grep -qx "quavix: End Of Play List: The last song has been played / Click OK to exit (answered OK)" \
    "$err" || fail "no End Of Play List line: $(cat "$err")"
[ "$(tail -n 1 "$err")" = "quavix: End Of Play List: The last song has been played / Click OK to exit (answered OK)" ] ||
    fail "the station went on after the end of its list: $(cat "$err")"
grep -qF "quavix: skipping \"$bad\": its name does not follow" "$err" ||
    fail "the badly named song was not named on standard error: $(cat "$err")"
[ -f "$bad" ] && [ "$(md5sum <"$bad")" = "$bad_sum" ] || fail "the badly named song was touched"
[ "$(ls "$songs" | wc -l)" = 3 ] || fail "the song folder changed: $(ls "$songs")"
[ -s "$out" ] && fail "the station wrote to standard output: $(cat "$out")"

expected_list="$songs/Alpha - Disc One - 2001 - First Song - 0_03.mp3
$songs/Gamma - Disc Two - 1999 - Third Song - 0_03.mp3"
[ "$(tr -d '\r' <"$list")" = "$expected_list" ] || fail "song list: $(cat -A "$list")"
logs=("$E2E_DIR"/logs/OnAirActivity-*.log)
[ ${#logs[@]} = 1 ] && [ -f "${logs[0]}" ] || fail "expected one log file: ${logs[*]}"
log=$(tr -d '\r' <"${logs[0]}")
[ "$(wc -l <<<"$log")" = 3 ] || fail "expected a header and 2 rows: $log"
[[ "$(sed -n 2p <<<"$log")" == *',"Alpha","Disc One","2001","First Song","3","'"$songs/Alpha"* ]] ||
    fail "row 1: $(sed -n 2p <<<"$log")"
[[ "$(sed -n 3p <<<"$log")" == *',"Gamma","Disc Two","1999","Third Song","3","'"$songs/Gamma"* ]] ||
    fail "row 2: $(sed -n 3p <<<"$log")"

read -r heard _ < <(heard_sound "$E2E_DIR/heard.mp3")
played=$((2 * seconds))
/usr/bin/python3 -c "import sys; sys.exit(0 if $heard >= 0.9 * $played else 1)" ||
    fail "the listener heard $heard s of the $played s played"
echo "list: 2 songs played and logged, the bad name skipped; the listener heard $heard s of $played s"

# --- SIGTERM in the middle of a song -------------------------------------------------------
rm -f "$songs"/*.mp3 "$E2E_DIR"/logs/*
make_song "Long - Disc - 2002 - Song - 0_20.mp3" 20 440
make_song "Next - Disc - 2002 - Song - 0_20.mp3" 20 550
start_station term
rows() {
    echo $(($(cat "$E2E_DIR"/logs/OnAirActivity-*.log 2>/dev/null | wc -l) - 1))
}
player() {
    playerctl -p quavix "$@" 2>/dev/null
}
wait_for "[ \$(rows) -ge 1 ] && [ \"\$(player status)\" = Playing ]" 20 ||
    fail "the first song did not start, or the media controls do not see it: $(cat "$err")"
player pause
wait_for "[ \"\$(player status)\" = Paused ]" 5 || fail "playerctl pause: $(player status)"
player play
wait_for "[ \"\$(player status)\" = Playing ]" 5 || fail "playerctl play: $(player status)"
player next
wait_for "[ \$(rows) -ge 2 ]" 5 || fail "playerctl next did not start the next song"
[ "$(player metadata title)" = "Song" ] && [ "$(player metadata artist)" = "Next" ] ||
    fail "after next the media controls show: $(player metadata)"
sleep 2 # well into the song
sent=$(date +%s%N)
kill -TERM $pid
wait_for "! kill -0 $pid" 5 || fail "the station did not end on SIGTERM"
took=$((($(date +%s%N) - sent) / 1000000))
wait $pid
status=$?
[ "$status" = 0 ] || fail "SIGTERM: status $status: $(cat "$err")"
[ "$took" -le 1000 ] || fail "the station took $took ms to end on SIGTERM"
log=$(tr -d '\r' <"$E2E_DIR"/logs/OnAirActivity-*.log)
[ "$(wc -l <<<"$log")" = 3 ] &&
    [[ "$(sed -n 3p <<<"$log")" == *',"Next","Disc","2002","Song","20","'"$songs/Next"* ]] ||
    fail "the log after SIGTERM: $log"
wait_for "! source_on_air" 3 || fail "the server still has the source after SIGTERM"
! grep -q "$ICECAST_PASSWORD" "$E2E_DIR"/station-*.err || fail "the password reached standard error"
echo "list, playerctl and SIGTERM: ok (SIGTERM ended it in $took ms)"

# --- Standard error that nobody reads ------------------------------------------------------
# `quavix --station P 2>&1 | less` left alone: 2,000 lines about badly named files fill the
# pipe five times over. The station plays all the same and obeys SIGTERM.
rm -f "$songs"/*.mp3 "$E2E_DIR"/logs/*
make_song "Long - Disc - 2002 - Song - 0_20.mp3" 20 440
for i in $(seq 1 2000); do
    : >"$songs/badly named file number $i of the many that break the convention.mp3"
done
quiet=$E2E_DIR/unread.ini
# On the air too: the broadcast's own lines come after the pipe is full.
printf '[File Locations]\nFileList=%s\nMP3Location001=%s/\nLogLocation=%s/logs/\n[StartUp]\nAction=Preview\nLogActivity=Yes\n[Play Status]\nContinue=Yes\n[Broadcast]\nURL=http://127.0.0.1:%s/unread.mp3\nPassword=%s\n' \
    "$list" "$songs" "$E2E_DIR" "$ICECAST_PORT" "$ICECAST_PASSWORD" >"$quiet"
chmod 600 "$quiet"
unread=$E2E_DIR/unread
mkfifo "$unread"
exec 3<>"$unread" # held open, never read
"$bin/quavix" --station "$quiet" >/dev/null 2>"$unread" &
pid=$!
own_pid $pid
wait_for "[ \$(rows) -ge 1 ]" 30 || fail "the station did not play with its standard error unread"
sent=$(date +%s%N)
kill -TERM $pid
wait_for "! kill -0 $pid" 5 || fail "the station did not end on SIGTERM with its standard error unread"
took_unread=$((($(date +%s%N) - sent) / 1000000))
wait $pid
status=$?
exec 3<&-
[ "$status" = 0 ] || fail "SIGTERM with standard error unread: status $status"
[ "$took_unread" -le 1000 ] || fail "the station took $took_unread ms to end on SIGTERM"
echo "PASS: a station without a display played, skipped, logged and broadcast its list; SIGTERM ended it in $took ms, and in $took_unread ms with its standard error unread"
