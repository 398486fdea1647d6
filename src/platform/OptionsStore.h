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
// - saveAll saves several values as one save: afterwards the store holds all of them, or
//   (false) none. A value saved twice in one call keeps the last.
// - entries gives every key and value of a section in their stored order (empty for a
//   missing section), read at once: what a long list of keys is loaded with.
// - location() names the store's file for messages; "" when there is none.
#include <string>
#include <utility>
#include <vector>

namespace quavix {

struct OptionValue {
    std::string section, key, value;
};

class OptionsStore {
public:
    virtual ~OptionsStore() = default;
    virtual std::string get(const std::string& app, const std::string& section,
                            const std::string& key, const std::string& defaultValue) = 0;
    virtual bool save(const std::string& app, const std::string& section, const std::string& key,
                      const std::string& value) = 0;
    virtual bool saveAll(const std::string& app, const std::vector<OptionValue>& values) = 0;
    virtual std::vector<std::pair<std::string, std::string>>
    entries(const std::string& app, const std::string& section) = 0;
    virtual std::string location() const { return {}; }
};

} // namespace quavix
