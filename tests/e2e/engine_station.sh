#!/usr/bin/env bash
# The unattended station as a user sets it up: a profile with two song folders, three
# generated songs; Quavix plays them in list order, writes the song list and a log row per
# song, and ends after the "End Of Play List" message is answered with the keyboard.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/session.sh"
gui=${1:?usage: engine_station.sh <folder of quavix-gui>}/quavix-gui
[ -x "$gui" ] || fail "$gui is not built"

start_session
export QUAVIX_AUDIO_SINK="fakesink sync=true"
export QUAVIX_INSTANCE_NAME="quavix-e2e-engine-$$"

songs=$E2E_DIR/songs
mkdir -p "$songs/First Folder" "$songs/Second" "$E2E_DIR/logs" "$XDG_CONFIG_HOME/quavix"
make_song() { # folder name freq tenths-of-seconds
    gst-launch-1.0 -q audiotestsrc wave=sine freq="$3" num-buffers=$(($4 * 4410 / 1024 + 1)) \
        ! audioconvert ! lamemp3enc ! xingmux ! filesink location="$songs/$1/$2" ||
        fail "cannot generate $2"
}
make_song "First Folder" "beta - Disc One - 2001 - Second Song - 0_01.mp3" 330 12
make_song "First Folder" "Alpha - Disc One - 2001 - First Song - 0_02.mp3" 440 15
make_song "Second" "Gamma - Disc Two - 1999 - Third Song - 0_01.mp3" 550 10
touch "$songs/Second/cover.jpg"

list=$E2E_DIR/station.m3u
profile=$XDG_CONFIG_HOME/quavix/quavix.ini
cat >"$profile" <<INI
[File Locations]
FileList=$list
MP3Location001=$songs/First Folder/
MP3Location002=$songs/Second/
LogLocation=$E2E_DIR/logs/
[StartUp]
AutoLoadMP3Locations=Yes
Action=Preview
LogActivity=Yes
[Play Status]
Continue=Yes
INI
printf '[File Locations]\nFileList=%s\n' "$list" >"$XDG_CONFIG_HOME/quavix/options.ini"

"$gui" "$profile" >"$E2E_DIR/gui.log" 2>&1 &
pid=$!
own_pid $pid

box=$(wait_for_window "^End Of Play List$" 60) ||
    fail "no End Of Play List message; program output: $(cat "$E2E_DIR/gui.log")"

expected_list="$songs/First Folder/Alpha - Disc One - 2001 - First Song - 0_02.mp3
$songs/First Folder/beta - Disc One - 2001 - Second Song - 0_01.mp3
$songs/Second/Gamma - Disc Two - 1999 - Third Song - 0_01.mp3"
[ "$(tr -d '\r' <"$list")" = "$expected_list" ] || fail "song list: $(cat -A "$list")"
[ "$(grep -c $'\r$' "$list")" = 3 ] || fail "song list lines do not end with CR LF"

logs=("$E2E_DIR"/logs/OnAirActivity-*.log)
[ ${#logs[@]} = 1 ] && [ -f "${logs[0]}" ] || fail "expected one log file, found: ${logs[*]}"
log=$(tr -d '\r' <"${logs[0]}")
[ "$(sed -n 1p <<<"$log")" = '"ActivityDateTime","Group","CDTitle","ReleaseYear","Title","ActivityLength","FileName"' ] ||
    fail "log header: $(sed -n 1p <<<"$log")"
[ "$(wc -l <<<"$log")" = 4 ] || fail "expected 3 log rows: $log"
n=0
while IFS= read -r song; do
    n=$((n + 1))
    row=$(sed -n "$((n + 1))p" <<<"$log")
    [[ "$row" == *",\"$song\"" ]] || fail "log row $n does not name $song: $row"
done <<<"$expected_list"
[[ "$(sed -n 2p <<<"$log")" == *',"Alpha","Disc One","2001","First Song","2",'* ]] ||
    fail "log row 1 fields: $(sed -n 2p <<<"$log")"

xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus --sync "$box"
xdotool key --clearmodifiers Return
wait_for "! kill -0 $pid" 15 || fail "the program did not end after the message was answered"
wait "$pid"
status=$?
[ "$status" = 0 ] || fail "the program ended with status $status"
echo "PASS: three songs played, listed and logged; the program ended at the end of the list"
