#pragma once
// The length of an MP3 file for files without a header that states it (no Xing or VBRI
// frame): the media framework knows it only after about half a second of play.
#include <filesystem>
#include <optional>

namespace quavix {

// Seconds, from the file size (ID3v2 and ID3v1 tags left out) and the first frame's bit
// rate; nothing when the file cannot be read or no two frame headers in a row are found.
std::optional<double> estimateMp3Duration(const std::filesystem::path& path);

} // namespace quavix
