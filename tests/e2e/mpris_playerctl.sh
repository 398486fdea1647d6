#!/usr/bin/env bash
# Desktop media controls, with the real client on a private session bus: the station plays
# two generated songs; playerctl sees the song's metadata from its name, pauses and resumes
# it, skips to the next song, sets the volume and opens a third file; its --follow mode sees
# every change announced; Quit ends the program with its options saved. Without a session
# bus the program plays as before and says nothing about it.
# Usage: mpris_playerctl.sh <folder of quavix-gui>
set -u
here=$(cd "$(dirname "$0")" && pwd)
# Everything below runs on a bus of its own, which ends with the script.
if [ -z "${QUAVIX_E2E_PRIVATE_BUS:-}" ]; then
    QUAVIX_E2E_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$here/support/session.sh"
gui=${1:?usage: mpris_playerctl.sh <folder of quavix-gui>}/quavix-gui
[ -x "$gui" ] || fail "$gui is not built"
command -v playerctl >/dev/null || fail "playerctl is not installed (scripts/install-deps)"

start_session
export QUAVIX_AUDIO_SINK="fakesink sync=true"
export QUAVIX_INSTANCE_NAME="quavix-e2e-mpris-$$"

songs=$E2E_DIR/songs
mkdir -p "$songs" "$XDG_CONFIG_HOME/quavix"
make_song() { # name freq seconds
    gst-launch-1.0 -q audiotestsrc wave=sine freq="$2" num-buffers=$(($3 * 44100 / 1024 + 1)) \
        ! audioconvert ! lamemp3enc ! xingmux ! filesink location="$songs/$1" ||
        fail "cannot generate $1"
}
first="Alpha Band - First Disc - 2001 - Opening Song - 0_20.mp3"
second="Beta - Second Disc - 1999 - Closing Song - 0_20.mp3"
make_song "$first" 440 20
make_song "$second" 550 20
mkdir -p "$E2E_DIR/other"
make_song "../other/dropped tune.mp3" 660 20

list=$E2E_DIR/station.m3u
profile=$XDG_CONFIG_HOME/quavix/quavix.ini
options=$XDG_CONFIG_HOME/quavix/options.ini
cat >"$profile" <<INI
[File Locations]
FileList=$list
MP3Location001=$songs/
LogLocation=$E2E_DIR/
[StartUp]
AutoLoadMP3Locations=Yes
Action=Preview
[Play Status]
Continue=Yes
INI
printf '[File Locations]\nFileList=%s\n' "$list" >"$options"

# No bus at all: the station plays, and the output stays empty.
DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_DIR/no-bus" "$gui" "$profile" >"$E2E_DIR/nobus.log" 2>&1 &
pid=$!
own_pid $pid
wait_for_window '^Quavix$' 20 >/dev/null || fail "no strip without a bus: $(cat "$E2E_DIR/nobus.log")"
wait_for "[ -s '$list' ]" 20 || fail "the station did not start without a bus"
kill -TERM $pid
wait $pid
[ ! -s "$E2E_DIR/nobus.log" ] || fail "output without a bus: $(cat "$E2E_DIR/nobus.log")"

p() { playerctl -p quavix "$@" 2>&1; }
"$gui" "$profile" >"$E2E_DIR/gui.log" 2>&1 &
pid=$!
own_pid $pid
wait_for '[ "$(p status)" = Playing ]' 30 ||
    fail "playerctl sees no playing quavix ($(playerctl -l 2>&1)): $(cat "$E2E_DIR/gui.log")"
playerctl -p quavix --follow status >"$E2E_DIR/follow-status" 2>&1 &
own_pid $!
playerctl -p quavix --follow metadata title >"$E2E_DIR/follow-title" 2>&1 &
own_pid $!
wait_for "[ -s '$E2E_DIR/follow-title' ]" 10 || fail "playerctl --follow printed nothing"

