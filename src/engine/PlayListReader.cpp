#include "PlayListReader.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix {

namespace {
constexpr std::size_t ReadSize = std::size_t{64} * 1024;

std::string_view withoutCr(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}
} // namespace

LineReader::LineReader(const std::string& path)
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
    if (m_file)
        m_buffer.resize(ReadSize);
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
            if (!carrying) {
                line = withoutCr(std::string_view(start, length));
                return true;
            }
            m_carry.append(start, length);
            line = withoutCr(m_carry);
            return true;
        }
        m_carry.append(start, m_end - m_begin);
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

} // namespace quavix
