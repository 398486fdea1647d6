#!/usr/bin/env bash
# Bad input of every kind, one row each: the real program is started on a sandbox holding
# the bad file (or name, or address) and must not crash, must not hang (every step has a
# deadline), must tell the user where the user must know (the boxes it shows are read from
# $QUAVIX_DIALOG_LOG and matched against the row's pattern, "-" = no box at all), and must
# leave the input as it was (files registered with `keep` are compared byte for byte).
#
# Rows run on several private X servers at once, one row at a time per server, so that
# keyboard focus is never shared. Each row: its own XDG folders and instance name.
#
#   name | expected boxes (ERE, or -) | setup (shell, in the row folder $R) | arguments
# A setup may set PLAY=1 (Play from the menu once the strip is up), UNTIL (a condition the
# run waits for before it ends the program), CHECK (a condition afterwards, or "aside" /
# "listed"), SINK (the sound output), DEADLINE (seconds) and OTHER_USER.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/session.sh"
bin=${1:?usage: bad_input.sh <folder of quavix-gui>}
bin=$(cd "$bin" && pwd)
[ -x "$bin/quavix-gui" ] || fail "no quavix-gui in $bin"
lanes=${BAD_INPUT_LANES:-4}
only=${BAD_INPUT_ROWS:-} # a regex of row names, to run a few

start_session
export QUAVIX_AUDIO_SINK="fakesink sync=true"

# --- shared material -----------------------------------------------------------------
song=$E2E_DIR/good.mp3
gst-launch-1.0 -q audiotestsrc wave=sine num-buffers=20 ! audioconvert ! lamemp3enc ! \
    xingmux ! filesink location="$song" || fail "cannot generate a song"
# A server that accepts connections and never says a word.
python3 -c '
import socket, sys
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(16)
print(s.getsockname()[1], flush=True)
held = []
while True:
    held.append(s.accept()[0])
' >"$E2E_DIR/stall.port" &
own_pid $!
wait_for "[ -s '$E2E_DIR/stall.port' ]" 10 || fail "no stalling server"
stall=$(cat "$E2E_DIR/stall.port")
# A port where nothing listens: take one and let it go.
refused=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# --- helpers for the setups ------------------------------------------------------------
profile() { printf '[File Locations]\nFileList=%s\n%s' "$R/list.m3u" "${1:-}" >"$R/config/quavix/quavix.ini"; }
keep() { local f; for f in "$@"; do echo "$f" >>"$R/keep"; done; }
junk() { head -c "${2:-4096}" /dev/urandom >"$1"; }
station() { # a station with one song folder; the command line names the station profile
    mkdir -p "$R/songs"
    cp "$song" "$R/songs/Group - CD - 2001 - Song - 0_01.mp3"
    profile "MP3Location001=$R/songs/
[StartUp]
AutoLoadMP3Locations=Yes
"
}
as_other_user() { [ "$(id -u)" -eq 0 ] && echo yes; } # root reads any file: drop to nobody

