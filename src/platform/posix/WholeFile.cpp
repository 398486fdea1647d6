#include "WholeFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quavix::files {

WholeFile readWholeFile(const std::string& path, std::size_t limit)
{
    WholeFile file;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        file.state = errno == ENOENT || errno == ENOTDIR ? WholeFile::State::Missing
                                                         : WholeFile::State::Unreadable;
        return file;
    }
    file.state = WholeFile::State::Unreadable;
    if (::fstat(fd, &file.status) == 0 && S_ISREG(file.status.st_mode)) {
        char buffer[65536];
        for (;;) {
            const std::size_t room = limit - file.text.size();
            // One byte past the limit tells a longer file (one that grew since fstat too).
            const std::size_t want = room < sizeof buffer ? room + 1 : sizeof buffer;
            const ssize_t n = ::read(fd, buffer, want);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                break;
            const auto got = static_cast<std::size_t>(n);
            if (got == 0 || got > room) {
                file.text.append(buffer, std::min(got, room));
                file.cut = got > room;
                file.state = WholeFile::State::Read;
                break;
            }
            file.text.append(buffer, got);
        }
    }
    ::close(fd);
    if (!file.read())
        file.text.clear();
    return file;
}

} // namespace quavix::files
