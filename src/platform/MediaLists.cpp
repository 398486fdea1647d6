#include "MediaLists.h"

#include "MediaAddress.h"
#include "TextFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix {
namespace {

constexpr auto npos = std::string_view::npos;

static_assert(MaxListBytes == std::size_t{1024} * 1024,
              "the refusal below names the limit in words");
const char* const TooLarge = "The list is larger than 1 MB, more than Quavix reads as a list.";
const char* const NothingToPlay = "The list names nothing to play.";
const char* const NothingPlayableHere =
    "The list names nothing that can be played here: only files on Windows drives or other "
    "computers, or addresses of a kind Quavix does not play.";
const char* const HlsProblem = "This is the segment list of a live stream (HLS); Quavix plays it "
                               "from its address, not as a list.";

// ---- text ------------------------------------------------------------------------------

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimSpace(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && text::sameName(s.substr(0, prefix.size()), prefix);
}

bool containsNoCase(std::string_view s, std::string_view part)
{
    return std::search(s.begin(), s.end(), part.begin(), part.end(), [](char a, char b) {
               return text::asciiLower(a) == text::asciiLower(b);
           }) != s.end();
}

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

std::string latin1ToUtf8(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (char c : s)
        appendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

bool hasHighBytes(std::string_view s)
{
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string utf16ToUtf8(std::string_view bytes, bool littleEndian)
{
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2; // an odd last byte is half a character
    auto unit = [&](std::size_t k) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[2 * k]);
        const auto b = static_cast<unsigned char>(bytes[2 * k + 1]);
        return littleEndian ? char32_t(a | b << 8) : char32_t(b | a << 8);
    };
    for (std::size_t k = 0; k < units; ++k) {
        char32_t u = unit(k);
        if (u >= 0xd800 && u <= 0xdbff && k + 1 < units && unit(k + 1) >= 0xdc00 &&
            unit(k + 1) <= 0xdfff) {
            u = 0x10000 + ((u - 0xd800) << 10) + (unit(k + 1) - 0xdc00);
            ++k;
        } else if (u >= 0xd800 && u <= 0xdfff) {
            u = 0xfffd;
        }
        appendUtf8(out, u);
    }
    return out;
}

// The text without its byte order mark, UTF-16 (which older ASX encoders wrote, with a BOM
// or, for XML, recognisable by its first "<") turned into UTF-8 in storage.
std::string_view decodeText(std::string_view raw, std::string& storage)
{
    auto starts = [&](std::string_view p) { return raw.substr(0, p.size()) == p; };
    using namespace std::string_view_literals;
    if (starts("\xff\xfe"sv) || starts("\xfe\xff"sv)) {
        storage = utf16ToUtf8(raw.substr(2), raw[0] == '\xff');
        return storage;
    }
    if (starts("<\0"sv) || starts("\0<"sv)) {
        storage = utf16ToUtf8(raw, raw[0] == '<');
        return storage;
    }
    if (starts("\xef\xbb\xbf"sv))
        return raw.substr(3);
    return raw;
}

// A title as the user sees it: UTF-8, runs of blanks and line breaks as one blank, a NUL as
// U+FFFD rather than the end of the text.
std::string cleanTitle(std::string_view raw, bool latin1)
{
    const std::string converted = latin1 ? latin1ToUtf8(raw) : std::string();
    const std::string_view t = latin1 ? std::string_view(converted) : raw;
    std::string out;
    out.reserve(t.size());
    bool blank = false;
    for (char c : t) {
        if (isSpace(c)) {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        if (c == '\0')
            out += "\xef\xbf\xbd";
        else
            out += c;
    }
    return text::isUtf8(out) ? out : latin1ToUtf8(out);
}

// Calls f(line) for each line; CR LF, LF and a lone CR all end one. f returns false to stop.
template <class F> void forEachLine(std::string_view text, F&& f)
{
    while (!text.empty()) {
        // By hand: find_first_of looks each character up in the set with a call of its own.
        std::size_t end = 0;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const std::string_view line = text.substr(0, end);
        if (end == text.size()) {
            text = {};
        } else {
            std::size_t next = end + 1;
            if (text[end] == '\r' && next < text.size() && text[next] == '\n')
                ++next;
            text.remove_prefix(next);
        }
        if (!f(line))
            return;
    }
}

// ---- where entries lead -------------------------------------------------------------------

bool isSchemeName(std::string_view s)
{
    if (s.empty() || !isAsciiAlpha(s[0]))
        return false;
    return std::all_of(s.begin(), s.end(), [](char c) {
        return isAsciiAlpha(c) || isAsciiDigit(c) || c == '+' || c == '-' || c == '.';
    });
}

// "scheme" of "scheme://...", lower-cased; "" when the text has none.
std::string schemeOf(std::string_view s)
{
    const std::size_t sep = s.find("://");
    if (sep == npos || !isSchemeName(s.substr(0, sep)))
        return {};
    return text::asciiLowered(s.substr(0, sep));
}

bool isWindowsPath(std::string_view s)
{
    const bool drive = s.size() >= 2 && isAsciiAlpha(s[0]) && s[1] == ':' &&
                       (s.size() == 2 || s[2] == '\\' || s[2] == '/');
    return drive || s.substr(0, 2) == "\\\\";
}

// What an URL cannot hold, percent-escaped; escapes already there stay as they are.
std::string escapeForUrl(std::string_view s)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        const bool unsafe = c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
                            c == '{' || c == '|' || c == '}';
        if (b <= 0x20 || b >= 0x7f || unsafe) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

// RFC 3986, 5.2.4, on a path that starts with "/".
std::string removeDotSegments(std::string_view path)
{
    std::vector<std::string_view> segments;
    bool folder = false;
    std::size_t i = path.starts_with('/') ? 1 : 0;
    for (;;) {
        const std::size_t slash = path.find('/', i);
        const std::string_view seg = path.substr(i, slash == npos ? npos : slash - i);
        const bool last = slash == npos;
        if (seg == "." || seg == "..") {
            if (seg == ".." && !segments.empty())
                segments.pop_back();
            folder = last;
        } else {
            segments.push_back(seg);
        }
        if (last)
            break;
        i = slash + 1;
    }
    std::string out;
    for (auto seg : segments) {
        out += '/';
        out += seg;
    }
    if (folder || out.empty())
        out += '/';
    return out;
}

// An address taken apart as RFC 3986 resolves references against it.
struct UrlParts {
    std::string scheme, authority, path, query;

    static UrlParts of(std::string_view url)
    {
        UrlParts u;
        const std::size_t sep = url.find("://");
        u.scheme = url.substr(0, sep);
        std::string_view rest = url.substr(sep + 3);
        const std::size_t pathStart = rest.find_first_of("/?#");
        u.authority = rest.substr(0, pathStart);
        rest = pathStart == npos ? std::string_view() : rest.substr(pathStart);
        const std::size_t q = rest.find_first_of("?#");
        u.path = rest.substr(0, q);
        if (q != npos && rest[q] == '?')
            u.query = rest.substr(q, rest.find('#', q) - q);
        return u;
    }

    std::string resolve(std::string_view ref) const
    {
        // A reference's path loses its dot segments; its query and fragment stay as they are.
        auto withPath = [](std::string_view p) {
            const std::size_t tail = p.find_first_of("?#");
            return removeDotSegments(p.substr(0, tail)) +
                   std::string(tail == npos ? std::string_view() : p.substr(tail));
        };
        const std::string root = scheme + "://";
        if (ref.starts_with("//")) {
            const std::string_view rest = ref.substr(2);
            const std::size_t pathStart = rest.find_first_of("/?#");
            if (pathStart == npos)
                return root + std::string(rest) + "/";
            return root + std::string(rest.substr(0, pathStart)) + withPath(rest.substr(pathStart));
        }
        if (ref.starts_with('/'))
            return root + authority + withPath(ref);
        if (ref.starts_with('?'))
            return root + authority + path + std::string(ref);
        if (ref.starts_with('#'))
            return root + authority + path + query + std::string(ref);
        const std::string merged = path.empty()
                                       ? "/" + std::string(ref)
                                       : path.substr(0, path.rfind('/') + 1) + std::string(ref);
        return root + authority + withPath(merged);
    }
};

// Turns an entry's text into an address or an absolute local path, or nothing when it can
// name nothing here.
class Resolver {
public:
    explicit Resolver(std::string_view listLocation)
    {
        std::string location(listLocation);
        if (auto path = localFileOfUri(location))
            location = std::move(*path);
        if (location.starts_with('/')) {
            m_kind = Kind::Folder;
            m_folder = location.substr(0, location.rfind('/'));
            m_listUrl = UrlParts::of(fileUriOf(location));
        } else if (isStreamAddress(location) && schemeOf(location) != "file") {
            m_kind = Kind::Url;
            m_listUrl = UrlParts::of(location);
        }
    }

    // uriRef: the text is an URI reference (XSPF), percent escapes and all; otherwise a path
    // or an address as people type them.
    std::optional<std::string> operator()(std::string_view ref, bool uriRef) const
    {
        std::optional<std::string> out = resolve(ref, uriRef);
        if (out && std::any_of(out->begin(), out->end(),
                               [](char c) { return c == '\0' || c == '\r' || c == '\n'; }))
            return std::nullopt; // no file is named so, and no list line could hold it
        return out;
    }

    bool remote() const { return m_kind == Kind::Url; }

private:
    enum class Kind { Folder, Url, Nothing };

    std::optional<std::string> resolve(std::string_view ref, bool uriRef) const
    {
        if (ref.find('\0') != npos)
            return std::nullopt;
        const std::string scheme = schemeOf(ref);
        if (scheme == "file" || (scheme.empty() && startsWithNoCase(ref, "file:")))
            return remote() ? std::nullopt : localFileOfUri(ref);
        if (!scheme.empty()) {
            // GStreamer's pnm source does nothing but redirect to the same place over rtsp.
            std::string address =
                scheme == "pnm" ? "rtsp" + std::string(ref.substr(3)) : std::string(ref);
            if (!isStreamAddress(address))
                return std::nullopt;
            return escapeForUrl(address);
        }
        if (isWindowsPath(ref))
            return std::nullopt;
        std::string path(ref);
        if (!path.starts_with('/'))
            std::replace(path.begin(), path.end(), '\\', '/');
        switch (m_kind) {
        case Kind::Url:
            return escapeForUrl(m_listUrl.resolve(path));
        case Kind::Folder:
            if (uriRef)
                return localFileOfUri(m_listUrl.resolve(path));
            if (path.starts_with('/'))
                return path;
            return m_folder + "/" + path;
        case Kind::Nothing:
            if (!path.starts_with('/'))
                return std::nullopt;
            return uriRef ? localFileOfUri("file://" + path) : path;
        }
        return std::nullopt;
    }

    Kind m_kind = Kind::Nothing;
    std::string m_folder; // the list's folder without its last "/"
    UrlParts m_listUrl;   // the list's address (a file: URI for a local list)
};

// Gathers the entries of one list and counts them against the limit.
class Collector {
public:
    Collector(std::string_view listLocation, bool latin1)
        : m_resolve(listLocation), m_latin1(latin1)
    {
    }

    // False once the list has named more than MaxListEntries: reading can stop.
    bool add(std::string_view ref, std::string_view title, bool uriRef = false)
    {
        ref = trimSpace(ref);
        if (ref.empty())
            return true;
        if (++m_named > MaxListEntries)
            return false;
        std::optional<std::string> location = m_resolve(ref, uriRef);
        if (!location) {
            ++m_skipped;
            return true;
        }
        ListEntry entry{std::move(*location), cleanTitle(title, m_latin1), {}};
        if (m_latin1 && entry.location.starts_with('/') && hasHighBytes(ref)) {
            auto alternative = m_resolve(latin1ToUtf8(ref), uriRef);
            if (alternative && *alternative != entry.location)
                entry.alternative = std::move(*alternative);
        }
        m_entries.push_back(std::move(entry));
        return true;
    }

    bool latin1() const { return m_latin1; }

    // Entries the list gives no title of their own take the list's.
    void titleUntitled(std::string_view listTitle)
    {
        const std::string title = cleanTitle(listTitle, m_latin1);
        for (auto& e : m_entries)
            if (e.title.empty())
                e.title = title;
    }

    ListContents finish()
    {
        if (m_named > MaxListEntries)
            return {{},
                    "The list names more than " + std::to_string(MaxListEntries) +
                        " entries, more than Quavix plays from one list."};
        if (m_entries.empty())
            return {{}, m_skipped ? NothingPlayableHere : NothingToPlay};
        return {std::move(m_entries), {}};
    }

private:
    Resolver m_resolve;
    bool m_latin1;
    std::vector<ListEntry> m_entries;
    std::size_t m_named = 0;
    std::size_t m_skipped = 0;
};

// ---- line formats: PLS and the INI form of ASX; M3U and RAM ------------------------------

// "<fileKey>N=" entries in the order of N, titled by "<titleKey>N=" (keys in any case; the
// first of each N counts, like every INI reader here).
void readNumberedKeys(std::string_view text, Collector& out, std::string_view fileKey,
                      std::string_view titleKey)
{
    struct Item {
        std::optional<std::string_view> file, title;
    };
    std::map<std::uint64_t, Item> items;
    forEachLine(text, [&](std::string_view line) {
        const std::size_t eq = line.find('=');
        if (eq == npos)
            return true;
        const std::string_view key = text::trim(line.substr(0, eq));
        const std::string_view value = text::trim(line.substr(eq + 1));
        for (const bool isFile : {true, false}) {
            const std::string_view prefix = isFile ? fileKey : titleKey;
            if (prefix.empty() || key.size() <= prefix.size() || !startsWithNoCase(key, prefix))
                continue;
            const std::string_view digits = key.substr(prefix.size());
            std::uint64_t number = 0;
            // Nineteen digits always fit; no list numbers its entries beyond that.
            if (digits.size() > 19 || !std::all_of(digits.begin(), digits.end(), isAsciiDigit))
                continue;
            for (char d : digits)
                number = number * 10 + static_cast<std::uint64_t>(d - '0');
            auto& field = isFile ? items[number].file : items[number].title;
            if (!field)
                field = value;
        }
        return true;
    });
    for (const auto& [number, item] : items)
        if (item.file && !out.add(*item.file, item.title.value_or(std::string_view())))
            return;
}

// The title of "#EXTINF:<length> <attributes>,<title>": after the first comma outside quotes.
std::string_view extinfTitle(std::string_view rest)
{
    bool quoted = false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '"')
            quoted = !quoted;
        else if (rest[i] == ',' && !quoted)
            return text::trim(rest.substr(i + 1));
    }
    return {};
}

