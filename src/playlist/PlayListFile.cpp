#include "PlayListFile.h"

#include "engine/PlayListReader.h"
#include "platform/FileReplace.h"

#include <cerrno>
#include <cstring>
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
