#pragma once
// Reading the default play list file the way the play-list player needs it: streamed,
// without building the whole list in memory, so that a step on a list of 100,000 lines
// stays cheap.
//
// Format: one entry per line, CR LF or LF; a trailing CR is not part of the entry. Blank
// lines are not entries (they name nothing to play) and are not counted. Entries are
// compared exactly and case-sensitively. A missing or unreadable file, or anything that is
// not a plain file (a folder, a FIFO), has no entries.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace quavix {

// Streams the lines of a text file. The view returned by next() stays valid until the
// following call; no allocation happens per line.
class LineReader {
public:
    explicit LineReader(const std::string& path);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    // The next line without its end-of-line characters; false at the end of the file.
    bool next(std::string_view& line);
    // The next line that is not blank.
    bool nextEntry(std::string_view& entry);

private:
    bool fill();
    std::FILE* m_file = nullptr;
    std::string m_buffer; // fixed-size read buffer
    std::size_t m_begin = 0, m_end = 0;
    std::string m_carry; // a line that spans two reads
    bool m_eof = false;
};

// Where an entry stands in the file, found in one pass.
struct EntryScan {
    bool opened = false;
    long count = 0;                    // entries in the file
    long index = -1;                   // 0-based index of the entry looked for; -1 when absent
    std::optional<std::string> before; // the entry above it
    std::optional<std::string> after;  // the entry below it
};

// Looks for `name`. When the entry at `hint` equals it, that occurrence is the one meant
// (a list may hold the same entry twice); otherwise the first occurrence.
// `before` is only filled when asked for.
EntryScan scanPlayList(const std::string& path, std::string_view name, long hint = -1,
                       bool wantBefore = false);

// The entry at a 0-based index, or nothing when the file has fewer entries.
std::optional<std::string> playListEntryAt(const std::string& path, long index);

} // namespace quavix