// False for an HLS playlist, which is no list for us.
bool readLines(std::string_view text, Collector& out, bool ram)
{
    std::string_view title;
    bool hls = false;
    forEachLine(text, [&](std::string_view raw) {
        const std::string_view line = text::trim(raw);
        if (line.empty())
            return true;
        if (line.front() == '#') {
            if (!ram && startsWithNoCase(line, "#EXTINF:"))
                title = extinfTitle(line.substr(8));
            hls = !ram && startsWithNoCase(line, "#EXT-X-");
            return !hls;
        }
        if (ram && line == "--stop--")
            return false;
        const bool more = out.add(line, title);
        title = {};
        return more;
    });
    return !hls;
}

// ---- XML as servers write it: ASX and XSPF ---------------------------------------------

bool isNameStart(char c)
{
    return isAsciiAlpha(c) || c == '_' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

bool isNameChar(char c)
{
    return isNameStart(c) || isAsciiDigit(c) || c == '-' || c == '.';
}

// Where a tag that starts before i ends: its ">", or the "<" of the next tag when it has
// none. A quote without its partner before the next "<" is just a character, so a missing
// quote swallows no later tag.
std::size_t tagEnd(std::string_view s, std::size_t i)
{
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '>' || c == '<')
            return i;
        if (c == '"' || c == '\'') {
            const std::size_t close = s.find_first_of(c == '"' ? "\"<" : "'<", i + 1);
            if (close != npos && s[close] == c)
                i = close;
        }
    }
    return s.size();
}

