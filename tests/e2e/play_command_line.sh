#!/usr/bin/env bash
# A song named on the command line plays from start to end: the program is started with a
# generated 1.5 s MP3, its sound goes into a WAV file, and the test waits until the WAV is
# complete (its header is rewritten when the item reaches its end) and about 1.5 s long.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=support/session.sh
source "$here/support/session.sh"
bin=${1:?usage: play_command_line.sh <folder of quavix-gui>}
[ -x "$bin/quavix-gui" ] || fail "no quavix-gui in $bin"

start_session

song="$E2E_DIR/Tone Group - Test CD - 2026 - Tone - 0_01.mp3"
gst-launch-1.0 -q audiotestsrc wave=sine freq=440 volume=0.3 samplesperbuffer=4410 \
    num-buffers=15 ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! \
    lamemp3enc target=bitrate bitrate=128 cbr=true ! xingmux ! filesink location="$song" ||
    fail "cannot generate the song"

playlist=$E2E_DIR/Quavix.m3u
mkdir -p "$XDG_CONFIG_HOME/quavix"
printf '[File Locations]\r\nFileList=%s\r\n' "$playlist" >"$XDG_CONFIG_HOME/quavix/quavix.ini"

wav=$E2E_DIR/played.wav
QUAVIX_AUDIO_SINK="wavenc ! filesink location=\"$wav\"" \
    "$bin/quavix-gui" "$song" >"$E2E_DIR/quavix.log" 2>&1 &
own_pid $!

# The WAV is complete once its data chunk size has been written at the end of the item.
wait_for "wav_seconds '$wav'" 20 || fail "no complete WAV after 20 s; log: $(cat "$E2E_DIR/quavix.log")"
seconds=$(wav_seconds "$wav")
python3 -c "import sys; sys.exit(0 if 1.2 <= float(sys.argv[1]) <= 1.8 else 1)" "$seconds" ||
    fail "played $seconds s of a 1.5 s song"

grep -qxF "$song"$'\r' "$playlist" || grep -qxF "$song" "$playlist" ||
    fail "the play list does not hold the song: $(cat "$playlist")"
echo "played $seconds s"
