#pragma once
// Reading the default play list file the way the play-list player needs it: streamed,
// without building the whole list in memory, so that a step on a list of 100,000 lines
// stays cheap.
//
// Format: one entry per line, CR LF or LF; a trailing CR is not part of the entry. Blank
// lines are not entries (they name nothing to play) and are not counted. No name is longer
// than MaxEntryBytes: a longer line (a damaged or hostile file) counts as an entry that
// names nothing playable, and only its first MaxEntryBytes are ever held. Entries are
// compared exactly and case-sensitively. A missing or unreadable file, or anything that is
// not a plain file (a folder, a FIFO), has no entries.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace quavix {

inline constexpr std::size_t MaxEntryBytes = std::size_t{64} * 1024;

// What tells one version of a file from another: identity, size and modification time.
struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    long long mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of the file at path; a default (never equal to a real one) when it is missing.
FileStamp fileStamp(const std::string& path);

// Streams the lines of a text file. The view returned by next() stays valid until the
// following call; no allocation happens per line.
class LineReader {
public:
    // Lines longer than maxLine give only their first maxLine bytes; the editor, which
    // writes every line back as it was, asks for WholeLines.
    static constexpr std::size_t WholeLines = std::size_t(-1);
    explicit LineReader(const std::string& path, std::size_t maxLine = MaxEntryBytes);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    // The next line without its end-of-line characters; false at the end of the file.
    bool next(std::string_view& line);
    // The next line that is not blank.
    bool nextEntry(std::string_view& entry);
    // The byte offset in the file where the line last returned begins.
    off_t lineStart() const { return m_lineStart; }
    // The open file's descriptor (-1 when it is not open), for reads of its own.
    int fd() const { return m_file ? ::fileno(m_file) : -1; }

private:
    bool fill();
    std::FILE* m_file = nullptr;
    std::string m_buffer; // fixed-size read buffer
    std::size_t m_begin = 0, m_end = 0;
    off_t m_bufferStart = 0; // file offset of m_buffer[0]
    off_t m_lineStart = 0;
    std::string m_carry; // a line that spans two reads
    bool m_eof = false;
    std::size_t m_maxLine;
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

// Where each entry of a play list file begins, made in one pass and kept while the file
// stays the same (its stamp, and not written in the last seconds before the pass, so that
// an edit within one time-stamp tick is still seen): every step of the player through a
// long list then reads one or two lines instead of the whole file.
class PlayListIndex {
public:
    PlayListIndex() = default;
    ~PlayListIndex();
    PlayListIndex(const PlayListIndex&) = delete;
    PlayListIndex& operator=(const PlayListIndex&) = delete;

    // Brings the index up to the file at path; false when the file cannot be read.
    bool refresh(const std::string& path);
    long count() const { return static_cast<long>(m_starts.size()); }
    // The entry at a 0-based index; nothing outside the list.
    std::optional<std::string> entryAt(long index) const;
    // The index of the first occurrence of name, or -1.
    long find(std::string_view name) const;

private:
    std::string m_path;
    FileStamp m_stamp;
    bool m_settled = false;
    std::vector<off_t> m_starts;
    int m_fd = -1; // the version of the file indexed, kept open for reading entries
};

} // namespace quavix