# The song's fields come from its name.
meta() { p metadata "$1"; }
[ "$(meta xesam:artist)" = "Alpha Band" ] || fail "artist: $(p metadata)"
[ "$(meta xesam:album)" = "First Disc" ] || fail "album: $(p metadata)"
[ "$(meta xesam:title)" = "Opening Song" ] || fail "title: $(p metadata)"
[ "$(meta xesam:contentCreated)" = 2001 ] || fail "year: $(p metadata)"
url="file://$(sed 's/ /%20/g' <<<"$songs/$first")"
[ "$(meta xesam:url)" = "$url" ] || fail "url: $(meta xesam:url), not $url"
length=$(meta mpris:length)
[ "$length" -gt 19500000 ] && [ "$length" -lt 20500000 ] || fail "length: $length"
[[ "$(meta mpris:trackid)" == *"/org/quavix/track/"* ]] || fail "track id: $(meta mpris:trackid)"

# Pause holds the song; play-pause resumes that song where it was, not the next one.
p pause
wait_for '[ "$(p status)" = Paused ]' 5 || fail "pause: $(p status)"
held=$(p position)
sleep 0.5 # the position must not move while paused
[ "$(p position)" = "$held" ] || fail "the position moved while paused: $held, $(p position)"
p play-pause
wait_for '[ "$(p status)" = Playing ]' 5 || fail "play-pause did not resume: $(p status)"
[ "$(meta xesam:title)" = "Opening Song" ] || fail "resuming moved on to $(meta xesam:title)"
wait_for "awk 'BEGIN { exit !($(p position) > $held) }'" 5 || fail "the song did not go on"

# Next ends the song; the station goes on with the next one in list order.
p next
wait_for '[ "$(meta xesam:title)" = "Closing Song" ] && [ "$(p status)" = Playing ]' 10 ||
    fail "next: $(p status) $(p metadata)"
[ "$(meta xesam:artist)" = Beta ] || fail "artist after next: $(meta xesam:artist)"

p volume 0.5
wait_for '[[ "$(p volume)" == 0.50* ]]' 5 || fail "volume: $(p volume)"

# Opening a file plays it as a file dropped on the icon does: it becomes the play list.
p open "file://$E2E_DIR/other/dropped%20tune.mp3"
wait_for '[ "$(meta xesam:title)" = "dropped tune.mp3" ]' 10 || fail "open: $(p metadata)"
[ "$(tr -d '\r' <"$list")" = "$E2E_DIR/other/dropped tune.mp3" ] || fail "play list: $(cat "$list")"
! p metadata | grep -q xesam:artist || fail "artist of a file not named as a song: $(p metadata)"

# Every change reached the client as a signal.
wait_for "grep -qx 'dropped tune.mp3' '$E2E_DIR/follow-title'" 5 ||
    fail "titles followed: $(cat "$E2E_DIR/follow-title")"
[ "$(uniq "$E2E_DIR/follow-title")" = "Opening Song
Closing Song
dropped tune.mp3" ] || fail "titles followed: $(cat "$E2E_DIR/follow-title")"
grep -qzP 'Playing\nPaused\nPlaying' "$E2E_DIR/follow-status" ||
    fail "states followed: $(cat "$E2E_DIR/follow-status")"

# Quit: answered, no question, the options saved, status 0.
dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.quavix /org/mpris/MediaPlayer2 \
    org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit was not answered"
wait_for "! kill -0 $pid" 10 || fail "the program did not end on Quit"
wait $pid
status=$?
[ "$status" = 0 ] || fail "exit status $status after Quit"
grep -qx 'Volume=-602' "$options" || fail "the volume was not stored: $(cat "$options")"

# Quit at once while the station plays its first song: still answered before the end.
"$gui" "$profile" >"$E2E_DIR/gui2.log" 2>&1 &
pid=$!
own_pid $pid
wait_for '[ "$(p status)" = Playing ]' 30 || fail "no second start: $(cat "$E2E_DIR/gui2.log")"
dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.quavix /org/mpris/MediaPlayer2 \
    org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit while the station plays was not answered"
wait_for "! kill -0 $pid" 10 || fail "the program did not end on the second Quit"
echo "PASS: playerctl saw and drove the station; Quit saved the options; no bus, no noise"