// The end of a declaration ("<!DOCTYPE ... [ internal subset ]>"), which is skipped unread:
// nothing it declares is ever expanded.
std::size_t declarationEnd(std::string_view s, std::size_t i)
{
    int depth = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '[') {
            ++depth;
        } else if (c == ']') {
            depth = std::max(0, depth - 1);
        } else if (c == '>' && depth == 0) {
            return i + 1;
        } else if (c == '"' || c == '\'') {
            const std::size_t close = s.find(c, i + 1);
            if (close == npos)
                return s.size();
            i = close;
        }
    }
    return s.size();
}

// Walks the markup, calling h.open(name, attributes, selfClosing), h.close(name) and
// h.text(raw, entitiesApply); names keep their case (compare them with sameName). Comments,
// processing instructions and declarations are passed over. A handler returns false to stop.
template <class Handler> void walkMarkup(std::string_view s, Handler& h)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t lt = std::min(s.find('<', i), s.size());
        if (lt > i && !h.text(s.substr(i, lt - i), true))
            return;
        if (lt == s.size())
            return;
        const std::string_view rest = s.substr(lt);
        auto skipTo = [&](std::string_view end, std::size_t from) {
            const std::size_t at = s.find(end, from);
            return at == npos ? s.size() : at + end.size();
        };
        if (rest.starts_with("<!--")) {
            i = skipTo("-->", lt + 4);
        } else if (rest.starts_with("<![CDATA[")) {
            const std::size_t end = std::min(s.find("]]>", lt + 9), s.size());
            if (!h.text(s.substr(lt + 9, end - lt - 9), false))
                return;
            i = std::min(end + 3, s.size());
        } else if (rest.starts_with("<!")) {
            i = declarationEnd(s, lt + 2);
        } else if (rest.starts_with("<?")) {
            i = skipTo("?>", lt + 2);
        } else {
            const bool closing = rest.size() > 1 && rest[1] == '/';
            const std::size_t nameStart = lt + 1 + (closing ? 1 : 0);
            if (nameStart >= s.size() || !isNameStart(s[nameStart])) {
                if (!h.text(s.substr(lt, 1), true)) // a lone "<" is text
                    return;
                i = lt + 1;
                continue;
            }
            std::size_t nameEnd = nameStart;
            while (nameEnd < s.size() && isNameChar(s[nameEnd]))
                ++nameEnd;
            const std::size_t end = tagEnd(s, nameEnd);
            const std::string_view name = s.substr(nameStart, nameEnd - nameStart);
            const std::string_view attributes = trimSpace(s.substr(nameEnd, end - nameEnd));
            if (!(closing ? h.close(name) : h.open(name, attributes, attributes.ends_with('/'))))
                return;
            i = end < s.size() && s[end] == '>' ? end + 1 : end;
        }
    }
}

