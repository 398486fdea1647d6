#pragma once
// How songs sound: what the profile's section "Sound" asks for, and the pure arithmetic the
// mixer follows (gains, fades, levels). No media framework here.
//
// Profile keys (read like every profile key; each is off when absent):
//   Loudness     target integrated loudness in LUFS (EBU R128), -70 .. 0, e.g. -16;
//                "Off" turns it off
//   Crossfade    seconds of overlap between songs, 0 .. 10; 0 turns it off
//   TrimSilence  level in dBFS, -90 .. 0, e.g. -50: silence below it at a song's start and
//                end is skipped
//   DeadAir      seconds, 0 .. 3600: a song that stays below DeadAirLevelDb this long is
//                ended; 0 turns it off
// A value that cannot be used is reported in `problems` (one line each, ready for standard
// error) and leaves that key off.
#include "platform/Profile.h"

#include <optional>
#include <string>
#include <vector>

namespace quavix {

struct SoundSettings {
    std::optional<double> loudness;    // LUFS
    double crossfade = 0;              // seconds
    std::optional<double> trimSilence; // dBFS
    double deadAir = 0;                // seconds

    bool any() const { return loudness || crossfade > 0 || trimSilence || deadAir > 0; }
};

SoundSettings readSoundSettings(Profile& profile, std::vector<std::string>& problems);

// A sound below this level (dBFS, sample peak) is dead air.
inline constexpr double DeadAirLevelDb = -50;
// What the true peak is kept at or below after a loudness gain (dBTP).
inline constexpr double TruePeakCeilingDb = -1;

// 10^(dB/20), and back; -inf dB for 0.
double linearFromDb(double db);
double dbFromLinear(double linear);

// The gain (dB) that brings a song measured at `measuredLufs` to `targetLufs`; a song too
// quiet to measure (-inf, below -70 LUFS: silence) is left alone. Without a measurement the
// song's ReplayGain track gain (dB, to the ReplayGain reference of -18 LUFS) stands in;
// without either, nothing changes (0 dB).
double loudnessGainDb(double targetLufs, std::optional<double> measuredLufs,
                      std::optional<double> replayGainDb);

// Equal-power crossfade curves over t in [0, 1]: the fading song's gain is fadeOutGain(t),
// the arriving one's fadeInGain(t); the two powers always add up to 1.
double fadeInGain(double t);
double fadeOutGain(double t);

} // namespace quavix
