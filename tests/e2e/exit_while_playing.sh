#!/usr/bin/env bash
# Exit while something plays: a 30 s file from the command line, then a 30 s song of the
# station. Each time the strip is closed, the exit question answered with Yes, and the
# process must be gone within 2 s with its options stored.
# Usage: exit_while_playing.sh <folder of quavix-gui>
set -u
source "$(dirname "$0")/support/session.sh"
gui="$1/quavix-gui"
[ -x "$gui" ] || fail "no $gui"
start_session
export QUAVIX_INSTANCE_NAME="quavix-e2e-exit-$$"

songs=$E2E_DIR/songs
mkdir -p "$songs" "$XDG_CONFIG_HOME/quavix" "$E2E_DIR/logs"
song="$songs/Tone - Long Disc - 2026 - Half Minute - 0_30.mp3"
gst-launch-1.0 -q audiotestsrc wave=sine freq=440 volume=0.2 samplesperbuffer=4410 \
    num-buffers=300 ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! \
    lamemp3enc target=bitrate bitrate=64 cbr=true ! xingmux ! filesink location="$song" ||
    fail "cannot generate the song"

profile=$XDG_CONFIG_HOME/quavix/quavix.ini
options=$XDG_CONFIG_HOME/quavix/options.ini
list=$E2E_DIR/Quavix.m3u
wav=$E2E_DIR/played.wav

# Plays in real time into a WAV file, so that a growing file shows the song is under way.
export QUAVIX_AUDIO_SINK="wavenc ! filesink sync=true buffer-mode=unbuffered location=\"$wav\""

playing() {
    [ -f "$wav" ] && [ "$(stat -c %s "$wav")" -gt 20000 ]
}

# Closes the strip while the song plays, answers Yes, and expects the process gone in 2 s.
exit_while_playing() { # what pid
    local what=$1 pid=$2 wid box
    wid=$(wait_for_window '^Quavix$' 20) || fail "$what: no strip: $(cat "$E2E_DIR/gui.log")"
    wait_for playing 20 || fail "$what: the song does not play: $(cat "$E2E_DIR/gui.log")"
    # Alt+F4 closes the window manager's active window: a strip that shows without taking
    # the focus may not be that yet, so the close is asked again until the question comes.
    local try
    for try in 1 2 3; do
        xdotool windowactivate --sync "$wid" >/dev/null 2>&1 ||
            xdotool windowfocus --sync "$wid" >/dev/null 2>&1 || true
        xdotool key --clearmodifiers alt+F4
        box=$(wait_for_window '^Exit$' 3) && break
    done
    [ -n "$box" ] || fail "$what: no exit question"
    xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
    xdotool key Return
    wait_for "! kill -0 $pid" 2 || fail "$what: the process is still there 2 s after Yes"
    wait "$pid"
    local status=$?
    [ "$status" = 0 ] || fail "$what: exit status $status"
    grep -qx 'AlwaysOnTop=True' "$options" || fail "$what: options not stored: $(cat "$options")"
}

# 1. A file named on the command line, played by the play-list player.
printf '[File Locations]\nFileList=%s\n' "$list" >"$profile"
"$gui" "$song" >"$E2E_DIR/gui.log" 2>&1 &
pid=$!
own_pid $pid
exit_while_playing "play list" $pid

# 2. A song of the station, played by the engine.
rm -f "$wav"
[ -f "$options" ] && sed -i "/^AlwaysOnTop=/d" "$options"
cat >"$profile" <<INI
[File Locations]
FileList=$list
MP3Location001=$songs/
LogLocation=$E2E_DIR/logs/
[StartUp]
AutoLoadMP3Locations=Yes
[Play Status]
Continue=Yes
INI
"$gui" "$profile" >"$E2E_DIR/gui.log" 2>&1 &
pid=$!
own_pid $pid
exit_while_playing "station" $pid
echo "exit_while_playing: ok"