# --- the table -------------------------------------------------------------------------
rows=$(cat <<'TABLE'
profile-binary      | ^Missing Information: | junk config/quavix/quavix.ini; keep config/quavix/quavix.ini |
profile-huge        | -                     | profile; printf '%*s\n' 30000000 x >>config/quavix/quavix.ini; keep config/quavix/quavix.ini |
profile-nul         | -                     | profile; printf 'Bad\0Key=1\n\0\0\0\n' >>config/quavix/quavix.ini; keep config/quavix/quavix.ini |
profile-utf8        | -                     | profile $'[\xff\xfe]\nKey=\xc0\xaf\xed\xa0\x80\n'; keep config/quavix/quavix.ini |
profile-cr-only     | ^Missing Information: | printf '[File Locations]\rFileList=%s\r' "$R/list.m3u" >config/quavix/quavix.ini; keep config/quavix/quavix.ini |
profile-directory   | ^Missing Information: | mkdir config/quavix/quavix.ini |
profile-fifo        | ^Missing Information: | mkfifo config/quavix/quavix.ini |
profile-unreadable  | ^Missing Information: | profile; chmod 000 config/quavix/quavix.ini; OTHER_USER=$(as_other_user) |
profile-empty       | ^Missing Information: | : >config/quavix/quavix.ini; keep config/quavix/quavix.ini |
profile-list-is-dir | -                     | profile; mkdir list.m3u |
options-binary      | -                     | profile; junk config/quavix/options.ini; cp config/quavix/options.ini orig; CHECK=aside |
options-huge        | -                     | profile; printf '%*s\n' 30000000 x >config/quavix/options.ini; cp config/quavix/options.ini orig; CHECK=aside |
options-nul         | -                     | profile; printf '[Options]\nLeft=1\0\n' >config/quavix/options.ini; cp config/quavix/options.ini orig; CHECK=aside |
options-utf8        | -                     | profile; printf '[Options]\nName=\xff\xfe\xc0\n' >config/quavix/options.ini; CHECK='grep -qa $'"'"'Name=\xff\xfe\xc0'"'"' config/quavix/options.ini' |
options-cr-only     | -                     | profile; printf '[Options]\rLeft=5\r' >config/quavix/options.ini; cp config/quavix/options.ini orig; CHECK=aside |
options-directory   | -                     | profile; mkdir config/quavix/options.ini |
options-fifo        | -                     | profile; mkfifo config/quavix/options.ini |
options-unreadable  | -                     | profile; printf '[Options]\nLeft=3\n' >config/quavix/options.ini; chmod 000 config/quavix/options.ini; keep config/quavix/options.ini; OTHER_USER=$(as_other_user) |
options-filelist-only | -                   | printf '[File Locations]\nFileList=%s\n\0\xff\r' "$R/list.m3u" >config/quavix/options.ini; : >config/quavix/quavix.ini |
list-binary         | -                     | profile; junk list.m3u; keep list.m3u; PLAY=1 |
list-huge           | -                     | profile; seq -f "$R/missing-%g.mp3" 200000 >list.m3u; keep list.m3u; PLAY=1 |
list-nul            | -                     | profile; printf '/a\0b.mp3\r\n\0\0\r\n' >list.m3u; keep list.m3u; PLAY=1 |
list-utf8           | -                     | profile; printf '/music/\xff\xfe.mp3\r\n' >list.m3u; keep list.m3u; PLAY=1 |
list-cr-only        | -                     | profile; printf '%s\r%s\r' "$R/a.mp3" "$R/b.mp3" >list.m3u; keep list.m3u; PLAY=1 |
list-directory      | -                     | profile; mkdir list.m3u; PLAY=1 |
list-fifo           | -                     | profile; mkfifo list.m3u; PLAY=1 |
list-unreadable     | -                     | profile; echo "$R/x.mp3" >list.m3u; chmod 000 list.m3u; keep list.m3u; OTHER_USER=$(as_other_user); PLAY=1 |
list-entry-is-dir   | -                     | profile; mkdir sub; echo "$R/sub" >list.m3u; keep list.m3u; PLAY=1 |
station-binary      | -                     | station; junk station.ini; keep station.ini | "$R/station.ini" |
station-nul         | -                     | station; printf '[Play Status]\nContinue=Yes\0\n' >station.ini; keep station.ini | "$R/station.ini" |
station-cr-only     | -                     | station; printf '[Play Status]\rContinue=Yes\r' >station.ini; keep station.ini | "$R/station.ini" |
station-fifo        | -                     | station; mkfifo station.ini | "$R/station.ini" |
station-directory   | -                     | station; mkdir station.ini | "$R/station.ini" |
history-binary      | -                     | profile; printf '[Locations]\nLocationHistory0=\xff\0\x01\nLastLocation=\r\r\n' >config/quavix/options.ini; cp config/quavix/options.ini orig; CHECK=aside |
name-quotes         | Cannot play .*does not exist | profile; CHECK=listed | "$R/it's \"quoted\".mp3" |
name-command        | Cannot play .*does not exist | profile; CHECK=listed | "$R/\$(touch pwned).mp3" |
name-backticks      | Cannot play .*does not exist | profile; CHECK=listed | "$R/\`touch pwned\`.mp3" |
name-newline        | line break            | profile; echo old >list.m3u; keep list.m3u | "$R/two"$'\n'"lines.mp3" |
name-dash           | Cannot play .*does not exist | profile; CHECK=listed | "./-style.mp3" |
name-dash-options   | Cannot play .*does not exist | profile; CHECK=listed | "./--reverse" |
media-text-as-mp3   | Cannot play .*not a sound file | profile; echo 'not a song' >fake.mp3; keep fake.mp3 | "$R/fake.mp3" |
media-empty-wav     | Cannot play .*not a sound file | profile; : >empty.wav; keep empty.wav | "$R/empty.wav" |
media-truncated-mp3 | Cannot play .*not a sound file | profile; head -c 700 "$song" >cut.mp3; keep cut.mp3 | "$R/cut.mp3" |
media-binary-au     | Cannot play .*not a sound file | profile; junk noise.au; keep noise.au | "$R/noise.au" |
media-directory     | Cannot play .*a folder, not a file | profile; mkdir folder.mp3 | "$R/folder.mp3" |
media-fifo          | Cannot play .*not a plain file | profile; mkfifo pipe.mp3 | "$R/pipe.mp3" |
media-missing       | Cannot play .*does not exist | profile | "$R/not-there.mp3" |
address-refused     | Cannot play .*cannot be reached | profile | "http://127.0.0.1:$refused/song.mp3" |
address-stalling    | Cannot play .*no answer within | profile; DEADLINE=40 | "http://127.0.0.1:$stall/song.mp3" |
address-mms         | Cannot play .*no source for "mms" | profile | "mms://127.0.0.1:$refused/stream" |
TABLE
)

