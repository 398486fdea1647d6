#!/usr/bin/env bash
# What listeners hear is every sample of every song, in MP3 and in Ogg: the station plays
# tones of known lengths (two of 2 s, three of 0.5 s) and a listener's stream holds each
# tone for its whole length, with no dead air at the changes of song. A source the server refuses (wrong password) is never said to
# be connected, and its attempts back off (1 s, 2 s, 4 s ...). A mount that takes the source
# but no listeners keeps the source, and says so once.
# Usage: broadcast_every_sample.sh <folder of quavix-gui>
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/session.sh"
source "$here/support/icecast.sh"
gui=${1:?usage: broadcast_every_sample.sh <folder of quavix-gui>}/quavix-gui
[ -x "$gui" ] || fail "$gui is not built"
for tool in icecast2 curl gst-launch-1.0; do
    command -v $tool >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done

start_session
export QUAVIX_AUDIO_SINK="fakesink sync=true"
export QUAVIX_INSTANCE_NAME="quavix-e2e-samples-$$"
start_icecast

songs=$E2E_DIR/songs
mkdir -p "$songs" "$XDG_CONFIG_HOME/quavix"
# name, frequency, length in ms; in list order.
tones=("A 330 2000" "B 440 500" "C 550 2000" "D 660 500" "E 770 500")
for t in "${tones[@]}"; do
    read -r name freq ms <<<"$t"
    # WAV data under a song's name (the station goes by the name, the player by the data):
    # an MP3 encoder's delay and padding would put 45 ms of silence of its own at each end.
    gst-launch-1.0 -q audiotestsrc wave=sine volume=0.5 freq="$freq" samplesperbuffer=441 \
        num-buffers=$((ms / 10)) ! audio/x-raw,rate=44100,channels=2 ! wavenc \
        ! filesink location="$songs/$name - Tones - 2026 - $freq Hz - 0_0$((ms / 1000)).mp3" ||
        fail "cannot generate $name"
done

write_profile() { # format password [mount]
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
URL=http://127.0.0.1:$ICECAST_PORT/${3:-$1.stream}
Password=$2
Format=$1
INI
    chmod 600 "$profile"
    printf '[File Locations]\nFileList=%s\n' "$E2E_DIR/station.m3u" >"$XDG_CONFIG_HOME/quavix/options.ini"
}

# Milliseconds of each tone in a received stream, in the order of $tones.
heard() {
    decode_listened "$1"
    /usr/bin/python3 - "$1.raw" "${tones[@]}" <<'PY'
import array, sys
samples = array.array("h", open(sys.argv[1], "rb").read())
tones = [t.split() for t in sys.argv[2:]]
window = 441  # 10 ms: a tone of f Hz crosses zero about f / 50 times in it
counts = {t[0]: 0 for t in tones}
loud = []
for i in range(0, len(samples) - window + 1, window):
    w = samples[i:i + window]
    loud.append(max(abs(v) for v in w) >= 1000)
    if max(abs(v) for v in w) < 3000:
        continue
    crossings = sum(1 for a, b in zip(w, w[1:]) if (a < 0) != (b < 0))
    for name, freq, _ in tones:
        if abs(crossings - int(freq) / 50) <= 1.5:
            counts[name] += 1
# The longest silence between the first and the last sound: at the changes of song.
longest = run = 0
if True in loud:
    for v in loud[loud.index(True):len(loud) - loud[::-1].index(True)]:
        run = 0 if v else run + 1
        longest = max(longest, run)
print(" ".join(str(counts[t[0]] * 10) for t in tones), longest * 10)
PY
}