// The value of an attribute (name in any case), raw; quoted, single-quoted or bare.
std::optional<std::string_view> attribute(std::string_view a, std::string_view wanted)
{
    std::size_t i = 0;
    const std::size_t n = a.size();
    while (i < n) {
        while (i < n && (isSpace(a[i]) || a[i] == '/'))
            ++i;
        const std::size_t nameStart = i;
        while (i < n && !isSpace(a[i]) && a[i] != '=')
            ++i;
        const std::string_view name = a.substr(nameStart, i - nameStart);
        while (i < n && isSpace(a[i]))
            ++i;
        std::string_view value;
        if (i < n && a[i] == '=') {
            ++i;
            while (i < n && isSpace(a[i]))
                ++i;
            if (i < n && (a[i] == '"' || a[i] == '\'')) {
                const char quote = a[i++];
                const std::size_t close = a.find(quote, i);
                value = a.substr(i, close == npos ? npos : close - i);
                i = close == npos ? n : close + 1;
            } else {
                const std::size_t start = i;
                while (i < n && !isSpace(a[i]))
                    ++i;
                value = a.substr(start, i - start);
            }
        }
        if (!name.empty() && text::sameName(name, wanted))
            return value;
    }
    return std::nullopt;
}

// The code point an entity stands for: the five predefined ones and numeric references.
// Anything else, declared entities included, is not an entity to us and stays as written.
std::optional<char32_t> entityValue(std::string_view name)
{
    static constexpr std::pair<std::string_view, char32_t> named[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [n, cp] : named)
        if (text::sameName(name, n))
            return cp;
    if (name.size() < 2 || name[0] != '#')
        return std::nullopt;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    char32_t cp = 0;
    for (char c : digits) {
        const int d = hex ? text::hexDigit(c) : (isAsciiDigit(c) ? c - '0' : -1);
        if (d < 0)
            return std::nullopt;
        cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(d);
    }
    // Characters XML itself refuses (a NUL, controls, surrogates) name nothing.
    if (cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff) ||
        (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r'))
        return std::nullopt;
    return cp;
}

// A text read as Latin-1 gets its references as Latin-1 bytes too, so that converting it
// later gives each character once; what Latin-1 cannot hold stays as written.
void appendDecoded(std::string& out, std::string_view raw, bool latin1)
{
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '&') {
            out += raw[i];
            continue;
        }
        const std::size_t semi = raw.substr(i + 1, 12).find(';');
        const auto cp = semi == npos ? std::nullopt : entityValue(raw.substr(i + 1, semi));
        if (!cp || (latin1 && *cp > 0xff)) {
            out += '&';
            continue;
        }
        if (latin1)
            out += static_cast<char>(*cp);
        else
            appendUtf8(out, *cp);
        i += semi + 1;
    }
}

