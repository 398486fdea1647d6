#include "IniOptionsStore.h"

#include "WholeFile.h"
#include "XdgPaths.h"
#include "platform/FileReplace.h"
#include "platform/TextFiles.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix {

namespace {

using text::hexDigit;
using text::sameName;
using text::trim;
using text::writeAll;

std::string escape(std::string_view s, bool name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        bool edge = i == 0 || i + 1 == s.size();
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c == 0x7f || (edge && c == ' ') ||
                 (name && (c == '=' || c == '[' || c == ']' || c == ';'))) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

bool unescape(std::string_view s, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size())
            return false;
        switch (s[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'x': {
            int hi = i + 1 < s.size() ? hexDigit(s[i + 1]) : -1;
            int lo = i + 2 < s.size() ? hexDigit(s[i + 2]) : -1;
            if (hi < 0 || lo < 0)
                return false;
            out += char(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

IniOptionsStore::Section* findSection(IniOptionsStore::Contents& c, std::string_view name)
{
    for (auto& s : c.sections)
        if (sameName(s.name, name))
            return &s;
    return nullptr;
}

bool copyAside(const std::string& path, const std::string& text)
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    std::string base = path + ".bad-" + stamp;
    for (int n = 1; n < 100; ++n) {
        std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return false;
        bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
        return ok;
    }
    return false;
}

class FileLock {
public:
    explicit FileLock(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
            }
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd;
};

} // namespace

IniOptionsStore::IniOptionsStore(std::string path)
    : m_path(path.empty() ? xdg::optionsPath() : std::move(path))
{
}

IniOptionsStore::Contents IniOptionsStore::parse(const std::string& text)
{
    Contents c;
    Section* current = nullptr;
    std::string_view all(text);
    std::string a, b;
    while (!all.empty()) {
        std::string_view line = text::nextLine(all);
        if (line.find('\0') != std::string_view::npos) {
            c.damaged = true;
            continue;
        }
        line = trim(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3 ||
                !unescape(trim(line.substr(1, line.size() - 2)), a) || a.empty()) {
                c.damaged = true;
                current = nullptr; // its entries would land in the wrong section
                continue;
            }
            current = findSection(c, a);
            if (!current) {
                c.sections.push_back({a, {}, {}});
                current = &c.sections.back();
            }
            continue;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || !current || !unescape(trim(line.substr(0, eq)), a) ||
            a.empty() || !unescape(trim(line.substr(eq + 1)), b)) {
            c.damaged = true;
            continue;
        }
        if (!current->find(a))
            current->add(a, b);
    }
    return c;
}

std::string IniOptionsStore::format(const Contents& contents)
{
    std::string out = "; Quavix options. Written by the program; values use \\ escapes.\n";
    for (const auto& s : contents.sections) {
        out += "\n[" + escape(s.name, true) + "]\n";
        for (const auto& e : s.entries)
            out += escape(e.key, true) + "=" + escape(e.value, false) + "\n";
    }
    return out;
}

IniOptionsStore::Contents& IniOptionsStore::current()
{
    struct stat st {};
    if (::stat(m_path.c_str(), &st) != 0) {
        m_cache = {};
        m_cacheValid = false;
        return m_cache;
    }
    long long mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    if (m_cacheValid && st.st_dev == m_dev && st.st_ino == m_ino && mtime == m_mtimeNs &&
        st.st_size == m_size)
        return m_cache;
    const files::WholeFile file = files::readWholeFile(m_path);
    if (file.state == files::WholeFile::State::Unreadable) {
        m_cache = {};
        m_cacheValid = false;
        return m_cache;
    }
    const struct stat& opened = file.status;
    m_cache = parse(file.text);
    m_cacheValid = true;
    m_dev = opened.st_dev;
    m_ino = opened.st_ino;
    m_mtimeNs =
        static_cast<long long>(opened.st_mtim.tv_sec) * 1000000000LL + opened.st_mtim.tv_nsec;
    m_size = opened.st_size;
    return m_cache;
}

IniOptionsStore::Entry* IniOptionsStore::Section::find(std::string_view key)
{
    auto it = index.find(text::asciiLowered(key));
    return it == index.end() ? nullptr : &entries[it->second];
}

void IniOptionsStore::Section::add(std::string key, std::string value)
{
    index.emplace(text::asciiLowered(key), entries.size());
    entries.push_back({std::move(key), std::move(value)});
}

std::string IniOptionsStore::get(const std::string& /*app*/, const std::string& section,
                                 const std::string& key, const std::string& defaultValue)
{
    Contents& c = current();
    if (Section* s = findSection(c, section))
        if (Entry* e = s->find(key))
            return e->value;
    return defaultValue;
}

std::vector<std::pair<std::string, std::string>>
IniOptionsStore::entries(const std::string& /*app*/, const std::string& section)
{
    std::vector<std::pair<std::string, std::string>> out;
    if (Section* s = findSection(current(), section)) {
        out.reserve(s->entries.size());
        for (const Entry& e : s->entries)
            out.emplace_back(e.key, e.value);
    }
    return out;
}

bool IniOptionsStore::save(const std::string& app, const std::string& section,
                           const std::string& key, const std::string& value)
{
    return saveAll(app, {{section, key, value}});
}

bool IniOptionsStore::saveAll(const std::string& /*app*/, const std::vector<OptionValue>& values)
{
    for (const OptionValue& v : values)
        if (v.section.empty() || v.key.empty())
            return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    FileLock lock(m_path + ".lock");
    if (!lock.held())
        return false;

    const files::WholeFile file = files::readWholeFile(m_path);
    if (file.state == files::WholeFile::State::Unreadable)
        return false; // writing now would throw its contents away
    const std::string& text = file.text;
    Contents c = parse(text);
    if (c.damaged && !copyAside(m_path, text))
        return false;

    bool changed = c.damaged;
    for (const OptionValue& v : values) {
        Section* s = findSection(c, v.section);
        if (!s) {
            c.sections.push_back({v.section, {}, {}});
            s = &c.sections.back();
        }
        if (Entry* e = s->find(v.key)) {
            changed = changed || e->value != v.value;
            e->value = v.value;
        } else {
            s->add(v.key, v.value);
            changed = true;
        }
    }
    if (!changed)
        return true;

    std::string error;
    if (!replaceFile(m_path, format(c), error, 0600))
        return false;
    m_cacheValid = false;
    return true;
}

} // namespace quavix
