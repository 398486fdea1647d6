#include "IniProfile.h"

#include "LineWriter.h"
#include "WholeFile.h"
#include "XdgPaths.h"
#include "platform/TextFiles.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <time.h>

namespace quavix {

namespace {

using text::sameName;
using text::trim;

std::string cutValue(std::string_view v)
{
    // A character is a well-formed UTF-8 sequence or any single other byte.
    std::size_t i = 0;
    for (std::size_t chars = 0; i < v.size() && chars < Profile::MaxValueLength; ++chars) {
        unsigned char c = static_cast<unsigned char>(v[i++]);
        std::size_t more = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
        if (c > 0xF4)
            more = 0;
        while (more-- && i < v.size() && (static_cast<unsigned char>(v[i]) & 0xC0) == 0x80)
            ++i;
    }
    return std::string(v.substr(0, i));
}

// Real profiles are small, but a key must not go missing because many others come before
// it: the whole file is read up to a cap far above any profile (it spares the memory when
// the name is a sound file's, say). Only small texts are kept between reads.
constexpr std::size_t MaxProfileBytes = std::size_t(64) << 20;
constexpr std::size_t MaxKeptBytes = std::size_t(1) << 20;

// File systems with the coarsest time stamps count in steps of two seconds.
constexpr long UnsettledSeconds = 2;

long long mtimeNs(const struct stat& st)
{
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

} // namespace

bool IniProfile::Cached::matches(const struct stat& st) const
{
    return valid && S_ISREG(st.st_mode) && st.st_dev == dev && st.st_ino == ino &&
           st.st_size == size && mtimeNs(st) == mtime;
}

const std::string& IniProfile::readHead(const std::string& path)
{
    struct stat st {};
    if (path == m_cached.path && ::stat(path.c_str(), &st) == 0 && m_cached.matches(st))
        return m_cached.text;
    m_cached = {};
    m_cached.path = path;
    files::WholeFile file = files::readWholeFile(path, MaxProfileBytes);
    if (!file.read())
        return m_cached.text;
    if (file.cut && m_warnedPath != path) {
        m_warnedPath = path; // once, not at every song of the station
        const std::string mib = std::to_string(MaxProfileBytes >> 20);
        errorLine("quavix: the profile \"" + path + "\" is larger than " + mib +
                  " MiB; only its first " + mib + " MiB are read");
    }
    m_cached.text = std::move(file.text);
    // A file changed in the tick it was read in could change again with the same size
    // and time stamp: only text older than any time stamp granularity is kept.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    st = file.status;
    m_cached.valid =
        now.tv_sec - st.st_mtim.tv_sec > UnsettledSeconds && m_cached.text.size() <= MaxKeptBytes;
    m_cached.dev = st.st_dev;
    m_cached.ino = st.st_ino;
    m_cached.size = st.st_size;
    m_cached.mtime = mtimeNs(st);
    return m_cached.text;
}

IniProfile::IniProfile(std::string defaultFile) : m_defaultFile(std::move(defaultFile)) {}

std::string IniProfile::lookup(const std::string& text, const std::string& section,
                               const std::string& key)
{
    std::string_view all(text);
    if (all.substr(0, 3) == "\xEF\xBB\xBF")
        all.remove_prefix(3);
    const std::string_view wantSection = trim(section);
    const std::string_view wantKey = trim(key);
    bool inSection = false;
    while (!all.empty()) {
        std::string_view line = text::nextLine(all);
        line = trim(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            if (inSection)
                return {}; // only the first section of that name counts
            std::size_t close = line.find(']');
            if (close == std::string_view::npos)
                continue;
            inSection = sameName(trim(line.substr(1, close - 1)), wantSection);
            continue;
        }
        if (!inSection)
            continue;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || !sameName(trim(line.substr(0, eq)), wantKey))
            continue;
        std::string_view value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return cutValue(value);
    }
    return {};
}

std::string IniProfile::read(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& file)
{
    std::string path = file;
    if (path.empty())
        path = m_defaultFile.empty() ? xdg::defaultProfilePath() : m_defaultFile;
    std::string value = lookup(readHead(path), section, key);
    return value.empty() ? cutValue(defaultValue) : value;
}

} // namespace quavix
