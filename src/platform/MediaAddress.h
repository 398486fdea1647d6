#pragma once
// Telling stream addresses from file names.
//
// Only the schemes the player knows count as addresses (http, https, mms, mmsh, rtsp,
// file; case-insensitive, followed by "://"): "a:b.mp3" or "C:\x.mp3" stay file names.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quavix {

bool isStreamAddress(const std::string& text);

// The local file a "file:" URI names (file:/p, file:///p, file://localhost/p), as the bytes
// the file system knows it by: percent escapes decode to bytes, whatever their encoding, as
// a command line keeps them. A query or fragment is not part of the name. nullopt for other
// schemes, other hosts, relative paths and names holding a NUL.
std::optional<std::string> localFileOfUri(std::string_view uri);

// The "file:" URI of an absolute file name, its bytes as they are: everything but the
// unreserved characters, "/" and the sub-delimiters is percent-escaped, so a name that is
// not UTF-8 round-trips through localFileOfUri.
std::string fileUriOf(std::string_view absolutePath);

// The local files of a text/uri-list (one URI a line, "#" comments), in order, each by
// localFileOfUri; other URIs, empty names and names holding a line break are left out.
std::vector<std::string> localFilesFromUriList(std::string_view uriList);

} // namespace quavix
