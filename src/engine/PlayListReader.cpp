#include "PlayListReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace quavix {

namespace {
constexpr std::size_t ReadSize = std::size_t{1} << 20;

std::string_view withoutCr(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}
} // namespace

namespace {
FileStamp stampOf(const struct stat& st)
{
    return {st.st_dev, st.st_ino, st.st_size,
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}
} // namespace

FileStamp fileStamp(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return {};
    return stampOf(st);
}

LineReader::LineReader(const std::string& path, std::size_t maxLine) : m_maxLine(maxLine)
{
    if (path.empty())
        return;
    // Opened without waiting, so that a FIFO in its place cannot hold the program up; only
    // a plain file is a play list.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    if (fd >= 0 && !(m_file = ::fdopen(fd, "rb")))
        ::close(fd);
    // Large reads pass over a long list (or a damaged one, a line of gigabytes) quickly; a
    // small list needs no more than its size.
    if (m_file)
        m_buffer.resize(
            std::clamp<std::size_t>(static_cast<std::size_t>(st.st_size) + 1, 4096, ReadSize));
}

LineReader::~LineReader()
{
    if (m_file)
        std::fclose(m_file);
}

bool LineReader::fill()
{
    if (m_eof || !m_file)
        return false;
    m_bufferStart += static_cast<off_t>(m_end);
    m_begin = 0;
    m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
    if (m_end == 0)
        m_eof = true;
    return m_end > 0;
}

bool LineReader::next(std::string_view& line)
{
    if (!m_file)
        return false;
    m_carry.clear();
    bool carrying = false;
    m_lineStart = m_bufferStart + static_cast<off_t>(m_begin);
    // Only the first m_maxLine bytes of a line are kept; the rest is passed over.
    auto carry = [this](const char* from, std::size_t length) {
        if (m_carry.size() < m_maxLine)
            m_carry.append(from, std::min(length, m_maxLine - m_carry.size()));
    };
    for (;;) {
        if (m_begin >= m_end && !fill()) {
            if (!carrying)
                return false;
            line = withoutCr(m_carry); // last line without an end-of-line
            return true;
        }
        const char* start = m_buffer.data() + m_begin;
        const auto* nl = static_cast<const char*>(std::memchr(start, '\n', m_end - m_begin));
        if (nl) {
            auto length = static_cast<std::size_t>(nl - start);
            m_begin += length + 1;
            if (!carrying && length <= m_maxLine) {
                line = withoutCr(std::string_view(start, length));
                return true;
            }
            carry(start, length);
            line = withoutCr(m_carry);
            return true;
        }
        carry(start, m_end - m_begin);
        carrying = true;
        m_begin = m_end;
    }
}

bool LineReader::nextEntry(std::string_view& entry)
{
    while (next(entry)) {
        if (!entry.empty())
            return true;
    }
    return false;
}

EntryScan scanPlayList(const std::string& path, std::string_view name, long hint, bool wantBefore)
{
    EntryScan scan;
    LineReader reader(path);
    scan.opened = reader.isOpen();
    // Both candidates are followed until the end: the hinted occurrence wins when it matches.
    long first = -1;
    std::optional<std::string> firstBefore, firstAfter, hintBefore, hintAfter;
    std::string previous;
    bool hasPrevious = false;
    std::string_view entry;
    for (long i = 0; reader.nextEntry(entry); ++i) {
        if (first >= 0 && i == first + 1)
            firstAfter.emplace(entry);
        if (hint >= 0 && scan.index == hint && i == hint + 1)
            hintAfter.emplace(entry);
        if (entry == name) {
            if (i == hint) {
                scan.index = hint;
                if (hasPrevious)
                    hintBefore = previous;
            } else if (first < 0) {
                first = i;
                if (hasPrevious)
                    firstBefore = previous;
            }
        }
        if (wantBefore) {
            previous.assign(entry);
            hasPrevious = true;
        }
        scan.count = i + 1;
    }
    if (scan.index >= 0) {
        scan.before = std::move(hintBefore);
        scan.after = std::move(hintAfter);
    } else if (first >= 0) {
        scan.index = first;
        scan.before = std::move(firstBefore);
        scan.after = std::move(firstAfter);
    }
    return scan;
}

std::optional<std::string> playListEntryAt(const std::string& path, long index)
{
    if (index < 0)
        return std::nullopt;
    LineReader reader(path);
    std::string_view entry;
    for (long i = 0; reader.nextEntry(entry); ++i) {
        if (i == index)
            return std::string(entry);
    }
    return std::nullopt;
}

PlayListIndex::~PlayListIndex()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PlayListIndex::refresh(const std::string& path)
{
    if (m_settled && path == m_path && fileStamp(path) == m_stamp && m_stamp.size >= 0)
        return true;
    m_path = path;
    m_stamp = {};
    m_starts.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    LineReader reader(path);
    if (!reader.isOpen())
        return m_settled = false;
    // Entries are read later from the very file indexed, even when the name is given to
    // another one meanwhile; its stamp is that file's.
    m_fd = ::fcntl(reader.fd(), F_DUPFD_CLOEXEC, 0);
    struct stat st {};
    if (m_fd >= 0 && ::fstat(m_fd, &st) == 0)
        m_stamp = stampOf(st);
    std::string_view entry;
    while (reader.nextEntry(entry))
        m_starts.push_back(reader.lineStart());
    // File systems with the coarsest time stamps count in steps of two seconds.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    m_settled = m_stamp.size >= 0 && now.tv_sec - m_stamp.mtimeNs / 1000000000LL > 2;
    return true;
}

std::optional<std::string> PlayListIndex::entryAt(long index) const
{
    if (index < 0 || index >= count() || m_fd < 0)
        return std::nullopt;
    // Only the entry's own bytes are read: up to the next entry's start, the line end
    // (and blank lines after it) left off, and never more than an entry can hold.
    const auto i = static_cast<std::size_t>(index);
    const off_t start = m_starts[i];
    const off_t end = i + 1 < m_starts.size() ? m_starts[i + 1] : m_stamp.size;
    const auto wanted = static_cast<std::size_t>(
        std::clamp<off_t>(end - start, 0, static_cast<off_t>(MaxEntryBytes + 2)));
    std::string entry(wanted, '\0');
    std::size_t got = 0;
    while (got < wanted) {
        const ssize_t n =
            ::pread(m_fd, entry.data() + got, wanted - got, start + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    entry.resize(std::min(got, entry.find('\n')));
    if (entry.size() > MaxEntryBytes)
        entry.resize(MaxEntryBytes);
    else if (!entry.empty() && entry.back() == '\r')
        entry.pop_back();
    if (entry.empty())
        return std::nullopt; // the file changed under the index
    return entry;
}

long PlayListIndex::find(std::string_view name) const
{
    LineReader reader(m_path);
    std::string_view entry;
    for (long i = 0; reader.nextEntry(entry); ++i)
        if (entry == name)
            return i;
    return -1;
}

} // namespace quavix