# --- one row ---------------------------------------------------------------------------
# Prints "PASS name" or "FAIL name: reason" (and the details into $R/why).
run_row() {
    local name=$1 expect=$2 setup=$3 args=$4
    R=$E2E_DIR/rows/$name
    mkdir -p "$R/config/quavix" "$R/data" "$R/state" "$R/runtime"
    chmod 700 "$R/runtime"
    local PLAY="" CHECK="" UNTIL="" DEADLINE=20 OTHER_USER="" SINK=$QUAVIX_AUDIO_SINK
    : >"$R/keep"
    pushd "$R" >/dev/null || return
    eval "$setup" 2>"$R/setup.err"
    popd >/dev/null || return
    local argv=()
    eval "argv=($args)"
    local sums=""
    [ -s "$R/keep" ] && sums=$(cd "$R" && xargs -d '\n' sha256sum <keep 2>&1)
    local run=()
    if [ -n "$OTHER_USER" ]; then
        chown -R 65534:65534 "$R"
        chmod 711 "$E2E_DIR" "$E2E_DIR/rows"
        run=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
    fi
    local log=$R/boxes.log
    (
        cd "$R" && exec env XDG_CONFIG_HOME="$R/config" XDG_DATA_HOME="$R/data" \
            XDG_STATE_HOME="$R/state" XDG_RUNTIME_DIR="$R/runtime" HOME="$R" \
            QUAVIX_INSTANCE_NAME="quavix-bad-$$-$name" QUAVIX_DIALOG_LOG="$log" \
            QUAVIX_AUDIO_SINK="$SINK" \
            "${run[@]}" "$bin/quavix-gui" "${argv[@]}"
    ) >"$R/gui.log" 2>&1 &
    local pid=$! deadline=$((SECONDS + DEADLINE)) strip="" played="" quiet_until="" rc
    while [ "$SECONDS" -lt "$deadline" ] && kill -0 "$pid" 2>/dev/null; do
        local id type
        for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
            type=$(xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null)
            case $type in
            *DIALOG*) # answer every box and file dialog with Escape (OK, No, Cancel)
                xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
                xdotool key --clearmodifiers --window "$id" Escape >/dev/null 2>&1 || true
                quiet_until="" ;;
            *UTILITY*) strip=$id ;;
            esac
        done
        if [ -n "$strip" ] && [ -n "$PLAY" ] && [ -z "$played" ]; then
            # Play from the pop-up menu: a right click on the strip, then P.
            if [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -lt 2 ]; then
                xdotool mousemove --window "$strip" 8 8 click 3 >/dev/null 2>&1
            else
                xdotool key p
                played=1
            fi
        elif [ -n "$strip" ] && { [ -z "$PLAY" ] || [ -n "$played" ]; }; then
            # Settled: the strip is up (and the row's UNTIL holds); give a late box a moment.
            if [ -n "$UNTIL" ] && ! (cd "$R" && eval "$UNTIL") >/dev/null 2>&1; then
                sleep 0.1
                continue
            fi
            [ -n "$quiet_until" ] || quiet_until=$((SECONDS + 2))
            [ "$SECONDS" -lt "$quiet_until" ] || break
        fi
        sleep 0.1
    done
    local why=""
    if kill -0 "$pid" 2>/dev/null; then
        [ -n "$strip" ] || why="no strip within ${DEADLINE}s (hang?)"
        kill -TERM "$pid" 2>/dev/null
        local end=$((SECONDS + 15))
        while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$end" ]; do sleep 0.1; done
        if kill -0 "$pid" 2>/dev/null; then
            why="${why:+$why; }no exit 15 s after SIGTERM (hang)"
            kill -KILL "$pid" 2>/dev/null
        fi
    fi
    wait "$pid"
    rc=$?
    [ "$rc" -lt 128 ] || why="${why:+$why; }ended by signal $((rc - 128)) (crash)"
    [ "$rc" -eq 0 ] || [ -n "$why" ] || why="exit status $rc"
    local boxes=""
    [ -f "$log" ] && boxes=$(cat "$log")
    if [ "$expect" = "-" ]; then
        [ -z "$boxes" ] || why="${why:+$why; }unexpected box: $boxes"
    elif ! grep -qE -- "$expect" <<<"$boxes"; then
        why="${why:+$why; }no box matching '$expect' (boxes: ${boxes:-none})"
    fi
    if [ -n "$sums" ] && [ "$(cd "$R" && xargs -d '\n' sha256sum <keep 2>&1)" != "$sums" ]; then
        why="${why:+$why; }an input file changed"
    fi
    [ ! -e "$R/pwned" ] || why="${why:+$why; }a name was run as a command"
    case $CHECK in
    "") ;;
    aside) # a damaged options file is kept aside, whole, before it is rewritten
        local copy
        copy=$(ls "$R"/config/quavix/options.ini.bad-* 2>/dev/null | head -n 1)
        { [ -n "$copy" ] && cmp -s "$copy" "$R/orig"; } ||
            cmp -s "$R/config/quavix/options.ini" "$R/orig" ||
            why="${why:+$why; }the damaged options are lost" ;;
    listed) # the play list holds the name exactly (a relative one from the row's folder)
        local expected=${argv[0]}
        [[ $expected == ./* ]] && expected=$R/${expected#./}
        [ "$(cat "$R/list.m3u" 2>/dev/null)" = "$expected"$'\r' ] ||
            why="${why:+$why; }the play list does not hold the name: $(cat -A "$R/list.m3u" 2>&1)" ;;
    *) (cd "$R" && eval "$CHECK") || why="${why:+$why; }check failed: $CHECK" ;;
    esac
    if [ -n "$why" ]; then
        echo "FAIL $name: $why"
    else
        echo "PASS $name${boxes:+  [${boxes:0:90}]}"
    fi
}

# --- lanes -----------------------------------------------------------------------------
# A further X server with a window manager; sets lane_display. With E2E_DISPLAY=N the lanes
# take N+1, N+2, ... (a machine shared with other test runs); otherwise the server picks.
start_lane() {
    local fdfile=$E2E_DIR/lane$1.display
    if [ -n "${E2E_DISPLAY:-}" ]; then
        echo "$((E2E_DISPLAY + $1))" >"$fdfile"
        Xvfb ":$((E2E_DISPLAY + $1))" -screen 0 1280x800x24 -nolisten tcp 2>/dev/null &
    else
        Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp 9>"$fdfile" 2>/dev/null &
    fi
    own_pid $!
    wait_for "[ -s '$fdfile' ]" 10 || fail "lane $1: no X server"
    lane_display=":$(cat "$fdfile")"
    wait_for "DISPLAY=$lane_display xdpyinfo" 10 || fail "lane $1: $lane_display does not answer"
    start_window_manager "$lane_display" ||
        fail "lane $1: no window manager: $(cat "$E2E_DIR/openbox.log")"
}

displays=("$DISPLAY")
for ((l = 1; l < lanes; l++)); do
    start_lane "$l"
    displays+=("$lane_display")
done
mkdir -p "$E2E_DIR/rows" "$E2E_DIR/results"
lane_pids=()
for ((l = 0; l < lanes; l++)); do
    (
        export DISPLAY=${displays[$l]}
        n=0
        while IFS='|' read -r name expect setup args; do
            name=$(echo $name)
            [ -n "$name" ] || continue
            [ -z "$only" ] || [[ $name =~ $only ]] || continue
            if [ $((n++ % lanes)) -ne "$l" ]; then continue; fi
            expect=$(echo $expect)
            run_row "$name" "$expect" "$setup" "$args" >"$E2E_DIR/results/$name" 2>&1
        done <<<"$rows"
    ) &
    lane_pids+=($!)
done
for p in "${lane_pids[@]}"; do wait "$p"; done

cat "$E2E_DIR"/results/*
total=$(cat "$E2E_DIR"/results/* | grep -c '^PASS\|^FAIL')
failed=$(cat "$E2E_DIR"/results/* | grep -c '^FAIL')
echo "bad input: $((total - failed)) of $total kinds pass"
[ "$failed" -eq 0 ] || fail "$failed kinds failed"
