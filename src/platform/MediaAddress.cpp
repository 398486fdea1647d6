#include "MediaAddress.h"

#include "TextFiles.h"

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

std::optional<std::string> localFileOfUri(std::string_view uri)
{
    if (!text::sameName(uri.substr(0, 5), "file:"))
        return std::nullopt;
    std::string_view rest = uri.substr(5);
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos)
            return std::nullopt;
        std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !text::sameName(host, "localhost"))
            return std::nullopt; // a file on another machine is no local file
        rest.remove_prefix(slash);
    }
    if (rest.empty() || rest.front() != '/')
        return std::nullopt;
    // A literal "?" or "#" in a name is always escaped.
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        int high = -1, low = -1;
        if (rest[i] == '%' && i + 2 < rest.size() && (high = text::hexDigit(rest[i + 1])) >= 0 &&
            (low = text::hexDigit(rest[i + 2])) >= 0) {
            path += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            path += rest[i];
        }
    }
    if (path.find('\0') != std::string::npos)
        return std::nullopt;
    return path;
}

std::string fileUriOf(std::string_view absolutePath)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    uri.reserve(uri.size() + absolutePath.size() * 3);
    for (const char c : absolutePath) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (std::isalnum(b) && b < 0x80) ||
                           std::string_view("-._~/!$&'()*+,;=:@").find(c) != std::string_view::npos;
        if (plain) {
            uri += c;
        } else {
            uri += '%';
            uri += hex[b >> 4];
            uri += hex[b & 15];
        }
    }
    return uri;
}

std::vector<std::string> localFilesFromUriList(std::string_view uriList)
{
    std::vector<std::string> files;
    while (!uriList.empty()) {
        std::string_view line = text::trim(text::nextLine(uriList));
        if (line.empty() || line.front() == '#')
            continue;
        if (auto path = localFileOfUri(line);
            path && !path->empty() && path->find_first_of("\r\n") == std::string::npos)
            files.push_back(std::move(*path));
    }
    return files;
}

} // namespace quavix
