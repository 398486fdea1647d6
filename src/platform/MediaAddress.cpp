#include "MediaAddress.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quavix {

bool isStreamAddress(const std::string& text)
{
    static constexpr std::array<const char*, 6> schemes = {"http", "https", "mms",
                                                           "mmsh", "rtsp",  "file"};
    auto colon = text.find("://");
    if (colon == std::string::npos)
        return false;
    std::string scheme = text.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(schemes.begin(), schemes.end(), scheme) != schemes.end();
}

} // namespace quavix
