#include "PlayListFile.h"

#include "engine/PlayListReader.h"
#include "platform/TextFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix {

namespace {

bool onlySpaces(std::string_view line)
{
    return line.find_first_not_of(' ') == std::string_view::npos;
}

// Where a write to `path` really goes: the end of a chain of symbolic links, so that the
// rename replaces the linked file and not the link. A path that is no link is itself.
std::string finalTarget(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::path p = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec)))
            break;
        fs::path link = fs::read_symlink(p, ec);
        if (ec)
            break;
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    return p.string();
}

mode_t newFileMode()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool fitsOnOneLine(const std::string& name)
{
    return name.find_first_of("\r\n") == std::string::npos;
}

bool readPlayListEntries(const std::string& path, std::vector<std::string>& out)
{
    LineReader reader(path);
    if (!reader.isOpen())
        return false;
    std::string_view line;
    while (reader.next(line)) {
        if (!onlySpaces(line))
            out.emplace_back(line);
    }
    return true;
}

bool appendPlayListLines(const std::string& path, std::vector<std::string>& out)
{
    LineReader reader(path);
    if (!reader.isOpen())
        return false;
    std::string_view line;
    while (reader.next(line))
        out.emplace_back(line);
    return true;
}

bool writePlayListEntries(const std::string& path, const std::vector<std::string>& entries,
                          std::string& error)
{
    error.clear();
    if (path.empty()) {
        error = "no file name";
        return false;
    }
    const std::string target = finalTarget(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }

    std::size_t size = 0;
    for (const auto& e : entries)
        size += e.size() + 2;
    std::string data;
    data.reserve(size);
    for (const auto& e : entries) {
        data += e;
        data += "\r\n";
    }

    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = true;
    int failure = 0;
    if (exists) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Only the owner or root may give a file away; the permissions below still hold.
        }
        ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    } else {
        ok = ::fchmod(fd, newFileMode()) == 0;
    }
    if (ok)
        ok = text::writeAll(fd, data) && ::fsync(fd) == 0;
    if (!ok)
        failure = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        error = std::strerror(failure ? failure : EIO);
    }
    return ok;
}

} // namespace quavix
