#include "EntryTransfer.h"

#include "platform/MediaAddress.h"
#include "platform/TextFiles.h"
#include "playlist/PlayListFile.h"

namespace quavix {

std::vector<std::string> localFilesFromUriList(std::string_view uriList)
{
    std::vector<std::string> files;
    while (!uriList.empty()) {
        std::string_view line = text::trim(text::nextLine(uriList));
        if (line.empty() || line.front() == '#')
            continue;
        if (auto path = localFileOfUri(line); path && !path->empty() && fitsOnOneLine(*path))
            files.push_back(std::move(*path));
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
