#pragma once
// The media player's volume scale against the linear factor that sound outputs and desktop
// volume controls use.
//
// The scale is hundredths of a decibel, -10000 (mute) .. 0 (full); the factor is
// 10^(h/2000), except that the bottom of the scale is silence (0), not 10^-5.
#include <algorithm>
#include <cmath>

namespace quavix {

inline constexpr int MinVolume = -10000;
inline constexpr int MaxVolume = 0;

// Linear factor 0..1 for a volume on the scale (values outside it are clamped).
inline double linearVolume(int hundredthsOfDb)
{
    if (hundredthsOfDb <= MinVolume)
        return 0.0;
    return std::pow(10.0, std::min(hundredthsOfDb, MaxVolume) / 2000.0);
}

// The volume on the scale nearest to a linear factor: 0 and below (and NaN) are mute, 1 and
// above full. Every volume on the scale comes back unchanged from its linearVolume.
inline int volumeFromLinear(double linear)
{
    if (!(linear > 0.0))
        return MinVolume;
    if (linear >= 1.0)
        return MaxVolume;
    return static_cast<int>(
        std::clamp(std::lround(2000.0 * std::log10(linear)), long{MinVolume}, long{MaxVolume}));
}

} // namespace quavix
