#include "PlayListFile.h"

#include "engine/PlayListReader.h"
#include "platform/FileReplace.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <sys/stat.h>

namespace quavix {

namespace {

bool onlySpaces(std::string_view line)
{
    return line.find_first_not_of(' ') == std::string_view::npos;
}

} // namespace

bool fitsOnOneLine(const std::string& name)
{
    return name.find_first_of("\r\n") == std::string::npos;
}

bool readPlayListEntries(const std::string& path, std::vector<std::string>& out)
{
    LineReader reader(path, LineReader::WholeLines);
    if (!reader.isOpen())
        return false;
    std::string_view line;
    while (reader.next(line)) {
        if (!onlySpaces(line))
            out.emplace_back(line);
    }
    return true;
}

bool appendPlayListLines(const std::string& path, std::vector<std::string>& out)
{
    LineReader reader(path, LineReader::WholeLines);
    if (!reader.isOpen())
        return false;
    std::string_view line;
    while (reader.next(line))
        out.emplace_back(line);
    return true;
}

namespace {

// The whole file, or nullopt when it cannot be read; a list is small enough for that.
std::optional<std::string> wholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return text;
}

std::uint64_t hashOf(std::string_view bytes)
{
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

} // namespace

ReadMark markOf(const std::string& path)
{
    auto text = wholeFile(path);
    if (!text)
        return {};
    return {static_cast<long long>(text->size()), hashOf(*text)};
}

std::vector<std::string> entriesAddedSince(const std::string& path, const ReadMark& mark)
{
    std::vector<std::string> added;
    auto text = wholeFile(path);
    if (mark.size < 0 || !text || static_cast<long long>(text->size()) <= mark.size ||
        hashOf(std::string_view(*text).substr(0, static_cast<std::size_t>(mark.size))) != mark.hash)
        return added;
    std::string_view rest = std::string_view(*text).substr(static_cast<std::size_t>(mark.size));
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!onlySpaces(line))
            added.emplace_back(line);
    }
    return added;
}

bool writePlayListEntries(const std::string& path, const std::vector<std::string>& entries,
                          std::string& error)
{
    error.clear();
    if (path.empty()) {
        error = "no file name";
        return false;
    }
    struct stat st {};
    if (::stat(finalLinkTarget(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }

    std::size_t size = 0;
    for (const auto& e : entries)
        size += e.size() + 2;
    std::string data;
    data.reserve(size);
    for (const auto& e : entries) {
        data += e;
        data += "\r\n";
    }
    return replaceFile(path, data, error);
}

} // namespace quavix
