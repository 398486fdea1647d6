// A stream's title blocks from any bytes a server may send: the first line is the interval
// between blocks, the rest the body. Fed whole and in pieces, the reader finds the same last
// title, and every title it gives is UTF-8 without control characters.
#include "FuzzInput.h"
#include "platform/IcyMetadata.h"
#include "platform/TextFiles.h"

#include <charconv>
#include <optional>
#include <string>

using namespace quavix;

namespace {

void checkTitle(const std::string& title)
{
    if (!text::isUtf8(title))
        fuzz::broken("a title that is not UTF-8");
    for (char c : title)
        if (static_cast<unsigned char>(c) < 0x20)
            fuzz::broken("a control character in a title");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest = fuzz::asText(data, size);
    const std::string_view first = fuzz::takeLine(rest);
    std::size_t interval = 16;
    std::from_chars(first.data(), first.data() + first.size(), interval);
    interval = interval % 4096 + 1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(rest.data());

    IcyMetadataReader whole(interval);
    const std::optional<std::string> all = whole.feed(bytes, rest.size());
    if (all)
        checkTitle(*all);

    // In pieces of a length taken from the interval: the last title each piece gives is the
    // last title of the whole when the whole gave one.
    IcyMetadataReader pieces(interval);
    std::optional<std::string> last;
    const std::size_t piece = interval % 7 + 1;
    for (std::size_t at = 0; at < rest.size(); at += piece)
        if (auto t = pieces.feed(bytes + at, std::min(piece, rest.size() - at))) {
            checkTitle(*t);
            last = std::move(t);
        }
    if (all != last)
        fuzz::broken("pieces and the whole disagree on the last title");
    if (auto t = icyStreamTitle(rest))
        checkTitle(*t);
    return 0;
}
