# Shared by the tests of the station's sound: songs of known loudness, the station run to
# the end of its list with its sound recorded, and what was recorded measured. Source it
# after session.sh, with E2E_DIR and the XDG folders set.
#
#   make_song FILE SECONDS FREQ LUFS [KIND] [PAD] [SILENT_FROM]
#                  writes a song (16-bit WAV data: the engine lists .mp3 names, the player
#                  goes by the content) of a FREQ Hz tone at LUFS integrated loudness; KIND
#                  sine (a pure tone), noisy (the tone over noise band-limited to 16 kHz, as
#                  mastered songs are) or burst (noisy, with a 1 ms hit 20 dB louder every
#                  2 s: what a loudness gain pushes over the ceiling); PAD seconds of silence
#                  before and after it; silent from SILENT_FROM seconds of its sound on
#   loudness FILE [START LENGTH]
#                  prints the integrated loudness (LUFS) and the true peak (dBTP, two
#                  decimals) of the file, or of LENGTH seconds from START, as ffmpeg reads them
#   tone_levels FILE FREQ...
#                  prints, per 10 ms of the file's left channel, the time and the amplitude of
#                  each tone (the FREQs must be whole multiples of 100 Hz)
#   tone_runs FILE FREQ...
#                  prints "FREQ START END" for each stretch where that tone is the loudest of
#                  them (10 ms resolution, stretches of at least 0.5 s)
#   station_profile NAME SONGS SOUND [MORE]
#                  writes $E2E_DIR/NAME.ini: a station of the songs in folder SONGS with the
#                  [Sound] section SOUND (and more profile text MORE), log rows to NAME-logs/
#   run_station NAME SONGS SOUND [MORE]
#                  runs `quavix --station` on that profile to the end of its list; the sound
#                  goes to $E2E_DIR/NAME.wav (float samples, in real time: unpaced, a decoder
#                  that the machine's load holds back leaves a hole; sync=false for a run
#                  whose sound does not count), standard error to NAME.err

make_song() {
    local file=$1 seconds=$2 freq=$3 lufs=$4 kind=${5:-sine} pad=${6:-0} silent=${7:-0}
    local e="sin(2*PI*$freq*t)" total tmp=$file.tmp.wav measured gain
    [ "$kind" != sine ] && e="(0.3*$e+0.7*(random(0)-0.5))"
    [ "$kind" = burst ] && e="$e*(1+9*lt(mod(t\,2)\,0.001))"
    e="$e*between(t\,$pad\,$pad+$seconds-1/44100)"
    [ "$silent" != 0 ] && e="$e*lt(t\,$pad+$silent)"
    total=$(/usr/bin/python3 -c "print($seconds + 2 * $pad)")
    local band=anull
    [ "$kind" != sine ] && band="lowpass=f=16000,lowpass=f=16000"
    ffmpeg -hide_banner -loglevel error -f lavfi -i "aevalsrc='$e|$e':s=44100:d=$total" \
        -af "$band" -c:a pcm_f32le -y "$tmp" || fail "cannot generate $file"
    read -r measured _ < <(loudness "$tmp")
    gain=$(/usr/bin/python3 -c "print($lufs - ($measured))")
    ffmpeg -hide_banner -loglevel error -i "$tmp" -af "volume=${gain}dB" -c:a pcm_s16le -f wav \
        -y "$file" || fail "cannot generate $file"
    rm -f "$tmp"
    read -r measured _ < <(loudness "$file")
    /usr/bin/python3 -c "import sys; sys.exit(abs($measured - ($lufs)) > 0.2)" ||
        fail "$file came out at $measured LUFS, not $lufs"
}

