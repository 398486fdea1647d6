#include "FileReplace.h"

#include "TextFiles.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix {

std::string finalLinkTarget(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::path p = path;
    for (int hops = 0; hops < 40; ++hops) { // the system's own limit on a chain
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

namespace {

// The temporaries of earlier replacements of `target` that a kill or a power cut left
// behind: our own pattern (the target's name, ".", six letters or digits), ours, regular,
// and untouched for a minute, so that a replacement still running elsewhere keeps its own.
void removeStaleTemporaries(const std::string& target)
{
    namespace fs = std::filesystem;
    const fs::path targetPath(target);
    const std::string prefix = targetPath.filename().string() + ".";
    const fs::path folder = targetPath.has_parent_path() ? targetPath.parent_path() : ".";
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool pattern = true;
        for (std::size_t i = prefix.size(); i < name.size(); ++i)
            pattern = pattern && std::isalnum(static_cast<unsigned char>(name[i]));
        struct stat st {};
        if (!pattern || ::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::getuid())
            continue;
        std::error_code timeError;
        const auto written = fs::last_write_time(it->path(), timeError);
        if (!timeError && now - written > std::chrono::minutes(1))
            ::unlink(it->path().c_str());
    }
}

} // namespace

bool replaceFile(const std::string& path, std::string_view data, std::string& error, mode_t newMode)
{
    error.clear();
    if (path.empty()) {
        error = "no file name";
        return false;
    }
    const std::string target = finalLinkTarget(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        error = std::strerror(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return false;
    }
    removeStaleTemporaries(target);
    std::string temp = target + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        // The file itself was not touched: say what failed, or the reason reads as if the
        // file were missing.
        const int failure = errno;
        const std::string folder = std::filesystem::path(target).parent_path().string();
        error = "no temporary file can be made in \"" + (folder.empty() ? "." : folder) +
                "\": " + std::strerror(failure);
        return false;
    }
    mode_t mode = newMode & 07777;
    if (exists) {
        mode = st.st_mode & 07777;
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Only root may give a file away; the permission bits below still hold.
        }
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0 && text::writeAll(fd, data) && ::fsync(fd) == 0;
    int failure = ok ? 0 : errno;
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
        return false;
    }
    // The rename itself lasts once the folder is synced.
    std::string dir = std::filesystem::path(target).parent_path().string();
    if (int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

} // namespace quavix