run_station() { # format
    write_profile "$1" "$ICECAST_PASSWORD"
    local log=$E2E_DIR/gui-$1.log stream="$E2E_DIR/heard-$1"
    "$gui" "$profile" >"$log" 2>&1 &
    local pid=$!
    own_pid $pid
    wait_for "grep -q 'broadcast: connected to' '$log'" 20 ||
        fail "$1: the station did not connect: $(cat "$log")"
    # Unbuffered: the listener is killed at the end, and a low-rate Ogg stream's last
    # seconds would otherwise die in curl's output buffer.
    curl -sN "http://127.0.0.1:$ICECAST_PORT/$1.stream" -o "$stream" &
    local listener=$!
    own_pid $listener
    wait_for_window "^End Of Play List$" 60 >/dev/null || fail "$1: no End Of Play List: $(cat "$log")"
    sleep 3 # the last song's end is still on its way (the jitter buffer, an Ogg page)
    kill $listener $pid 2>/dev/null
    wait $listener $pid 2>/dev/null
    local got short=""
    got=$(heard "$stream") && [ -n "$got" ] || fail "$1: the listener's stream does not decode"
    local i=0 gap=${got##* }
    for ms in ${got% *}; do
        read -r name _ length <<<"${tones[$i]}"
        [ "$ms" -ge $((length * 9 / 10)) ] || short="$short $name:${ms}ms/${length}ms"
        i=$((i + 1))
    done
    echo "$1: heard per tone (ms): ${got% *}; longest silence between songs: $gap ms"
    [ -z "$short" ] || fail "$1: tones cut short on the air:$short"
    # Between songs the air stays full: within a window or two of 10 ms.
    [ "$1" != MP3 ] || [ "$gap" -le 50 ] || fail "$1: $gap ms of dead air at a change of song"
}

# The station restarts from the top of its folders each run: each run plays all five.
run_station MP3
run_station Ogg

# --- A password the server refuses ---------------------------------------------------------
write_profile MP3 wrong-password
log=$E2E_DIR/gui-refused.log
access=$E2E_DIR/icecast/log/access.log
# The runs above leave a 401 each too: libshout asks without the password first.
before=$(wc -l <"$access")
"$gui" "$profile" >"$log" 2>&1 &
pid=$!
own_pid $pid
wait_for "grep -q 'broadcast: cannot connect' '$log'" 10 || fail "the refusal was not told: $(cat "$log")"
sleep 10
kill $pid
wait $pid 2>/dev/null
grep -q 'broadcast: connected' "$log" && fail "a refused source was called connected: $(cat "$log")"
grep -q 'cannot connect.*(the server refused the source' "$log" ||
    fail "the reason was not told: $(cat "$log")"
# libshout asks twice per attempt. Backing off (1 s, 2 s, 4 s, 8 s) makes at most four
# attempts in 10 s; retried every second it would be six or more, even with the second or
# so an attempt takes here.
refusals=$(tail -n +$((before + 1)) "$access" | grep -c '"SOURCE /MP3.stream HTTP/1.0" 401' || true)
echo "refused: $refusals refused logins in 10 s"
[ "$refusals" -le 8 ] || fail "the attempts did not back off: $refusals refused logins in 10 s"

# --- A mount that takes the source but refuses listeners -------------------------------------
write_profile MP3 "$ICECAST_PASSWORD" Closed.stream
log=$E2E_DIR/gui-closed.log
"$gui" "$profile" >"$log" 2>&1 &
pid=$!
own_pid $pid
wait_for "grep -q 'refuses listeners' '$log'" 10 || fail "the closed mount was not told: $(cat "$log")"
sleep 3
kill $pid
wait $pid 2>/dev/null
[ "$(grep -c 'broadcast: connected to' "$log")" = 1 ] && ! grep -q 'cannot connect\|lost' "$log" ||
    fail "a source the server took was dropped: $(cat "$log")"
echo "closed mount: $(grep 'refuses listeners' "$log")"

! grep -q "$ICECAST_PASSWORD" "$E2E_DIR"/gui-*.log || fail "the password reached the program's output"
echo "PASS: every tone whole on the air in MP3, in Ogg too; a refused source backs off; a mount closed to listeners keeps its source"
