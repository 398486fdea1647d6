#pragma once
// The options store: per-user texts addressed by application, section and key.
//
// - get returns the stored text, or the default when the key or section is missing.
// - save creates section and key as needed and replaces the previous value. Texts are
//   stored exactly as given (any characters, newlines included) and read back unchanged.
// - Values survive restarts; a save never loses another key, also when several processes
//   save at the same time (each save is a locked read-modify-write with an atomic replace).
// - A store file that cannot be parsed is copied aside before the first save changes it.
// - Errors: a save that cannot be written returns false and leaves the file as it was.
// - location() names the store's file for messages; "" when there is none.
#include <string>

namespace quavix {

class OptionsStore {
public:
    virtual ~OptionsStore() = default;
    virtual std::string get(const std::string& app, const std::string& section,
                            const std::string& key, const std::string& defaultValue) = 0;
    virtual bool save(const std::string& app, const std::string& section, const std::string& key,
                      const std::string& value) = 0;
    virtual std::string location() const { return {}; }
};

} // namespace quavix
