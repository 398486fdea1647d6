#!/usr/bin/env bash
# The station's loudness as its listeners hear it: three songs mastered at -30, -8 and
# -20 LUFS (the first with hits the gain pushes over the ceiling), played by `quavix
# --station` with [Sound] Loudness=-16, come out at -16 +/- 1 LU each with a true peak at
# or under -1 dBTP, recorded after the mixer and heard by an Icecast listener. The songs are
# measured once: a second run finds them in the cache. Without any
# [Sound] key the recorded sound is the songs' own samples, every one.
if [ -z "${QUAVIX_E2E_PRIVATE_BUS:-}" ]; then
    QUAVIX_E2E_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/session.sh"
source "$here/support/icecast.sh"
source "$here/support/sound.sh"
bin=${1:?usage: station_sound.sh <folder of quavix-gui>}
[ -x "$bin/quavix" ] && [ -x "$bin/quavix-gui" ] || fail "quavix is not built in $bin"
for tool in ffmpeg icecast2 curl; do
    command -v $tool >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done

start_headless_session
export QUAVIX_INSTANCE_NAME="quavix-e2e-sound-$$"

songs=$E2E_DIR/songs
mkdir -p "$songs"
names=("A - Quiet - 2001 - Thirty - 0_08.mp3" "B - Loud - 2002 - Eight - 0_08.mp3"
       "C - Mid - 2003 - Twenty - 0_08.mp3")
freqs=(400 700 1000)
mastered=(-30 -8 -20)
make_song "$songs/${names[0]}" 8 400 -30 burst
make_song "$songs/${names[1]}" 8 700 -8 noisy
make_song "$songs/${names[2]}" 8 1000 -20 noisy

# Each song's loudness in a recording, found by its tone; fails unless all three are there
# at -16 +/- 1 LU. Prints one "before -> after" line per song.
check_songs() { # recording what
    local recording=$1 what=$2 runs i=0 freq start end lufs tp
    runs=$(tone_runs "$recording" "${freqs[@]}")
    [ "$(cut -d' ' -f1 <<<"$runs" | tr '\n' ' ')" = "${freqs[*]} " ] ||
        fail "$what: the songs are not heard in turn: $runs"
    while read -r freq start end; do
        /usr/bin/python3 -c "import sys; sys.exit($end - $start < 3)" ||
            fail "$what: the $freq Hz song was heard from $start s to $end s only"
        # The middle: a song's first and last half second may be mixed with its neighbours.
        read -r lufs tp < <(loudness "$recording" "$(/usr/bin/python3 -c "print($start + 0.5)")" \
            "$(/usr/bin/python3 -c "print($end - $start - 1)")")
        /usr/bin/python3 -c "import sys; sys.exit(abs($lufs + 16) > 1)" ||
            fail "$what: the ${mastered[$i]} LUFS song came out at $lufs LUFS"
        echo "$what: ${mastered[$i]} LUFS -> $lufs LUFS (true peak $tp dBTP)"
        i=$((i + 1))
    done <<<"$runs"
}

# --- Loudness=-16, recorded after the mixer -------------------------------------------------
run_station loud "$songs" "Loudness=-16"
check_songs "$E2E_DIR/loud.wav" "recorded"
read -r _ peak < <(loudness "$E2E_DIR/loud.wav")
/usr/bin/python3 -c "import sys; sys.exit($peak > -1)" ||
    fail "the recorded true peak is $peak dBTP, over -1"
cache=$XDG_CACHE_HOME/quavix/loudness.tsv
[ "$(wc -l <"$cache")" = 3 ] || fail "the cache should hold the 3 songs: $(cat "$cache")"
before=$(stat -c %Y.%s "$cache")
sync=false run_station again "$songs" "Loudness=-16"
[ "$(stat -c %Y.%s "$cache")" = "$before" ] || fail "the songs were measured again: $(cat "$cache")"
echo "loudness: each song at -16 +/- 1 LU, true peak $peak dBTP; measured once"

# --- Without [Sound] keys: every sample as it is in the songs ------------------------------
run_station plain "$songs" ""
for name in "${names[@]}"; do
    ffmpeg -hide_banner -loglevel error -i "$songs/$name" -f f32le -
done >"$E2E_DIR/songs.f32"
/usr/bin/python3 - "$E2E_DIR/plain.wav" "$E2E_DIR/songs.f32" <<'PY' || fail "without keys the sound changed"
import array, struct, sys
data = open(sys.argv[1], "rb").read()
at = 12
while data[at:at + 4] != b"data":
    at += 8 + struct.unpack("<I", data[at + 4:at + 8])[0]
size = struct.unpack("<I", data[at + 4:at + 8])[0]
heard = array.array("f")
heard.frombytes(data[at + 8:at + 8 + size])
played = array.array("f")
played.frombytes(open(sys.argv[2], "rb").read())
if heard != played:
    differ = next((i for i, (a, b) in enumerate(zip(heard, played)) if a != b), None)
    sys.exit(f"{len(heard)} samples recorded, {len(played)} in the songs, first difference at {differ}")
PY
echo "no keys: the recording is the songs' $(($(stat -c %s "$E2E_DIR/songs.f32") / 8)) frames, sample for sample"

# --- Loudness=-16 on the air ----------------------------------------------------------------
start_icecast
mount=/sound.mp3
station_profile air "$songs" "Loudness=-16" "[Broadcast]
URL=http://127.0.0.1:$ICECAST_PORT$mount
Password=$ICECAST_PASSWORD"
QUAVIX_AUDIO_SINK="fakesink sync=true" "$bin/quavix" --station "$E2E_DIR/air.ini" \
    >/dev/null 2>"$E2E_DIR/air.err" &
pid=$!
own_pid $pid
wait_for "grep -q 'broadcast: connected to' '$E2E_DIR/air.err'" 20 ||
    fail "the station did not go on the air: $(cat "$E2E_DIR/air.err")"
curl -sN "http://127.0.0.1:$ICECAST_PORT$mount" -o "$E2E_DIR/heard.mp3" &
listener=$!
own_pid $listener
wait_for "! kill -0 $pid" 60 || fail "the station on the air did not end: $(cat "$E2E_DIR/air.err")"
wait_for "! kill -0 $listener" 5 || fail "the listener was not let go"
ffmpeg -hide_banner -loglevel error -i "$E2E_DIR/heard.mp3" -c:a pcm_f32le -y "$E2E_DIR/heard.wav" ||
    fail "cannot decode what the listener heard"
check_songs "$E2E_DIR/heard.wav" "on the air"
echo "PASS: loudness -16 LUFS recorded and on the air, true peak under -1 dBTP; without keys sample for sample"
