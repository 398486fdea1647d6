#pragma once
// Reading the whole of a file that another program, or the user, may have replaced by
// something else: the profile, the options store, the desktop's association files.
//
// Only a regular file is read. The open never waits (a FIFO without a writer would hold the
// thread for ever) and what was opened is then asked what it is: a FIFO, a device (which may
// never end), a folder or a socket is refused unread. A read that a signal interrupts goes on.
//
// - Missing: the file, or a folder on its path, is not there (ENOENT, ENOTDIR). No text.
// - Unreadable: it is there but is not a regular file, cannot be opened, or a read failed.
//   No text; a writer must not replace such a file with what it could not read.
// - Read: its bytes, at most `limit` of them; `cut` when it holds more (the text is then its
//   first `limit` bytes). `status` is what fstat said of the file that was read (identity,
//   size, time stamp), for a caller that keeps the text while the file stays the same.
#include <cstddef>
#include <limits>
#include <string>
#include <sys/stat.h>

namespace quavix::files {

inline constexpr std::size_t NoLimit = std::numeric_limits<std::size_t>::max();

struct WholeFile {
    enum class State { Read, Missing, Unreadable };
    State state = State::Missing;
    std::string text;
    bool cut = false;
    struct stat status {};

    bool read() const { return state == State::Read; }
};

WholeFile readWholeFile(const std::string& path, std::size_t limit = NoLimit);

} // namespace quavix::files
