#include "EntryTransfer.h"

#include "platform/MediaAddress.h"
#include "platform/TextFiles.h"
#include "playlist/PlayListFile.h"

namespace quavix {

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
