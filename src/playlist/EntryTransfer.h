#pragma once
// Entries coming in from drops and the clipboard, and going out to the clipboard.
#include <string>
#include <string_view>
#include <vector>

namespace quavix {

// The local files of a text/uri-list (RFC 2483), in list order, as the bytes the file
// system knows them by (percent escapes decoded, any encoding kept). Comment lines,
// addresses of other schemes or hosts, and names holding a line break are left out.
std::vector<std::string> localFilesFromUriList(std::string_view uriList);

// Clipboard text: one entry per line, each line ended with "\n".
std::string entriesAsLines(const std::vector<std::string>& entries);
// The entries of clipboard text: its lines (LF or CR LF) that hold more than spaces.
std::vector<std::string> entriesFromLines(std::string_view text);

} // namespace quavix