std::string decoded(std::string_view raw, bool latin1)
{
    std::string out;
    appendDecoded(out, raw, latin1);
    return out;
}

// ASX: ENTRY elements with their REFs (mirrors, each an entry) and TITLE; ENTRYREF names a
// nested list. Closing tags are optional: a new ENTRY or the end closes the open one.
class AsxReader {
public:
    explicit AsxReader(Collector& out) : m_out(out) {}

    bool open(std::string_view name, std::string_view attributes, bool)
    {
        endTitle();
        if (text::sameName(name, "entry")) {
            flush();
            m_inEntry = true;
        } else if (text::sameName(name, "ref") || text::sameName(name, "entryref")) {
            if (auto href = attribute(attributes, "href")) {
                if (m_inEntry)
                    m_refs.push_back(decoded(*href, m_out.latin1()));
                else
                    m_going = m_out.add(decoded(*href, m_out.latin1()), {});
            }
        } else if (text::sameName(name, "title")) {
            m_title = m_inEntry ? &m_entryTitle : &m_listTitle;
            m_buffer.clear();
        }
        return m_going;
    }

    bool close(std::string_view name)
    {
        endTitle();
        if (text::sameName(name, "entry"))
            flush();
        return m_going;
    }

    bool text(std::string_view raw, bool entities)
    {
        if (m_title)
            entities ? appendDecoded(m_buffer, raw, m_out.latin1()) : void(m_buffer += raw);
        return true;
    }

