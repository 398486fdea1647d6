#include "platform/Sound.h"

#include "platform/TextFiles.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace quavix {

namespace {

constexpr const char* Section = "Sound";

std::optional<double> number(const std::string& text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The key's number when it lies in [low, high]; absent and `off` give nullopt quietly.
std::optional<double> setting(Profile& profile, const char* key, double low, double high,
                              const char* unit, const char* off, std::vector<std::string>& problems)
{
    const std::string text = profile.read(Section, key, "", "");
    if (text.empty() || (off && text::asciiLowered(text) == text::asciiLowered(off)))
        return std::nullopt;
    const auto value = number(text);
    if (value && *value >= low && *value <= high)
        return value;
    char range[96];
    std::snprintf(range, sizeof range, "a number of %s from %g to %g", unit, low, high);
    problems.push_back(std::string("sound: the profile's [Sound] ") + key + " \"" + text +
                       "\" is not " + range + (off ? std::string(" or ") + off : "") +
                       "; it is left off");
    return std::nullopt;
}

} // namespace

SoundSettings readSoundSettings(Profile& profile, std::vector<std::string>& problems)
{
    SoundSettings s;
    s.loudness = setting(profile, "Loudness", -70, 0, "LUFS", "Off", problems);
    s.crossfade = setting(profile, "Crossfade", 0, 10, "seconds", nullptr, problems).value_or(0);
    s.trimSilence = setting(profile, "TrimSilence", -90, 0, "dBFS", "Off", problems);
    s.deadAir = setting(profile, "DeadAir", 0, 3600, "seconds", nullptr, problems).value_or(0);
    return s;
}

double linearFromDb(double db)
{
    return std::pow(10.0, db / 20.0);
}

double dbFromLinear(double linear)
{
    return linear > 0 ? 20.0 * std::log10(linear) : -HUGE_VAL;
}

double loudnessGainDb(double targetLufs, std::optional<double> measuredLufs,
                      std::optional<double> replayGainDb)
{
    constexpr double ReplayGainReferenceLufs = -18;
    if (measuredLufs)
        return std::isfinite(*measuredLufs) && *measuredLufs > -70 ? targetLufs - *measuredLufs
                                                                   : 0.0;
    if (replayGainDb && std::isfinite(*replayGainDb))
        return targetLufs - ReplayGainReferenceLufs + *replayGainDb;
    return 0;
}

double fadeInGain(double t)
{
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return std::sin(t * std::numbers::pi / 2);
}

double fadeOutGain(double t)
{
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return std::cos(t * std::numbers::pi / 2);
}

} // namespace quavix
