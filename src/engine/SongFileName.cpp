#include "SongFileName.h"

#include "startup/Globals.h"

#include <limits>
#include <optional>

namespace quavix {

namespace {

constexpr long Min16 = std::numeric_limits<std::int16_t>::min();
constexpr long Max16 = std::numeric_limits<std::int16_t>::max();

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A decimal integer in the 16-bit signed range, blanks around it allowed.
std::optional<long> toInt16(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > Max16 + 1) // keep going only while it can still fit
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < Min16 || value > Max16)
        return std::nullopt;
    return value;
}

} // namespace

SongNameParts parseSongName(std::string_view name)
{
    SongNameParts parts;
    static const char* const Fields[] = {"the group", "the CD title", "the year", "the title"};
    std::string* texts[] = {&parts.group, &parts.cdTitle, &parts.releaseYear, &parts.title};
    std::size_t start = 0;
    for (std::string* field : texts) {
        std::size_t hyphen = name.find('-', start);
        if (hyphen == std::string_view::npos) {
            parts.problem = std::string("no \"-\" after ") + Fields[parts.textFields];
            return parts;
        }
        *field = std::string(name.substr(start, hyphen - start));
        ++parts.textFields;
        start = hyphen + 1;
    }
    std::size_t lowLine = name.find('_', start);
    if (lowLine == std::string_view::npos) {
        parts.problem = "no \"_\" between the minutes and the seconds";
        return parts;
    }
    std::size_t stop = name.find('.', lowLine + 1);
    if (stop == std::string_view::npos) {
        parts.problem = "no \".\" after the seconds";
        return parts;
    }
    auto minutes = toInt16(name.substr(start, lowLine - start));
    auto seconds = toInt16(name.substr(lowLine + 1, stop - lowLine - 1));
    if (!minutes || !seconds) {
        const std::string_view bad = !minutes ? name.substr(start, lowLine - start)
                                              : name.substr(lowLine + 1, stop - lowLine - 1);
        parts.problem = std::string(!minutes ? "the minutes" : "the seconds") + " \"" +
                        std::string(bad) + "\" are not a number from -32768 to 32767";
        return parts;
    }
    long length = *minutes * 60;
    if (length >= Min16 && length <= Max16)
        length += *seconds;
    if (length < Min16 || length > Max16) {
        parts.problem = "the length is outside -32768 to 32767 seconds";
        return parts;
    }
    parts.length = static_cast<std::int16_t>(length);
    parts.ok = true;
    return parts;
}

bool takeSongNameApart(std::string_view name)
{
    SongNameParts parts = parseSongName(name);
    Globals& g = globals();
    std::string* from[] = {&parts.group, &parts.cdTitle, &parts.releaseYear, &parts.title};
    std::string* to[] = {&g.gCurrentGroup, &g.gCurrentCDTitle, &g.gCurrentReleaseYear,
                         &g.gCurrentTitle};
    for (int i = 0; i < parts.textFields; ++i)
        *to[i] = std::move(*from[i]);
    if (parts.ok)
        g.gCurrentLength = parts.length;
    return parts.ok;
}

std::string badSongNameLine(const std::string& path, const std::string& problem, bool played)
{
    return std::string("quavix: ") + (played ? "playing" : "skipping") + " \"" + path +
           "\": its name does not follow \"Group - CD Title - Year - Title - M_SS.mp3\" (" +
           problem + "); the file is left as it is";
}

std::string_view fileNamePart(std::string_view line)
{
    std::size_t slash = line.rfind('/');
    return slash == std::string_view::npos ? line : line.substr(slash + 1);
}

} // namespace quavix