    void finish()
    {
        endTitle();
        flush();
        m_out.titleUntitled(m_listTitle);
    }

private:
    // A title ends at the next tag of any kind, so that a missing </TITLE> costs nothing else.
    void endTitle()
    {
        if (m_title && m_title->empty())
            *m_title = m_buffer;
        m_title = nullptr;
    }

    void flush()
    {
        for (const auto& ref : m_refs)
            if (m_going)
                m_going = m_out.add(ref, m_entryTitle);
        m_refs.clear();
        m_entryTitle.clear();
        m_inEntry = false;
    }

    Collector& m_out;
    bool m_going = true;
    bool m_inEntry = false;
    std::vector<std::string> m_refs;
    std::string m_entryTitle, m_listTitle, m_buffer;
    std::string* m_title = nullptr;
};

// XSPF: each track's locations (alternatives, each an entry) and its own title; what other
// programs keep in <extension> is theirs.
class XspfReader {
public:
    explicit XspfReader(Collector& out) : m_out(out) {}

    bool open(std::string_view name, std::string_view, bool selfClosing)
    {
        endField();
        if (text::sameName(name, "extension")) {
            m_extension += selfClosing ? 0 : 1;
        } else if (m_extension == 0) {
            if (text::sameName(name, "track")) {
                flush();
                m_inTrack = !selfClosing;
            } else if (m_inTrack && text::sameName(name, "location")) {
                m_field = Field::Location;
            } else if (m_inTrack && text::sameName(name, "title")) {
                m_field = Field::Title;
            }
        }
        return m_going;
    }

    bool close(std::string_view name)
    {
        endField();
        if (text::sameName(name, "extension"))
            m_extension = std::max(0, m_extension - 1);
        else if (m_extension == 0 && text::sameName(name, "track"))
            flush();
        return m_going;
    }

    bool text(std::string_view raw, bool entities)
    {
        if (m_field != Field::None)
            entities ? appendDecoded(m_buffer, raw, m_out.latin1()) : void(m_buffer += raw);
        return true;
    }

    void finish()
    {
        endField();
        flush();
    }

private:
    enum class Field { None, Location, Title };

    void endField()
    {
        if (m_field == Field::Location)
            m_locations.push_back(m_buffer);
        else if (m_field == Field::Title && !m_hasTitle) {
            m_title = m_buffer;
            m_hasTitle = true;
        }
        m_field = Field::None;
        m_buffer.clear();
    }

    void flush()
    {
        for (const auto& location : m_locations)
            if (m_going)
                m_going = m_out.add(location, m_title, true);
        m_locations.clear();
        m_title.clear();
        m_hasTitle = false;
        m_inTrack = false;
    }

    Collector& m_out;
    bool m_going = true;
    bool m_inTrack = false;
    bool m_hasTitle = false;
    int m_extension = 0;
    Field m_field = Field::None;
    std::vector<std::string> m_locations;
    std::string m_title, m_buffer;
};

// ---- recognition ---------------------------------------------------------------------------

// What an http Content-Type says: a list format, media that may also be a list (the content
// must show it), or nothing.
enum class TypeHint { None, Asx, Ram, Pls, M3u, Xspf, AsfMedia, RealMedia };

TypeHint hintOf(std::string_view contentType)
{
    const std::string type =
        text::asciiLowered(trimSpace(contentType.substr(0, contentType.find(';'))));
    static const std::pair<std::string_view, TypeHint> types[] = {
        {"audio/x-scpls", TypeHint::Pls},
        {"audio/scpls", TypeHint::Pls},
        {"audio/x-mpegurl", TypeHint::M3u},
        {"audio/mpegurl", TypeHint::M3u},
        {"application/x-mpegurl", TypeHint::M3u},
        {"application/vnd.apple.mpegurl", TypeHint::M3u},
        {"audio/x-m3u", TypeHint::M3u},
        {"audio/m3u", TypeHint::M3u},
        {"application/xspf+xml", TypeHint::Xspf},
        {"video/x-ms-asx", TypeHint::Asx},
        {"audio/x-ms-asx", TypeHint::Asx},
        {"video/x-ms-wax", TypeHint::Asx},
        {"audio/x-ms-wax", TypeHint::Asx},
        {"video/x-ms-wvx", TypeHint::Asx},
        {"video/x-ms-wmx", TypeHint::Asx},
        {"audio/x-pn-realaudio-plugin", TypeHint::Ram},
        {"video/x-ms-asf", TypeHint::AsfMedia},
        {"video/x-ms-asf-plugin", TypeHint::AsfMedia},
        {"application/vnd.ms-asf", TypeHint::AsfMedia},
        {"audio/x-pn-realaudio", TypeHint::RealMedia},
        {"audio/vnd.rn-realaudio", TypeHint::RealMedia},
    };
    for (const auto& [name, hint] : types)
        if (type == name)
            return hint;
    return TypeHint::None;
}

