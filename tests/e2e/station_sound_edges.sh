#!/usr/bin/env bash
# The station's changes of song as its listeners hear them, recorded after the mixer from
# `quavix --station`: with [Sound] Crossfade=3 each song begins 3 s +/- 50 ms before the
# one before it ends, as that one's fade begins, and the two together never dip 3 dB under
# the songs' level; with TrimSilence=-50 songs padded with 2 s of silence at each end play
# without it, back to back, and the log still has each row with the length the name gives;
# with DeadAir=5 a song silent from its 3rd second is ended at its 8th, said on standard
# error with the file and the time, and the next song plays.
if [ -z "${QUAVIX_E2E_PRIVATE_BUS:-}" ]; then
    QUAVIX_E2E_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
source "$here/support/session.sh"
source "$here/support/sound.sh"
bin=${1:?usage: station_sound_edges.sh <folder of quavix-gui>}
[ -x "$bin/quavix" ] && [ -x "$bin/quavix-gui" ] || fail "quavix is not built in $bin"
command -v ffmpeg >/dev/null || fail "ffmpeg is not installed (scripts/install-deps)"

start_headless_session
export QUAVIX_INSTANCE_NAME="quavix-e2e-edges-$$"

rows() { # name: the log rows, without the header
    tr -d '\r' <"$E2E_DIR"/$1-logs/OnAirActivity-*.log | tail -n +2
}

# --- Crossfade=3 ----------------------------------------------------------------------------
mkdir -p "$E2E_DIR/fade"
make_song "$E2E_DIR/fade/A - Fade - 2001 - One - 0_10.mp3" 10 400 -20
make_song "$E2E_DIR/fade/B - Fade - 2001 - Two - 0_10.mp3" 10 700 -20
make_song "$E2E_DIR/fade/C - Fade - 2001 - Three - 0_10.mp3" 10 1000 -20
run_station fade "$E2E_DIR/fade" "Crossfade=3"
[ "$(rows fade | wc -l)" = 3 ] || fail "crossfade: the log rows: $(rows fade)"
tone_levels "$E2E_DIR/fade.wav" 400 700 1000 >"$E2E_DIR/fade.levels"
/usr/bin/python3 - "$E2E_DIR/fade.levels" <<'PY' || fail "crossfade: see above"
import math, sys
rows = [[float(v) for v in line.split()] for line in open(sys.argv[1])]
times = [r[0] + 0.005 for r in rows]  # the middle of each 10 ms

def crossing(tone, level, rising, after):
    """The time the tone's level passes `level`, between two windows, after `after`."""
    for i in range(1, len(rows)):
        a, b = rows[i - 1][tone], rows[i][tone]
        if times[i] > after and ((a < level <= b) if rising else (a > level >= b)):
            return times[i - 1] + (times[i] - times[i - 1]) * (level - a) / (b - a)
    sys.exit(f"tone {tone} never passes {level:.4f}")

def median(values):
    return sorted(values)[len(values) // 2]

problems = []
for change, due in ((1, 7.0), (2, 14.0)):
    out, into = change, change + 1
    full_out = median([r[out] for r in rows if due - 5 < r[0] < due - 1])
    full_in = median([r[into] for r in rows if due + 4 < r[0] < due + 6])
    # Equal-power fades: sin and cos of a quarter turn over the fade.
    rise_half = crossing(into, 0.5 * full_in, True, due - 1)
    rise_most = crossing(into, math.sqrt(0.75) * full_in, True, due - 1)
    fall_most = crossing(out, math.sqrt(0.75) * full_out, False, due - 1)
    fall_half = crossing(out, 0.5 * full_out, False, due - 1)
    fade_in = 3 * (rise_most - rise_half)
    begins = rise_half - fade_in / 3
    fade_out = 3 * (fall_half - fall_most)
    fades = fall_most - fade_out / 3
    ends = fades + fade_out
    worst = min(10 * math.log10((r[out] ** 2 + r[into] ** 2) / min(full_out, full_in) ** 2)
                for r in rows if begins + 0.02 < r[0] < ends - 0.02)
    print(f"change {change}: the next song begins at {begins:.3f} s (due {due:.1f}), the fade "
          f"out begins at {fades:.3f} s and ends at {ends:.3f} s: overlap {ends - begins:.3f} s, "
          f"deepest dip {worst:.2f} dB")
    if abs(begins - due) > 0.05 or abs(fades - begins) > 0.05:
        problems.append(f"change {change} is not at {due} s")
    if abs(ends - begins - 3) > 0.05:
        problems.append(f"change {change} overlaps by {ends - begins:.3f} s")
    if worst < -3:
        problems.append(f"change {change} dips {worst:.2f} dB")
if problems:
    sys.exit("; ".join(problems))
PY

# --- TrimSilence=-50 ------------------------------------------------------------------------
mkdir -p "$E2E_DIR/trim"
make_song "$E2E_DIR/trim/A - Trim - 2001 - One - 0_08.mp3" 4 400 -20 sine 2
make_song "$E2E_DIR/trim/B - Trim - 2001 - Two - 0_08.mp3" 4 700 -20 sine 2
run_station trim "$E2E_DIR/trim" "TrimSilence=-50"
rows trim | grep -c ',"Trim","2001","[A-Za-z]*","8","' | grep -qx 2 ||
    fail "trim: the log rows: $(rows trim)"
tone_levels "$E2E_DIR/trim.wav" 400 700 | awk '
    { loud = $2 > 0.001 || $3 > 0.001; if (!loud) { quiet++; if (!first) lead = $1 + 0.01; else gap = gap " " $1 } else first = 1 }
    END {
        printf "trim: %.2f s recorded, %d quiet 10 ms\n", NR / 100, quiet
        if (lead || gap != "" || NR < 795 || NR > 805) { print "FAIL: silence at " lead gap; exit 1 }
    }' || fail "trim: the songs did not play back to back without their silence"

# --- DeadAir=5 ------------------------------------------------------------------------------
mkdir -p "$E2E_DIR/dead"
dead="$E2E_DIR/dead/A - Dead - 2001 - Air - 0_12.mp3"
make_song "$dead" 12 400 -20 sine 0 3
make_song "$E2E_DIR/dead/B - Dead - 2001 - Next - 0_04.mp3" 4 700 -20
run_station dead "$E2E_DIR/dead" "DeadAir=5"
grep -qxF "quavix: \"$dead\" was silent from 0:03 on and was ended (dead air)." "$E2E_DIR/dead.err" ||
    fail "dead air: no line for the silent song: $(cat "$E2E_DIR/dead.err")"
[ "$(rows dead | wc -l)" = 2 ] || fail "dead air: the log rows: $(rows dead)"
runs=$(tone_runs "$E2E_DIR/dead.wav" 400 700)
/usr/bin/python3 - "$runs" <<'PY' || fail "dead air: the songs were heard at $runs"
import sys
runs = [line.split() for line in sys.argv[1].splitlines()]
ok = ([r[0] for r in runs] == ["400", "700"] and abs(float(runs[0][2]) - 3) <= 0.02
      and abs(float(runs[1][1]) - 8) <= 0.05 and abs(float(runs[1][2]) - 12) <= 0.05)
print(f"dead air: the silent song sounded to {runs[0][2]} s, the next from {runs[1][1]} s")
sys.exit(not ok)
PY
echo "PASS: crossfades of 3 s without a dip, songs without their silent edges, dead air ended"
