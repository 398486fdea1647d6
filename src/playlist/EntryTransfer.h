#pragma once
// Entries coming in from the clipboard and going out to it; drops come in as
// localFilesFromUriList (platform/MediaAddress.h).
#include "platform/MediaAddress.h"

#include <string>
#include <string_view>
#include <vector>

namespace quavix {

// Clipboard text: one entry per line, each line ended with "\n".
std::string entriesAsLines(const std::vector<std::string>& entries);
// The entries of clipboard text: its lines (LF or CR LF) that hold more than spaces.
std::vector<std::string> entriesFromLines(std::string_view text);

} // namespace quavix