bool isBinary(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r' &&
               c != '\f' && c != '\v';
    });
}

bool hasHlsTag(std::string_view text)
{
    bool found = false;
    forEachLine(text, [&](std::string_view line) {
        found = startsWithNoCase(text::trim(line), "#EXT-X-");
        return !found;
    });
    return found;
}

// The format a text's own first lines or root element declare, NotAList when none.
ListFormat declaredFormat(std::string_view text)
{
    if (text.starts_with('<')) {
        struct FirstElement {
            std::string_view name, attributes;
            bool open(std::string_view n, std::string_view a, bool)
            {
                name = n, attributes = a;
                return false;
            }
            bool close(std::string_view) { return true; }
            bool text(std::string_view, bool) { return true; }
        } first;
        walkMarkup(text, first);
        if (text::sameName(first.name, "asx"))
            return ListFormat::Asx;
        if (text::sameName(first.name, "playlist") &&
            (containsNoCase(first.attributes, "xspf") || containsNoCase(text, "<tracklist")))
            return ListFormat::Xspf;
        return ListFormat::NotAList;
    }
    std::string_view firstLine;
    forEachLine(text, [&](std::string_view line) {
        firstLine = text::trim(line);
        return false;
    });
    if (text::sameName(firstLine, "[playlist]"))
        return ListFormat::Pls;
    if (text::sameName(firstLine, "[reference]"))
        return ListFormat::Asx;
    if (startsWithNoCase(firstLine, "file")) {
        const std::string_view rest = firstLine.substr(4);
        const std::size_t digits =
            std::find_if_not(rest.begin(), rest.end(), isAsciiDigit) - rest.begin();
        if (digits > 0 && rest.substr(digits).starts_with('='))
            return ListFormat::Pls;
    }
    bool extended = false;
    forEachLine(text, [&](std::string_view line) {
        line = text::trim(line);
        extended = startsWithNoCase(line, "#EXTM3U") || startsWithNoCase(line, "#EXTINF");
        return !extended;
    });
    return extended ? ListFormat::M3u : ListFormat::NotAList;
}

bool hasListedExtension(std::string_view name)
{
    static constexpr std::string_view known[] = {
        "mp3",  "mp2", "mpga", "ogg",  "oga",  "opus", "flac", "wav",  "wma",  "asf",
        "asx",  "wax", "wvx",  "wmv",  "ra",   "ram",  "rm",   "rmm",  "rmvb", "mid",
        "midi", "rmi", "kar",  "au",   "snd",  "aif",  "aiff", "aifc", "m4a",  "m4b",
        "aac",  "mp4", "mka",  "webm", "spx",  "ape",  "wv",   "mpc",  "tta",  "ac3",
        "amr",  "pls", "m3u",  "m3u8", "xspf", "mod",  "s3m",  "xm",   "it"};
    if (const std::size_t slash = name.find_last_of("/\\"); slash != npos)
        name.remove_prefix(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == npos || name.size() - dot > 6)
        return false;
    const std::string extension = text::asciiLowered(name.substr(dot + 1));
    return std::find(std::begin(known), std::end(known), extension) != std::end(known);
}

// A line of a plain list of links: an address the player knows, a file URI, an absolute
// path, a Windows path (refused later, with a message), or a media file's name.
bool looksLikeEntry(std::string_view line)
{
    if (std::any_of(line.begin(), line.end(), [](char c) {
            return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f;
        }))
        return false;
    const std::string scheme = schemeOf(line);
    if (!scheme.empty())
        return scheme == "pnm" || isStreamAddress(std::string(line));
    return startsWithNoCase(line, "file:") || line.starts_with('/') || isWindowsPath(line) ||
           hasListedExtension(line);
}

// RAM or M3U when every line that is not blank or a comment is an entry (and there is one).
ListFormat plainListFormat(std::string_view text)
{
    bool any = false, prose = false, ram = false;
    forEachLine(text, [&](std::string_view raw) {
        const std::string_view line = text::trim(raw);
        if (line.empty() || line.front() == '#')
            return true;
        if (line == "--stop--") {
            ram = true;
            return false;
        }
        prose = !looksLikeEntry(line);
        any = true;
        ram = ram || startsWithNoCase(line, "pnm://");
        return !prose;
    });
    if (prose || !any)
        return ListFormat::NotAList;
    return ram ? ListFormat::Ram : ListFormat::M3u;
}

