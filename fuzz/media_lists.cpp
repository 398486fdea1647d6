// The list and link file readers on any text: recognition under every kind of content type,
// and each format's parser against a local and a network list, always giving entries the
// player can open.
#include "FuzzInput.h"
#include "platform/MediaAddress.h"
#include "platform/MediaLists.h"
#include "platform/TextFiles.h"

using namespace quavix;

namespace {

void checkEntries(const ListContents& list, bool remote)
{
    if (list.entries.size() > MaxListEntries)
        fuzz::broken("more entries than a list may have");
    if (list.entries.empty() == list.problem.empty())
        fuzz::broken("entries and a problem, or neither");
    for (const auto& e : list.entries) {
        const std::string& where = e.location;
        if (where.empty() ||
            where.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos)
            fuzz::broken("a location no file or list line can hold");
        if (where.front() == '/') {
            if (remote)
                fuzz::broken("a list off the network names a local file");
        } else {
            if (!isStreamAddress(where) || text::sameName(where.substr(0, 5), "file:"))
                fuzz::broken("a location that is neither an address nor an absolute path");
            for (char c : where)
                if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f)
                    fuzz::broken("an address with a character an URL cannot hold");
        }
        if (!text::isUtf8(e.title))
            fuzz::broken("a title that is not UTF-8");
        if (!e.alternative.empty() && (e.alternative.front() != '/' || e.alternative == where))
            fuzz::broken("an alternative that is no other local name");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::asText(data, size);
    for (const char* type : {"", "video/x-ms-asf", "audio/x-pn-realaudio", "audio/x-scpls",
                             "application/xspf+xml", "text/plain"})
        if (static_cast<int>(recogniseList(text, type)) > static_cast<int>(ListFormat::Xspf))
            fuzz::broken("a format that does not exist");
    for (auto format :
         {ListFormat::Asx, ListFormat::Ram, ListFormat::Pls, ListFormat::M3u, ListFormat::Xspf}) {
        checkEntries(parseList(text, format, "/lists/a b/l\xe9.m3u"), false);
        checkEntries(parseList(text, format, "http://h.example/d/l.pls?x=1"), true);
    }
    return 0;
}
