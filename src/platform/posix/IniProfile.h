#pragma once
// The profile reader on plain files (see platform/Profile.h for the rules).
//
// Matching is ASCII case-insensitive on section and key names, with blanks and tabs
// around both the asked name and the name in the file ignored. Lines may end in LF or
// CR LF; a UTF-8 byte order mark is skipped; NUL bytes and other garbage only make the
// line they are on unusable. The 254-character cut counts UTF-8 characters (a well-formed
// sequence or any other single byte), so a cut never splits a character.
//
// Not thread-safe: one thread at a time (the reader keeps the last file's text). A thread may
// use it first and hand it over to another once it is done (a join orders the two): the
// strip's start-up reads the profile on its early thread (platform/linux/EarlyStart.h).
#include "platform/Profile.h"

#include <sys/stat.h>
#include <sys/types.h>

namespace quavix {

class IniProfile : public Profile {
public:
    // defaultFile: what reads with an empty file name use; "" = xdg::defaultProfilePath()
    // at the time of each read.
    explicit IniProfile(std::string defaultFile = {});
    std::string read(const std::string& section, const std::string& key,
                     const std::string& defaultValue, const std::string& file) override;

    // The value of section/key in the given text, or "" (pure; for the reader and tests).
    static std::string lookup(const std::string& text, const std::string& section,
                              const std::string& key);

private:
    // The text of the file last read (up to a cap far above any profile), reused while the file's
    // identity, size and modification time stay the same and it was not modified in the
    // last seconds before the read: start-up and the engine read several keys in a row.
    struct Cached {
        std::string path, text;
        bool valid = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = -1;
        long long mtime = 0;
        bool matches(const struct stat& st) const;
    };
    const std::string& readHead(const std::string& path);

    std::string m_defaultFile;
    Cached m_cached;
    std::string m_warnedPath; // the last profile said to be over the cap
};

} // namespace quavix
