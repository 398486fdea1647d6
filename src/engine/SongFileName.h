#pragma once
// The song file name convention of the play engine:
//   Group-CDTitle-ReleaseYear-Title-Minutes_Seconds.extension
// The first four hyphens end the four text fields (blanks around them belong to the fields),
// the first low line after them ends Minutes, the first full stop after that ends Seconds.
// Minutes and Seconds are decimal integers (blanks around them and a sign allowed) in the
// 16-bit signed range; the length Minutes * 60 + Seconds must fit that range too.
#include <cstdint>
#include <string>
#include <string_view>

namespace quavix {

struct SongNameParts {
    std::string group, cdTitle, releaseYear, title;
    std::int16_t length = 0;
    // How many of the four text fields were found (4 whenever ok). A failed name still
    // yields the fields that lie before the first missing separator.
    int textFields = 0;
    bool ok = false;
    // Why a failed name cannot be taken apart, in words for the user ("" when ok).
    std::string problem;
};

// Pure: takes a bare file name apart. Never throws.
SongNameParts parseSongName(std::string_view name);

// Makes `name` the current song's fields in the shared state, storing each text field as it
// is found (so a failed name leaves the earlier fields changed) and the length on success.
// Returns whether the whole name was taken apart.
bool takeSongNameApart(std::string_view name);

// The line a station writes to standard error for a song whose name it cannot take apart
// (`path` as listed, `problem` from parseSongName): the file, what is wrong with its name,
// and whether it is played anyway or skipped. The file itself is never renamed.
std::string badSongNameLine(const std::string& path, const std::string& problem, bool played);

// The part of a song list line after its last "/" (the whole line when it has none).
std::string_view fileNamePart(std::string_view line);

} // namespace quavix
