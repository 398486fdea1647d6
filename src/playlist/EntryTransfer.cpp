#include "EntryTransfer.h"

#include "platform/TextFiles.h"
#include "playlist/PlayListFile.h"

namespace quavix {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        int high = -1, low = -1;
        if (s[i] == '%' && i + 2 < s.size() && (high = hexValue(s[i + 1])) >= 0 &&
            (low = hexValue(s[i + 2])) >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && text::sameName(s.substr(0, prefix.size()), prefix);
}

} // namespace

std::vector<std::string> localFilesFromUriList(std::string_view uriList)
{
    std::vector<std::string> files;
    while (!uriList.empty()) {
        std::string_view line = text::trim(text::nextLine(uriList));
        if (line.empty() || line.front() == '#' || !startsWithNoCase(line, "file:"))
            continue;
        std::string_view rest = line.substr(5);
        if (rest.substr(0, 2) == "//") {
            rest.remove_prefix(2);
            std::size_t slash = rest.find('/');
            if (slash == std::string_view::npos)
                continue;
            std::string_view host = rest.substr(0, slash);
            if (!host.empty() && !text::sameName(host, "localhost"))
                continue; // a file on another machine is no local file
            rest.remove_prefix(slash);
        }
        if (rest.empty() || rest.front() != '/')
            continue;
        // A query or fragment is not part of a file name; a literal "?" or "#" in one is
        // always escaped.
        rest = rest.substr(0, rest.find_first_of("?#"));
        std::string path = percentDecoded(rest);
        if (!path.empty() && fitsOnOneLine(path) && path.find('\0') == std::string::npos)
            files.push_back(std::move(path));
    }
    return files;
}

std::string entriesAsLines(const std::vector<std::string>& entries)
{
    std::string text;
    for (const auto& e : entries) {
        text += e;
        text += '\n';
    }
    return text;
}

std::vector<std::string> entriesFromLines(std::string_view text)
{
    std::vector<std::string> entries;
    while (!text.empty()) {
        std::string_view line = text::nextLine(text);
        if (line.find_first_not_of(' ') != std::string_view::npos)
            entries.emplace_back(line);
    }
    return entries;
}

} // namespace quavix
