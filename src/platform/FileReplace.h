#pragma once
// Replacing a whole file the user owns, so that a crash or kill at any moment leaves either
// the old or the new content, and the user's arrangement of the file survives.
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quavix {

// Writes data to a temporary file in the target's folder, syncs it and renames it over the
// target. The target is the end of the chain of symbolic links at path, so a link stays a
// link. An existing file keeps its permission bits (and its owner and group where the
// system lets us); a new one gets newMode less the umask. On failure returns false with
// the reason in error (the system's, and which step failed where that is not the file
// itself) and leaves the file as it was (the temporary is removed).
bool replaceFile(const std::string& path, std::string_view data, std::string& error,
                 mode_t newMode = 0666);

// The end of the chain of symbolic links at path (path itself when it is no link; a
// dangling link gives the missing file it names).
std::string finalLinkTarget(const std::string& path);

} // namespace quavix
