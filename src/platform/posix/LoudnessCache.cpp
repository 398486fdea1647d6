#include "LoudnessCache.h"

#include "platform/FileReplace.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quavix {

namespace {

constexpr std::string_view Version = "q1";
// Larger files are not a cache of ours.
constexpr std::uintmax_t MaxFileBytes = 64u << 20;

// Paths may hold any byte but NUL: tab, line ends and % are escaped.
std::string escaped(std::string_view path)
{
    std::string out;
    for (char c : path) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size() ||
            std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16).ptr !=
                text.data() + i + 3)
            return std::nullopt;
        out += static_cast<char>(value);
        i += 2;
    }
    return out;
}

std::string number(double v)
{
    if (std::isinf(v))
        return v < 0 ? "-inf" : "inf";
    // Every digit a double needs to come back as it was: a trim level read back other than
    // the one asked for would have every song measured anew on every start.
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::optional<double> numberOf(std::string_view text)
{
    if (text == "-inf")
        return -HUGE_VAL;
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

template <class T> std::optional<T> integerOf(std::string_view text)
{
    T v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

} // namespace

std::string LoudnessCache::lineOf(const std::string& file, const Entry& e)
{
    const SongMeasure& m = e.measure;
    return std::string(Version) + "\t" + std::to_string(e.size) + "\t" +
           std::to_string(e.modified) + "\t" + number(m.loudness) + "\t" + number(m.truePeak) +
           "\t" + number(m.firstSound) + "\t" + number(m.lastSound) + "\t" + number(m.trimLevel) +
           "\t" + escaped(file) + "\n";
}

LoudnessCache::LoudnessCache(std::string path) : m_path(std::move(path)) {}

std::optional<LoudnessCache::Entry> LoudnessCache::stat(const std::string& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    Entry e;
    e.size = static_cast<std::uint64_t>(st.st_size);
    e.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return e;
}

void LoudnessCache::load()
{
    std::lock_guard lock(m_mutex);
    if (m_loaded)
        return;
    m_loaded = true;
    // A FIFO or a device where the cache should be would hold the player: plain files only.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(m_path, ec))
        return;
    if (std::filesystem::file_size(m_path, ec) > MaxFileBytes) {
        m_damaged = true;
        return;
    }
    FILE* in = std::fopen(m_path.c_str(), "rb");
    if (!in)
        return;
    std::string text;
    char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        text.append(chunk, n);
    std::fclose(in);

    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            m_damaged = true; // a line cut short by a crash
            break;
        }
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++m_lines;
        std::vector<std::string_view> fields;
        for (std::size_t from = 0; fields.size() < 8;) {
            const std::size_t tab = line.find('\t', from);
            if (tab == std::string_view::npos)
                break;
            fields.push_back(line.substr(from, tab - from));
            from = tab + 1;
            if (fields.size() == 8)
                fields.push_back(line.substr(from));
        }
        Entry e;
        std::optional<std::string> path;
        auto size = fields.size() == 9 ? integerOf<std::uint64_t>(fields[1]) : std::nullopt;
        auto modified = fields.size() == 9 ? integerOf<std::int64_t>(fields[2]) : std::nullopt;
        std::optional<double> values[5];
        if (fields.size() == 9)
            for (int i = 0; i < 5; ++i)
                values[i] = numberOf(fields[3 + static_cast<std::size_t>(i)]);
        if (fields.size() == 9)
            path = unescaped(fields[8]);
        if (fields.size() != 9 || fields[0] != Version || !size || !modified || !path ||
            path->empty() || !values[0] || !values[1] || !values[2] || !values[3] || !values[4]) {
            m_damaged = true;
            continue;
        }
        e.size = *size;
        e.modified = *modified;
        e.measure = {*values[0], *values[1], *values[2], *values[3], *values[4]};
        m_entries[*path] = e; // a later line of the same song is newer
    }
}

std::optional<SongMeasure> LoudnessCache::find(const std::string& file) const
{
    auto now = stat(file);
    std::lock_guard lock(m_mutex);
    auto it = m_entries.find(file);
    if (!now || it == m_entries.end() || it->second.size != now->size ||
        it->second.modified != now->modified)
        return std::nullopt;
    return it->second.measure;
}

void LoudnessCache::store(const std::string& file, const SongMeasure& measure)
{
    auto e = stat(file);
    if (!e)
        return;
    e->measure = measure;
    std::lock_guard lock(m_mutex);
    m_entries[file] = *e;
    if (m_damaged || m_lines > 2 * m_entries.size() + 64) {
        rewrite();
        return;
    }
    const std::string line = lineOf(file, *e);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    // One write of a whole line with O_APPEND: two players sharing the cache never
    // interleave inside a line.
    const int fd =
        ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()))
        ++m_lines;
    ::close(fd);
}

void LoudnessCache::rewrite()
{
    std::string text;
    for (const auto& [path, e] : m_entries)
        text += lineOf(path, e);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    std::string error;
    if (replaceFile(m_path, text, error, 0644)) {
        m_lines = m_entries.size();
        m_damaged = false;
    }
}

std::size_t LoudnessCache::size() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

} // namespace quavix