ListFormat listFormatOf(TypeHint hint)
{
    switch (hint) {
    case TypeHint::Asx:
        return ListFormat::Asx;
    case TypeHint::Ram:
        return ListFormat::Ram;
    case TypeHint::Pls:
        return ListFormat::Pls;
    case TypeHint::M3u:
        return ListFormat::M3u;
    case TypeHint::Xspf:
        return ListFormat::Xspf;
    default:
        return ListFormat::NotAList;
    }
}

// Appends up to limit bytes (fewer at the end of the file); npos on an error, errno kept.
std::size_t readUpTo(int fd, std::string& out, std::size_t limit)
{
    const std::size_t start = out.size();
    out.resize(start + limit);
    std::size_t done = 0;
    while (done < limit) {
        const ssize_t n = ::read(fd, out.data() + start + done, limit - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            out.resize(start);
            errno = error;
            return npos;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    out.resize(start + done);
    return done;
}

} // namespace

ListFormat recogniseList(std::string_view head, std::string_view contentType)
{
    const bool partial = head.size() >= ListHeadBytes;
    std::string storage;
    std::string_view text = decodeText(head.substr(0, ListHeadBytes), storage);
    text.remove_prefix(std::min(text.find_first_not_of(" \t\r\n"), text.size()));
    // Only whole lines are judged in a head that goes on.
    std::string_view lines = text;
    if (partial)
        lines =
            lines.substr(0, lines.find_last_of("\r\n") == npos ? 0 : lines.find_last_of("\r\n"));

    const TypeHint hint = hintOf(contentType);
    const ListFormat declared = declaredFormat(text);
    if ((declared == ListFormat::M3u || declared == ListFormat::NotAList) && hasHlsTag(text))
        return ListFormat::NotAList;
    if (hint == TypeHint::AsfMedia)
        return declared == ListFormat::Asx ? ListFormat::Asx : ListFormat::NotAList;
    if (hint == TypeHint::RealMedia)
        return plainListFormat(lines) != ListFormat::NotAList ? ListFormat::Ram
                                                              : ListFormat::NotAList;
    if (declared != ListFormat::NotAList)
        return declared;
    const ListFormat plain = plainListFormat(lines);
    if (plain != ListFormat::NotAList)
        return hint == TypeHint::Ram ? ListFormat::Ram : plain;
    if (hint == TypeHint::None || isBinary(text))
        return ListFormat::NotAList;
    return listFormatOf(hint);
}

ListContents parseList(std::string_view content, ListFormat format, std::string_view listLocation)
{
    if (content.size() > MaxListBytes)
        return {{}, TooLarge};
    if (format == ListFormat::NotAList)
        return {{}, "The file is not a list Quavix can read."};
    std::string storage;
    const std::string_view text = decodeText(content, storage);
    Collector out(listLocation, !text::isUtf8(text));
    switch (format) {
    case ListFormat::Pls:
        readNumberedKeys(text, out, "file", "title");
        break;
    case ListFormat::Asx:
        if (trimSpace(text).starts_with('[')) {
            readNumberedKeys(text, out, "ref", {});
        } else {
            AsxReader reader(out);
            walkMarkup(text, reader);
            reader.finish();
        }
        break;
    case ListFormat::Xspf: {
        XspfReader reader(out);
        walkMarkup(text, reader);
        reader.finish();
        break;
    }
    case ListFormat::Ram:
    case ListFormat::M3u:
        if (!readLines(text, out, format == ListFormat::Ram))
            return {{}, HlsProblem};
        break;
    case ListFormat::NotAList:
        break;
    }
    return out.finish();
}

LocalList readLocalList(const std::string& path)
{
    LocalList list;
    // Looked at before it is opened: opening a device may do something, a FIFO waits.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return list;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return list;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return list; // replaced since it was looked at

    std::string text;
    if (readUpTo(fd, text, ListHeadBytes) == npos)
        return list;
    list.format = recogniseList(text);
    if (list.format == ListFormat::NotAList)
        return list;
    if (static_cast<unsigned long long>(st.st_size) > MaxListBytes) {
        list.problem = TooLarge;
        return list;
    }
    if (text.size() == ListHeadBytes) {
        // One byte more than a list may have tells a file that grew since it was looked at.
        const std::size_t more = readUpTo(fd, text, MaxListBytes + 1 - text.size());
        if (more == npos) {
            list.problem = std::string("The list could not be read: ") + std::strerror(errno) + ".";
            return list;
        }
        if (text.size() > MaxListBytes) {
            list.problem = TooLarge;
            return list;
        }
    }
    list.content = std::move(text);
    return list;
}

} // namespace quavix
