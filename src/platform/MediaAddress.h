#pragma once
// Telling stream addresses from file names.
//
// Only the schemes the player knows count as addresses (http, https, mms, mmsh, rtsp,
// file; case-insensitive, followed by "://"): "a:b.mp3" or "C:\x.mp3" stay file names.
#include <string>

namespace quavix {

bool isStreamAddress(const std::string& text);

} // namespace quavix
