#pragma once
// The classes registry: which program opens which file type.
//
// Keys are addressed as under the classes root: an extension key (".MP3", case-insensitive)
// or the program's class key "Quavix" with subkeys such as "Quavix\shell\open\command".
// - queryValue returns the key's default value, or std::nullopt when the key does not exist.
// - setValue creates the key as needed and sets its default value; returns false when the
//   backing file cannot be written (nothing is half-written).
// Extension keys hold the name of the class that opens the type ("Quavix" or another
// program's); the class key's open command is the command line with " %1" for the file.
#include <optional>
#include <string>

namespace quavix {

class ClassesRegistry {
public:
    virtual ~ClassesRegistry() = default;
    virtual std::optional<std::string> queryValue(const std::string& key) = 0;
    virtual bool setValue(const std::string& key, const std::string& value) = 0;
};

} // namespace quavix
