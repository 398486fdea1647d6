#pragma once
// List and link files: the small files web radio and stream links come as (ASX, RAM/RMM, PLS,
// M3U/M3U8, XSPF). Each names one or more things to play; none of them is media itself.
//
// Recognition goes by content (and an http Content-Type), never by file name. Parsing turns a
// whole list into entries the player can open one after the other: an address it knows
// (isStreamAddress) or an absolute local path. Both are plain functions of their arguments,
// apart from readLocalList, which reads the file.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quavix {

// Formats of list and link files.
enum class ListFormat { NotAList, Asx, Ram, Pls, M3u, Xspf };

// One entry: where it is and what the list calls it.
struct ListEntry {
    std::string location;    // an address (isStreamAddress) or an absolute local path, resolved
                             // against the list's own location; file:// URIs become local paths
    std::string title;       // UTF-8; "" when the list gives none
    std::string alternative; // another spelling of a local location to try when `location` is
                             // not found ("" when none): the UTF-8 form of a Latin-1 name

    bool operator==(const ListEntry&) const = default;
};

inline constexpr std::size_t MaxListBytes = std::size_t{1024} * 1024; // larger lists are refused
inline constexpr std::size_t MaxListEntries = 10000; // lists with more entries are refused
// How much of a file recogniseList looks at. When the head it is given is at least this long,
// it is taken as the start of something longer, and its last, unended line is not judged.
inline constexpr std::size_t ListHeadBytes = std::size_t{16} * 1024;

// What the first bytes of a file (or an http body) say it is; contentType is the http
// Content-Type when there was one ("" otherwise), which decides where it is specific
// (e.g. audio/x-scpls) and only narrows what the content must show where it is ambiguous
// (video/x-ms-asf is also real ASF media; audio/x-pn-realaudio is also real RealAudio).
// A specific type gives way to content that plainly shows another list format, and to
// content that is not text (media sent under a list's type): NotAList. An HLS playlist
// (any #EXT-X- tag) is NotAList whatever the type: the player plays it from its address.
ListFormat recogniseList(std::string_view head, std::string_view contentType = {});

struct ListContents {
    std::vector<ListEntry> entries;
    std::string problem; // non-empty (a sentence for the user) when the list is refused or empty
};
// Parses a whole list. listLocation is the absolute path or the address the list came from
// (relative entries resolve against it: a folder, or an URL by RFC 3986).
//
// Entries that cannot name anything here are left out: unknown schemes, file URIs of other
// hosts, Windows drive and network paths (C:\..., \\server\...), names holding a NUL, local
// files named by a list that came over the network, and relative entries when listLocation
// is neither absolute nor an address. A "\" in a relative entry is taken as a folder
// separator (such lists were written on Windows; "\" in a Linux name is rare), while an
// absolute local path keeps its bytes. pnm:// addresses become rtsp:// (what GStreamer's
// own pnm source does); characters an URL cannot hold (blanks, non-ASCII bytes) are
// percent-escaped in addresses.
//
// Text that is not valid UTF-8 is read as Latin-1: titles are converted, a local path keeps
// its bytes and gets its UTF-8 form as `alternative`. UTF-16 (with a BOM, or XML without
// one) and a UTF-8 BOM are understood for every format.
ListContents parseList(std::string_view content, ListFormat format, std::string_view listLocation);

// A local file that may be a list: its format by its first bytes and, when it is a list, its
// whole text for parseList. What is not a regular file (a FIFO or a device would block or
// never end) is NotAList without a byte read; a list over MaxListBytes is refused before it
// is read. problem is non-empty only for a list that cannot be read whole; a file that cannot
// be opened at all is NotAList (the player's own open then says why).
struct LocalList {
    ListFormat format = ListFormat::NotAList;
    std::string content;
    std::string problem;
};
LocalList readLocalList(const std::string& path);

} // namespace quavix
