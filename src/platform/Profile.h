#pragma once
// Profile reads: the INI files the play engine is configured with. Read only.
//
// read(section, key, default, file):
// - sections and keys are matched case-insensitively, with blanks around them ignored;
//   the first matching section and the first matching key in it win;
// - blanks around the value are trimmed and one pair of enclosing double or single
//   quotes is stripped; lines starting with ';' are comments;
// - at most 254 characters are returned (longer values are cut);
// - a missing file, section or key, and an empty value, give the default;
// - an empty file name means the default profile ($XDG_CONFIG_HOME/quavix/quavix.ini).
// Never throws; unreadable or binary files read as empty.
#include <string>

namespace quavix {

class Profile {
public:
    static constexpr std::size_t MaxValueLength = 254;
    virtual ~Profile() = default;
    virtual std::string read(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& file) = 0;
};

} // namespace quavix