loudness() {
    local range=()
    [ $# -ge 3 ] && range=(-ss "$2" -t "$3")
    ffmpeg -hide_banner -nostats "${range[@]}" -i "$1" \
        -af ebur128=peak=true:metadata=1,ametadata=print:key=lavfi.r128.true_peak -f null - 2>&1 |
        awk '/^ *I:/ { i = $2 }
             /lavfi.r128.true_peak=/ { split($0, v, "="); if (v[2] + 0 > tp) tp = v[2] + 0 }
             END { printf "%s %.2f\n", i, (tp > 0 ? 20 * log(tp) / log(10) : -999) }'
}

tone_levels() {
    /usr/bin/python3 - "$@" <<'PY'
import array, math, struct, sys
data = open(sys.argv[1], "rb").read()
at, fmt, samples = 12, None, None
while at + 8 <= len(data):
    kind, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
    if kind == b"fmt ":
        fmt = struct.unpack("<HHIIHH", data[at + 8:at + 24])
        if fmt[0] == 0xFFFE:  # extensible: the format is the sub-format's first two bytes
            fmt = struct.unpack("<H", data[at + 32:at + 34]) + fmt[1:]
    elif kind == b"data":
        raw = data[at + 8:at + 8 + size]
        if fmt[0] == 3:
            samples = array.array("f")
            samples.frombytes(raw[:len(raw) // 4 * 4])
            samples = samples[0::fmt[1]]
        else:
            samples = array.array("h")
            samples.frombytes(raw[:len(raw) // 2 * 2])
            samples = [v / 32768 for v in samples[0::fmt[1]]]
    at += 8 + size + (size & 1)
rate = fmt[2]
window = rate // 100  # a whole number of periods of every multiple of 100 Hz
freqs = [float(f) for f in sys.argv[2:]]
table = {f: [(math.cos(2 * math.pi * f * i / rate), math.sin(2 * math.pi * f * i / rate))
             for i in range(window)] for f in freqs}
for w in range(len(samples) // window):
    part = samples[w * window:(w + 1) * window]
    levels = []
    for f in freqs:
        re = sum(s * c for s, (c, _) in zip(part, table[f]))
        im = sum(s * q for s, (_, q) in zip(part, table[f]))
        levels.append(2 * math.hypot(re, im) / window)
    print(f"{w / 100:.2f} " + " ".join(f"{v:.6f}" for v in levels))
PY
}

tone_runs() {
    local file=$1
    shift
    tone_levels "$file" "$@" | awk -v freqs="$*" '
        BEGIN { n = split(freqs, f, " ") }
        {
            best = 0
            for (i = 1; i <= n; i++) if ($(i + 1) > 0.001 && (best == 0 || $(i + 1) > $(best + 1))) best = i
            if (best != current) { flush(); current = best; start = $1 }
            last = $1
        }
        function flush() { if (current && last - start >= 0.5) print f[current], start, last + 0.01 }
        END { flush() }'
}

station_profile() {
    local name=$1 songs=$2 sound=$3 more=${4:-}
    local profile=$E2E_DIR/$name.ini
    mkdir -p "$E2E_DIR/$name-logs"
    cat >"$profile" <<INI
[File Locations]
FileList=$E2E_DIR/$name.m3u
MP3Location001=$songs/
LogLocation=$E2E_DIR/$name-logs/
[StartUp]
Action=Preview
LogActivity=Yes
[Play Status]
Continue=Yes
[Sound]
$sound
$more
INI
    chmod 600 "$profile"
}

run_station() {
    local name=$1
    station_profile "$@"
    QUAVIX_AUDIO_SINK="wavenc ! filesink location=$E2E_DIR/$name.wav sync=${sync:-true}" \
        timeout 120 "$bin/quavix" --station "$E2E_DIR/$name.ini" >/dev/null 2>"$E2E_DIR/$name.err"
    local status=$?
    [ $status = 0 ] || fail "$name: the station ended with status $status: $(cat "$E2E_DIR/$name.err")"
    grep -q "End Of Play List" "$E2E_DIR/$name.err" ||
        fail "$name: the station did not play to the end of its list: $(cat "$E2E_DIR/$name.err")"
}
