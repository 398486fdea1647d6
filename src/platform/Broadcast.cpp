#include "platform/Broadcast.h"

#include "platform/MediaAddress.h"
#include "platform/TextFiles.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <sys/stat.h>

namespace quavix {

namespace {

constexpr const char* Section = "Broadcast";

bool sameText(std::string_view a, std::string_view b)
{
    return text::asciiLowered(a) == text::asciiLowered(b);
}

std::optional<int> wholeNumber(std::string_view text)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// host[:port]/mount after "http://"; false when the rest is not of that form.
bool takeUrlApart(std::string_view rest, BroadcastSettings& s)
{
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos || slash + 1 >= rest.size())
        return false;
    std::string_view authority = rest.substr(0, slash);
    s.mount = std::string(rest.substr(slash));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        std::string_view userInfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const auto colon = userInfo.find(':');
        s.user = std::string(userInfo.substr(0, colon));
        if (colon != std::string_view::npos)
            s.password = std::string(userInfo.substr(colon + 1));
    }
    if (const auto colon = authority.rfind(':'); colon != std::string_view::npos) {
        auto port = wholeNumber(authority.substr(colon + 1));
        if (!port || *port < 1 || *port > 65535)
            return false;
        s.port = *port;
        authority = authority.substr(0, colon);
    }
    s.host = std::string(authority);
    const auto bad = [](unsigned char c) { return c <= ' ' || c == '?' || c == '#' || c >= 127; };
    return !s.host.empty() && std::none_of(s.host.begin(), s.host.end(), bad) &&
           std::none_of(s.mount.begin(), s.mount.end(), bad);
}

} // namespace

std::string BroadcastSettings::address() const
{
    return "http://" + host + ":" + std::to_string(port) + mount;
}

std::optional<BroadcastSettings> readBroadcastSettings(Profile& profile,
                                                       std::vector<std::string>& problems)
{
    auto read = [&](const char* key, const char* fallback = "") {
        return profile.read(Section, key, fallback, "");
    };
    const std::string url = read("URL");
    if (url.empty())
        return std::nullopt;

    BroadcastSettings s;
    s.user = read("User", "source");
    s.password = read("Password");
    constexpr std::string_view scheme = "http://";
    if (!sameText(std::string_view(url).substr(0, scheme.size()), scheme) ||
        !takeUrlApart(std::string_view(url).substr(scheme.size()), s)) {
        // The address may hold a password: say what is wrong, not what it is.
        problems.push_back("broadcast: the profile's [Broadcast] URL is not of the form "
                           "http://host:port/mount; not broadcasting");
        return std::nullopt;
    }

    const std::string format = read("Format", "MP3");
    if (sameText(format, "Ogg"))
        s.format = BroadcastSettings::Format::Ogg;
    else if (!sameText(format, "MP3"))
        problems.push_back("broadcast: Format \"" + format +
                           "\" is neither MP3 nor Ogg; using MP3");

    const std::string bitrate = read("Bitrate", "128");
    static constexpr std::array<int, 14> mpegRates = {32,  40,  48,  56,  64,  80,  96,
                                                      112, 128, 160, 192, 224, 256, 320};
    const auto rate = wholeNumber(bitrate);
    const bool usable =
        rate && (s.format == BroadcastSettings::Format::Mp3
                     ? std::find(mpegRates.begin(), mpegRates.end(), *rate) != mpegRates.end()
                     : *rate >= 48 && *rate <= 320);
    if (usable)
        s.bitrate = *rate;
    else
        problems.push_back("broadcast: Bitrate \"" + bitrate + "\" cannot be used for " +
                           (s.format == BroadcastSettings::Format::Mp3
                                ? "MP3 (32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, "
                                  "256 or 320)"
                                : "Ogg (48 to 320)") +
                           "; using 128");

    s.name = read("Name");
    s.description = read("Description");
    s.genre = read("Genre");
    const std::string local = read("LocalOutput", "Yes");
    if (sameText(local, "No"))
        s.localOutput = false;
    else if (!sameText(local, "Yes"))
        problems.push_back("broadcast: LocalOutput \"" + local +
                           "\" is neither Yes nor No; "
                           "playing on the sound card too");
    return s;
}

std::optional<std::string> passwordExposure(const BroadcastSettings& settings,
                                            const std::string& profilePath)
{
    struct stat st {};
    if (settings.password.empty() || ::stat(profilePath.c_str(), &st) != 0 ||
        (st.st_mode & (S_IRGRP | S_IROTH)) == 0)
        return std::nullopt;
    return "broadcast: other users can read the password in " + profilePath + " (chmod 600 \"" +
           profilePath + "\" keeps it yours)";
}

std::string streamTitle(std::string_view conventionTitle, std::string_view tagArtist,
                        std::string_view tagTitle, std::string_view item)
{
    if (!conventionTitle.empty())
        return std::string(conventionTitle);
    if (!tagArtist.empty() && !tagTitle.empty())
        return std::string(tagArtist) + " - " + std::string(tagTitle);
    if (!tagTitle.empty() || !tagArtist.empty())
        return std::string(tagTitle.empty() ? tagArtist : tagTitle);
    if (isStreamAddress(std::string(item)))
        return std::string(item);
    std::string_view name = item.substr(item.rfind('/') + 1);
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    return std::string(name);
}

std::chrono::seconds broadcastRetryPause(int failures)
{
    if (failures <= 1)
        return std::chrono::seconds(1);
    return std::chrono::seconds(failures > 7 ? 60 : std::min(60, 1 << (failures - 1)));
}

} // namespace quavix
